// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/DisplayBackend.h"

#include "shell/ShellLog.h"

namespace {
DisplayBackend::Kind chosen = DisplayBackend::Kind::None;
} // namespace

DisplayBackend::Kind DisplayBackend::choose(const Environment& environment, bool (*offersLayerShell)()) {
    if (environment.override == QLatin1String("x11"))
        return Kind::X11;
    if (environment.override == QLatin1String("wayland"))
        return Kind::Wayland;
    if (environment.waylandDisplay && offersLayerShell())
        return Kind::Wayland;
    return environment.x11Display ? Kind::X11 : Kind::None;
}

DisplayBackend::Kind DisplayBackend::prepare(bool (*offersLayerShell)()) {
    const Environment environment{.override = qEnvironmentVariable("LUMIVALE_BACKEND").toLower(),
                                  .waylandDisplay = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
                                  .x11Display = !qEnvironmentVariableIsEmpty("DISPLAY")};
    chosen = choose(environment, offersLayerShell);
    switch (chosen) {
    case Kind::X11:
        // Under a Wayland session Qt would pick Wayland; the X11 windows need XWayland.
        if (environment.waylandDisplay && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "xcb");
        if (environment.waylandDisplay)
            qCInfo(lcShell) << "The compositor offers no layer shell: wallpapers go through XWayland";
        break;
    case Kind::Wayland:
        qCInfo(lcShell) << "Wallpapers go through the Wayland layer shell";
        break;
    case Kind::None:
        qCWarning(lcShell) << "Neither a Wayland compositor with a layer shell nor an X server is reachable"
                           << "(WAYLAND_DISPLAY, DISPLAY): no wallpaper can be shown";
        break;
    }
    return chosen;
}

DisplayBackend::Kind DisplayBackend::current() {
    return chosen;
}

QString DisplayBackend::name(Kind kind) {
    switch (kind) {
    case Kind::X11:
        return QStringLiteral("x11");
    case Kind::Wayland:
        return QStringLiteral("wayland");
    case Kind::None:
        break;
    }
    return QStringLiteral("none");
}
