// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <xcb/xproto.h>

struct xcb_connection_t;

// Qt's connection to the X server and the screen it uses, the one that DISPLAY names.
struct X11Connection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    // The screen's number (":0.1" is screen 1).
    int screen = 0;

    // Nothing when the application does not run on X11 (offscreen, Wayland).
    [[nodiscard]] static std::optional<X11Connection> fromQt();
};
