// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSet>
#include <QString>

// One application window as the compositor's toplevel list describes it. The list gives no
// geometry: only states and the outputs the window is on.
struct ToplevelState {
    bool maximized = false;
    bool minimized = false;
    bool activated = false;
    bool fullscreen = false;
    // Names of the outputs it entered.
    QSet<QString> outputs;
};

namespace ToplevelCover {

// The outputs whose whole area a window hides: one that is full screen or maximized, activated and
// not minimized covers every output it entered. A full-screen window on a workspace that is not shown
// keeps its full-screen state but is not activated, and so covers nothing.
[[nodiscard]] QSet<QString> coveredOutputs(const QList<ToplevelState>& toplevels);

} // namespace ToplevelCover
