// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>

class X11WallpaperWindow;

// Hands the X11 events that Qt does not turn into anything a wallpaper window can use (whether it is
// fully covered, and being unmapped by someone else) to the window they are for. Installed on the
// application while it exists.
class X11WindowEvents final : public QAbstractNativeEventFilter {
public:
    X11WindowEvents();
    ~X11WindowEvents() override;
    X11WindowEvents(const X11WindowEvents&) = delete;
    X11WindowEvents& operator=(const X11WindowEvents&) = delete;

    void watch(quint32 window, X11WallpaperWindow* target);
    void unwatch(quint32 window);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QHash<quint32, X11WallpaperWindow*> m_windows;
};
