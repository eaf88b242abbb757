// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/X11DesktopHints.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Log.h"
#include "platform/x11/XcbReply.h"

#include <QGuiApplication>
#include <iterator>
#include <xcb/shape.h>

std::unique_ptr<X11DesktopHints> X11DesktopHints::create() {
    const std::optional<X11Connection> x = X11Connection::fromQt();
    if (!x) {
        qCWarning(lcX11).noquote() << "Not on X11 (Qt platform" << QGuiApplication::platformName()
                                   << "): no wallpaper windows can be made";
        return nullptr;
    }
    return std::unique_ptr<X11DesktopHints>(new X11DesktopHints(x->connection));
}

X11DesktopHints::X11DesktopHints(xcb_connection_t* connection)
    : m_connection(connection), m_atoms(connection) {}

void X11DesktopHints::prepare(xcb_window_t window) const {
    const xcb_atom_t type = m_atoms[X11Atom::TypeDesktop];
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_atoms[X11Atom::WmWindowType],
                        XCB_ATOM_ATOM, 32, 1, &type);
    // Qt merges its own states into these when it maps the window.
    const xcb_atom_t states[] = {m_atoms[X11Atom::StateBelow], m_atoms[X11Atom::StateSticky],
                                 m_atoms[X11Atom::StateSkipTaskbar], m_atoms[X11Atom::StateSkipPager]};
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_atoms[X11Atom::WmState], XCB_ATOM_ATOM,
                        32, std::size(states), states);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_atoms[X11Atom::WmDesktop],
                        XCB_ATOM_CARDINAL, 32, 1, &allDesktops);

    // Qt's event mask stays; VisibilityNotify is added so that being covered can be told.
    const auto attributes = xcbReply(m_connection, xcb_get_window_attributes(m_connection, window),
                                     xcb_get_window_attributes_reply);
    const quint32 eventMask =
        (attributes ? attributes->your_event_mask : quint32(XCB_EVENT_MASK_STRUCTURE_NOTIFY)) |
        XCB_EVENT_MASK_VISIBILITY_CHANGE;
    // The server paints exposed areas black before the first frame is drawn.
    const quint32 values[] = {0, eventMask};
    xcb_change_window_attributes(m_connection, window, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    clearInputShape(window);
}

void X11DesktopHints::clearInputShape(xcb_window_t window) const {
    xcb_shape_rectangles(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                         window, 0, 0, 0, nullptr);
    xcb_flush(m_connection);
}

void X11DesktopHints::clear(xcb_window_t window) const {
    xcb_clear_area(m_connection, 0, window, 0, 0, 0, 0);
    xcb_flush(m_connection);
}
