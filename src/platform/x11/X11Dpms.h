// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/x11/X11Connection.h"

#include <optional>

// Whether the X server has put the displays into a DPMS power-saving mode. Servers send no event
// for it, so callers poll.
class X11Dpms {
public:
    X11Dpms();

    // Nothing when the server has no DPMS extension (Xvfb, Xwayland) or the application does not
    // run on X11. One round trip.
    [[nodiscard]] std::optional<bool> displaysOff() const;

private:
    std::optional<X11Connection> m_x;
};
