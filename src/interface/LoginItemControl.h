// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Starting the application at login, as the settings view sees it. The shell implements it over the
// session's autostart entry; tests hand in their own.
class LoginItemControl {
public:
    virtual ~LoginItemControl() = default;

    // Whether the session will start the application at login.
    [[nodiscard]] virtual bool isEnabled() const = 0;
    // Registers or unregisters the login item; whether the change was made.
    virtual bool setEnabled(bool enabled) = 0;
};
