// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/X11WindowEvents.h"

#include "platform/desktop/X11WallpaperWindow.h"

#include <QCoreApplication>
#include <xcb/xcb.h>

X11WindowEvents::X11WindowEvents() {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11WindowEvents::~X11WindowEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11WindowEvents::watch(quint32 window, X11WallpaperWindow* target) {
    m_windows.insert(window, target);
}

void X11WindowEvents::unwatch(quint32 window) {
    m_windows.remove(window);
}

bool X11WindowEvents::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (m_windows.isEmpty() || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_VISIBILITY_NOTIFY: {
        const auto* visibility = reinterpret_cast<const xcb_visibility_notify_event_t*>(event);
        if (X11WallpaperWindow* window = m_windows.value(visibility->window))
            window->setFullyObscured(visibility->state == XCB_VISIBILITY_FULLY_OBSCURED);
        break;
    }
    case XCB_MAP_NOTIFY: {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (X11WallpaperWindow* window = m_windows.value(map->window))
            window->setMapped(true);
        break;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto* unmap = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
        if (X11WallpaperWindow* window = m_windows.value(unmap->window))
            window->setMapped(false);
        break;
    }
    default:
        break;
    }
    // Qt still sees every event.
    return false;
}
