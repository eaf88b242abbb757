// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Dpms.h"

#include "platform/x11/XcbReply.h"

#include <xcb/dpms.h>

X11Dpms::X11Dpms() : m_x(X11Connection::fromQt()) {}

std::optional<bool> X11Dpms::displaysOff() const {
    if (!m_x)
        return std::nullopt;
    xcb_connection_t* c = m_x->connection;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_dpms_id);
    if (!extension || !extension->present)
        return std::nullopt;
    const auto info = xcbReply(c, xcb_dpms_info(c), xcb_dpms_info_reply);
    if (!info)
        return std::nullopt;
    return info->state && info->power_level != XCB_DPMS_DPMS_MODE_ON;
}
