// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Activation.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/XcbReply.h"

#include <QRegularExpression>
#include <cstring>
#include <xcb/xcb.h>

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const auto reply =
        xcbReply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), xcb_intern_atom_reply);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// "remove: ID=…" split into the 20-byte client messages of the startup-notification protocol,
// the first typed _NET_STARTUP_INFO_BEGIN, the rest _NET_STARTUP_INFO, the last ending in a zero.
void endStartupNotification(const X11Connection& x, xcb_window_t window, const QByteArray& startupId) {
    QByteArray text = QByteArrayLiteral("remove: ID=\"");
    for (const char c : startupId) {
        if (c == '"' || c == '\\')
            text.append('\\');
        text.append(c);
    }
    text.append('"');
    text.append('\0');
    const xcb_atom_t begin = internAtom(x.connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = internAtom(x.connection, "_NET_STARTUP_INFO");
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE)
        return;
    for (qsizetype offset = 0; offset < text.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = offset == 0 ? begin : more;
        std::memcpy(event.data.data8, text.constData() + offset,
                    std::size_t(std::min<qsizetype>(20, text.size() - offset)));
        xcb_send_event(x.connection, 0, x.root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
}

} // namespace

namespace X11Activation {

xcb_timestamp_t timeOf(const QByteArray& startupId) {
    static const QRegularExpression time(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch found = time.match(QString::fromUtf8(startupId));
    bool ok = false;
    const qulonglong value = found.hasMatch() ? found.captured(1).toULongLong(&ok) : 0;
    return ok && value <= 0xffffffffULL ? xcb_timestamp_t(value) : xcb_timestamp_t(XCB_CURRENT_TIME);
}

void prepare(xcb_window_t window, const QByteArray& startupId) {
    const std::optional<X11Connection> x = X11Connection::fromQt();
    if (!x || window == XCB_WINDOW_NONE || startupId.isEmpty())
        return;
    const xcb_atom_t startupIdAtom = internAtom(x->connection, "_NET_STARTUP_ID");
    const xcb_atom_t utf8 = internAtom(x->connection, "UTF8_STRING");
    if (startupIdAtom != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
        xcb_change_property(x->connection, XCB_PROP_MODE_REPLACE, window, startupIdAtom, utf8, 8,
                            std::uint32_t(startupId.size()), startupId.constData());
    xcb_flush(x->connection);
}

void activate(xcb_window_t window, const QByteArray& startupId) {
    const std::optional<X11Connection> x = X11Connection::fromQt();
    if (!x || window == XCB_WINDOW_NONE)
        return;
    // Qt stamps the window with its own last event time when it maps it; the launch's is the one that
    // counts.
    if (const xcb_timestamp_t time = timeOf(startupId); time != XCB_CURRENT_TIME) {
        const xcb_atom_t userTime = internAtom(x->connection, "_NET_WM_USER_TIME");
        if (userTime != XCB_ATOM_NONE)
            xcb_change_property(x->connection, XCB_PROP_MODE_REPLACE, window, userTime, XCB_ATOM_CARDINAL, 32,
                                1, &time);
    }
    const xcb_atom_t activeWindow = internAtom(x->connection, "_NET_ACTIVE_WINDOW");
    if (activeWindow != XCB_ATOM_NONE) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = activeWindow;
        event.data.data32[0] = 1; // a request from an application
        event.data.data32[1] = timeOf(startupId);
        event.data.data32[2] = XCB_WINDOW_NONE;
        xcb_send_event(x->connection, 0, x->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
    }
    if (!startupId.isEmpty())
        endStartupNotification(*x, window, startupId);
    xcb_flush(x->connection);
}

} // namespace X11Activation
