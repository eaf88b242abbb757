// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <xcb/xcb.h>

// xcb hands out replies and errors allocated with malloc.
struct XcbFree {
    void operator()(void* pointer) const noexcept { std::free(pointer); }
};

template <class T> using XcbReply = std::unique_ptr<T, XcbFree>;

// Waits for one reply. An error is freed here instead of reaching Qt's event queue, where it
// would be reported as a warning: windows may vanish while they are being read.
template <class Reply, class Cookie>
[[nodiscard]] XcbReply<Reply> xcbReply(xcb_connection_t* connection, Cookie cookie,
                                       Reply* (*wait)(xcb_connection_t*, Cookie, xcb_generic_error_t**)) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<Reply> reply(wait(connection, cookie, &error));
    std::free(error);
    return reply;
}

// The 32-bit items of a property; empty when it is absent or of another format.
[[nodiscard]] inline std::span<const uint32_t> propertyValues32(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32 || reply->type == XCB_ATOM_NONE)
        return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply));
    return {values, static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4};
}
