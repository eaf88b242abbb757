// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <xcb/xproto.h>

struct xcb_connection_t;

// Every atom the X11 adapters read or write, spelled once.
enum class X11Atom : std::size_t {
    ClientList,
    ClientListStacking,
    CurrentDesktop,
    Workarea,
    WmWindowType,
    TypeNormal,
    TypeDialog,
    TypeUtility,
    TypeDesktop,
    TypeDock,
    TypeToolbar,
    TypeMenu,
    TypeSplash,
    TypeDropdownMenu,
    TypePopupMenu,
    TypeTooltip,
    TypeNotification,
    TypeCombo,
    TypeDnd,
    WmState,
    StateHidden,
    StateShaded,
    StateBelow,
    StateSticky,
    StateSkipTaskbar,
    StateSkipPager,
    WmDesktop,
    WmWindowOpacity,
    FrameExtents,
    WmStrut,
    WmStrutPartial,
    Edid,
    Count
};

struct X11AtomName {
    X11Atom atom;
    std::string_view name;
};

inline constexpr std::array<X11AtomName, static_cast<std::size_t>(X11Atom::Count)> x11AtomNames{{
    {X11Atom::ClientList, "_NET_CLIENT_LIST"},
    {X11Atom::ClientListStacking, "_NET_CLIENT_LIST_STACKING"},
    {X11Atom::CurrentDesktop, "_NET_CURRENT_DESKTOP"},
    {X11Atom::Workarea, "_NET_WORKAREA"},
    {X11Atom::WmWindowType, "_NET_WM_WINDOW_TYPE"},
    {X11Atom::TypeNormal, "_NET_WM_WINDOW_TYPE_NORMAL"},
    {X11Atom::TypeDialog, "_NET_WM_WINDOW_TYPE_DIALOG"},
    {X11Atom::TypeUtility, "_NET_WM_WINDOW_TYPE_UTILITY"},
    {X11Atom::TypeDesktop, "_NET_WM_WINDOW_TYPE_DESKTOP"},
    {X11Atom::TypeDock, "_NET_WM_WINDOW_TYPE_DOCK"},
    {X11Atom::TypeToolbar, "_NET_WM_WINDOW_TYPE_TOOLBAR"},
    {X11Atom::TypeMenu, "_NET_WM_WINDOW_TYPE_MENU"},
    {X11Atom::TypeSplash, "_NET_WM_WINDOW_TYPE_SPLASH"},
    {X11Atom::TypeDropdownMenu, "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU"},
    {X11Atom::TypePopupMenu, "_NET_WM_WINDOW_TYPE_POPUP_MENU"},
    {X11Atom::TypeTooltip, "_NET_WM_WINDOW_TYPE_TOOLTIP"},
    {X11Atom::TypeNotification, "_NET_WM_WINDOW_TYPE_NOTIFICATION"},
    {X11Atom::TypeCombo, "_NET_WM_WINDOW_TYPE_COMBO"},
    {X11Atom::TypeDnd, "_NET_WM_WINDOW_TYPE_DND"},
    {X11Atom::WmState, "_NET_WM_STATE"},
    {X11Atom::StateHidden, "_NET_WM_STATE_HIDDEN"},
    {X11Atom::StateShaded, "_NET_WM_STATE_SHADED"},
    {X11Atom::StateBelow, "_NET_WM_STATE_BELOW"},
    {X11Atom::StateSticky, "_NET_WM_STATE_STICKY"},
    {X11Atom::StateSkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR"},
    {X11Atom::StateSkipPager, "_NET_WM_STATE_SKIP_PAGER"},
    {X11Atom::WmDesktop, "_NET_WM_DESKTOP"},
    {X11Atom::WmWindowOpacity, "_NET_WM_WINDOW_OPACITY"},
    {X11Atom::FrameExtents, "_NET_FRAME_EXTENTS"},
    {X11Atom::WmStrut, "_NET_WM_STRUT"},
    {X11Atom::WmStrutPartial, "_NET_WM_STRUT_PARTIAL"},
    {X11Atom::Edid, "EDID"},
}};

// GNOME's per-desktop work areas: the prefix, followed by the desktop's number.
inline constexpr std::string_view gtkWorkareasPrefix = "_GTK_WORKAREAS_D";

// _NET_WM_DESKTOP of a window shown on every desktop.
inline constexpr uint32_t allDesktops = 0xFFFFFFFF;

// The atoms of the table, interned together in one round trip.
class X11Atoms {
public:
    explicit X11Atoms(xcb_connection_t* connection);

    [[nodiscard]] xcb_atom_t operator[](X11Atom atom) const {
        return m_atoms[static_cast<std::size_t>(atom)];
    }
    // The atom of a name outside the table, interned now.
    [[nodiscard]] static xcb_atom_t intern(xcb_connection_t* connection, std::string_view name);

private:
    std::array<xcb_atom_t, static_cast<std::size_t>(X11Atom::Count)> m_atoms{};
};
