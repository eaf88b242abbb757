// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "interface/LoginItemControl.h"

#include <QString>
#include <QStringList>

// Starting Lumivale at login, through an XDG autostart entry named after the application. The state lives
// in the autostart folders only and is read again whenever it is asked for.
class LoginItem final : public LoginItemControl {
public:
    // configHome: $XDG_CONFIG_HOME; configDirs: $XDG_CONFIG_DIRS, most important first; currentDesktops:
    // $XDG_CURRENT_DESKTOP split at colons; executable: what the entry runs.
    LoginItem(QString configHome, QStringList configDirs, QStringList currentDesktops, QString executable);

    // The folders and desktop of this session, and this program.
    [[nodiscard]] static LoginItem forThisSession();

    // Whether the session will start the application at login: the most important entry of our name
    // exists, is an application, is neither hidden nor switched off and is meant for this desktop.
    [[nodiscard]] bool isEnabled() const override;

    // Each returns whether the change was made; a failure leaves the state as it was.
    bool registerItem();
    bool unregisterItem();
    bool setEnabled(bool enabled) override { return enabled ? registerItem() : unregisterItem(); }

    [[nodiscard]] QString userEntryPath() const;

private:
    [[nodiscard]] QString mostImportantEntry() const;
    [[nodiscard]] bool systemEntryExists() const;

    QString m_configHome;
    QStringList m_configDirs;
    QStringList m_currentDesktops;
    QString m_executable;
};
