// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/x11/X11Atoms.h"

#include <memory>
#include <xcb/xproto.h>

struct xcb_connection_t;

// The X11 side of a wallpaper window that Qt's flags do not cover: the desktop window type and
// states, every workspace, a black background, an empty input region and visibility events.
class X11DesktopHints {
public:
    // Nothing when the application does not run on X11.
    [[nodiscard]] static std::unique_ptr<X11DesktopHints> create();

    // Before the window is mapped, where the window manager reads them.
    void prepare(xcb_window_t window) const;
    // No input region: every click goes to whatever lies beneath.
    void clearInputShape(xcb_window_t window) const;
    // Back to the black background, for a window that nothing draws into any more.
    void clear(xcb_window_t window) const;

private:
    explicit X11DesktopHints(xcb_connection_t* connection);

    xcb_connection_t* m_connection;
    X11Atoms m_atoms;
};
