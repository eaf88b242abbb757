#pragma once

#include <optional>
#include <xcb/xproto.h>

struct xcb_connection_t;

// Qt's connection to the X server and the root window of the screen it uses.
struct X11Connection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;

    // Nothing when the application does not run on X11 (offscreen, Wayland).
    [[nodiscard]] static std::optional<X11Connection> fromQt();
};
