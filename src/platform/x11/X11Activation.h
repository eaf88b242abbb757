// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <xcb/xproto.h>

// Brings a window to the front on behalf of a launch that handed over its startup id (the
// DESKTOP_STARTUP_ID of the startup-notification protocol). The id carries the time of the user's
// action ("..._TIME<n>"), which window managers with focus-stealing prevention compare against.
namespace X11Activation {

// The user time that the id carries, or XCB_CURRENT_TIME.
[[nodiscard]] xcb_timestamp_t timeOf(const QByteArray& startupId);

// Before the window is mapped or raised: _NET_STARTUP_ID on the window.
void prepare(xcb_window_t window, const QByteArray& startupId);
// After: the id's time as the window's _NET_WM_USER_TIME, a request to activate it
// (_NET_ACTIVE_WINDOW, as an application with that time), and the end of the launch's startup
// notification. Nothing off X11.
void activate(xcb_window_t window, const QByteArray& startupId);

} // namespace X11Activation
