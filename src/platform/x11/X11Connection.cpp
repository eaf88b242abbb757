// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Connection.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

std::optional<X11Connection> X11Connection::fromQt() {
    if (!qGuiApp)
        return std::nullopt;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();

    // Qt connects to the screen that DISPLAY names, as xcb_connect does.
    int screenNumber = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screenNumber) == 0)
        screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    int screen = 0;
    for (; screen < screenNumber && it.rem > 1; ++screen)
        xcb_screen_next(&it);
    if (!it.data)
        return std::nullopt;
    return X11Connection{connection, it.data->root, screen};
}
