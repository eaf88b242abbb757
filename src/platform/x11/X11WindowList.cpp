// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11WindowList.h"

#include "platform/x11/NativeGeometry.h"
#include "platform/x11/WorkArea.h"
#include "platform/x11/X11Log.h"
#include "platform/x11/XcbReply.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {
constexpr uint32_t maxPropertyLongs = 4096;

struct Requests {
    xcb_window_t window;
    xcb_get_property_cookie_t type, state, desktop, opacity, extents;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t position;
};
} // namespace

X11WindowList::X11WindowList() : m_x(X11Connection::fromQt()), m_atoms(m_x ? m_x->connection : nullptr) {}

std::optional<int> X11WindowList::layerOf(std::span<const uint32_t> types) const {
    // The first type we know wins; a window without one we know is a normal window.
    for (const uint32_t type : types) {
        const auto is = [&](X11Atom atom) { return type == m_atoms[atom]; };
        if (is(X11Atom::TypeDesktop))
            return std::nullopt;
        if (is(X11Atom::TypeNormal) || is(X11Atom::TypeDialog) || is(X11Atom::TypeUtility))
            return Normal;
        if (is(X11Atom::TypeToolbar) || is(X11Atom::TypeMenu))
            return Toolbar;
        if (is(X11Atom::TypeDock))
            return Dock;
        if (is(X11Atom::TypeDropdownMenu) || is(X11Atom::TypePopupMenu) || is(X11Atom::TypeTooltip) ||
            is(X11Atom::TypeCombo) || is(X11Atom::TypeDnd) || is(X11Atom::TypeSplash))
            return Popup;
        if (is(X11Atom::TypeNotification))
            return Notification;
    }
    return Normal;
}

std::optional<QList<WindowInfo>> X11WindowList::onScreenWindows() const {
    if (!m_x)
        return std::nullopt;
    xcb_connection_t* c = m_x->connection;
    const xcb_window_t root = m_x->root;

    const auto stackingCookie = xcb_get_property(c, 0, root, m_atoms[X11Atom::ClientListStacking],
                                                 XCB_ATOM_WINDOW, 0, maxPropertyLongs);
    const auto desktopCookie =
        xcb_get_property(c, 0, root, m_atoms[X11Atom::CurrentDesktop], XCB_ATOM_CARDINAL, 0, 1);
    const auto stacking = xcbReply(c, stackingCookie, xcb_get_property_reply);
    const auto desktop = xcbReply(c, desktopCookie, xcb_get_property_reply);
    if (!stacking || stacking->type == XCB_ATOM_NONE || stacking->format != 32) {
        // Once: the scan runs every two seconds.
        static bool said = false;
        if (!std::exchange(said, true))
            qCWarning(lcX11) << "The window manager keeps no _NET_CLIENT_LIST_STACKING: covered displays are "
                                "not noticed";
        return std::nullopt;
    }
    const std::span<const uint32_t> current = propertyValues32(desktop.get());
    // allDesktops when the window manager does not say: then no window is left out for its desktop.
    const uint32_t currentDesktop = current.empty() ? allDesktops : current[0];

    // Bottom to top in the property; every request for every window goes out before any reply.
    const std::span<const uint32_t> bottomToTop = propertyValues32(stacking.get());
    std::vector<Requests> requests;
    requests.reserve(bottomToTop.size());
    for (auto it = bottomToTop.rbegin(); it != bottomToTop.rend(); ++it) {
        const xcb_window_t w = *it;
        requests.push_back({
            .window = w,
            .type = xcb_get_property(c, 0, w, m_atoms[X11Atom::WmWindowType], XCB_ATOM_ATOM, 0, 32),
            .state = xcb_get_property(c, 0, w, m_atoms[X11Atom::WmState], XCB_ATOM_ATOM, 0, 64),
            .desktop = xcb_get_property(c, 0, w, m_atoms[X11Atom::WmDesktop], XCB_ATOM_CARDINAL, 0, 1),
            .opacity = xcb_get_property(c, 0, w, m_atoms[X11Atom::WmWindowOpacity], XCB_ATOM_CARDINAL, 0, 1),
            .extents = xcb_get_property(c, 0, w, m_atoms[X11Atom::FrameExtents], XCB_ATOM_CARDINAL, 0, 4),
            .attributes = xcb_get_window_attributes(c, w),
            .geometry = xcb_get_geometry(c, w),
            .position = xcb_translate_coordinates(c, w, root, 0, 0),
        });
    }

    const NativeGeometry native = NativeGeometry::fromQt();
    QList<WindowInfo> windows;
    windows.reserve(static_cast<qsizetype>(requests.size()));
    for (const Requests& r : requests) {
        // Every reply is taken, also for windows that are skipped, so that none is left queued.
        const auto type = xcbReply(c, r.type, xcb_get_property_reply);
        const auto state = xcbReply(c, r.state, xcb_get_property_reply);
        const auto onDesktop = xcbReply(c, r.desktop, xcb_get_property_reply);
        const auto opacity = xcbReply(c, r.opacity, xcb_get_property_reply);
        const auto extents = xcbReply(c, r.extents, xcb_get_property_reply);
        const auto attributes = xcbReply(c, r.attributes, xcb_get_window_attributes_reply);
        const auto geometry = xcbReply(c, r.geometry, xcb_get_geometry_reply);
        const auto position = xcbReply(c, r.position, xcb_translate_coordinates_reply);

        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const std::span<const uint32_t> states = propertyValues32(state.get());
        if (std::any_of(states.begin(), states.end(), [&](uint32_t s) {
                return s == m_atoms[X11Atom::StateHidden] || s == m_atoms[X11Atom::StateShaded];
            }))
            continue;
        const std::span<const uint32_t> windowDesktop = propertyValues32(onDesktop.get());
        if (currentDesktop != allDesktops && !windowDesktop.empty() && windowDesktop[0] != currentDesktop &&
            windowDesktop[0] != allDesktops)
            continue;
        const std::optional<int> layer = layerOf(propertyValues32(type.get()));
        if (!layer)
            continue;

        WindowInfo info;
        info.layer = layer;
        if (const std::span<const uint32_t> value = propertyValues32(opacity.get()); !value.empty())
            info.alpha = static_cast<double>(value[0]) / 0xFFFFFFFFu;
        if (geometry && position) {
            const std::optional<QRect> outer =
                outerFrame(position->dst_x, position->dst_y, geometry->width, geometry->height,
                           geometry->border_width, propertyValues32(extents.get()));
            if (outer)
                info.bounds = native.toLogical(*outer);
        }
        windows.append(info);
    }
    return windows;
}
