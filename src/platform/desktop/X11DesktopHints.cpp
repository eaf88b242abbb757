#include "platform/desktop/X11DesktopHints.h"

#include <QGuiApplication>
#include <cstring>
#include <iterator>
#include <xcb/shape.h>

namespace {

constexpr const char* atomNames[] = {
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_STATE",
    "_NET_WM_STATE_BELOW",
    "_NET_WM_STATE_STICKY",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_SKIP_PAGER",
    "_NET_WM_DESKTOP",
};

// _NET_WM_DESKTOP's value for "on every workspace".
constexpr quint32 allDesktops = 0xFFFFFFFF;

} // namespace

std::unique_ptr<X11DesktopHints> X11DesktopHints::create() {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    return std::unique_ptr<X11DesktopHints>(new X11DesktopHints(x11->connection()));
}

X11DesktopHints::X11DesktopHints(xcb_connection_t* connection) : m_connection(connection) {
    static_assert(std::size(atomNames) == AtomCount);
    xcb_intern_atom_cookie_t cookies[AtomCount];
    for (int i = 0; i < AtomCount; ++i)
        cookies[i] = xcb_intern_atom(m_connection, 0, std::strlen(atomNames[i]), atomNames[i]);
    for (int i = 0; i < AtomCount; ++i) {
        const XcbReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_connection, cookies[i], nullptr));
        m_atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
}

void X11DesktopHints::prepare(xcb_window_t window) const {
    const xcb_atom_t type = m_atoms[WindowTypeDesktop];
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_atoms[WindowType], XCB_ATOM_ATOM, 32,
                        1, &type);
    // Qt merges its own states into these when it maps the window.
    const xcb_atom_t states[] = {m_atoms[StateBelow], m_atoms[StateSticky], m_atoms[StateSkipTaskbar],
                                 m_atoms[StateSkipPager]};
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_atoms[State], XCB_ATOM_ATOM, 32,
                        std::size(states), states);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_atoms[Desktop], XCB_ATOM_CARDINAL, 32,
                        1, &allDesktops);

    // Qt's event mask stays; VisibilityNotify is added so that being covered can be told.
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
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
