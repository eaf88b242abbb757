// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Atoms.h"

#include "platform/x11/XcbReply.h"

namespace {
constexpr bool tableInOrder() {
    for (std::size_t i = 0; i < x11AtomNames.size(); ++i) {
        if (static_cast<std::size_t>(x11AtomNames[i].atom) != i)
            return false;
    }
    return true;
}
static_assert(tableInOrder(), "x11AtomNames must list the atoms in the order of X11Atom");

xcb_intern_atom_cookie_t request(xcb_connection_t* connection, std::string_view name) {
    return xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.data());
}
} // namespace

X11Atoms::X11Atoms(xcb_connection_t* connection) {
    if (!connection)
        return;
    std::array<xcb_intern_atom_cookie_t, static_cast<std::size_t>(X11Atom::Count)> cookies{};
    for (std::size_t i = 0; i < cookies.size(); ++i)
        cookies[i] = request(connection, x11AtomNames[i].name);
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (const auto reply = xcbReply(connection, cookies[i], xcb_intern_atom_reply))
            m_atoms[i] = reply->atom;
    }
}

xcb_atom_t X11Atoms::intern(xcb_connection_t* connection, std::string_view name) {
    if (!connection)
        return XCB_ATOM_NONE;
    const auto reply = xcbReply(connection, request(connection, name), xcb_intern_atom_reply);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}
