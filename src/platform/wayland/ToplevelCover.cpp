// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/ToplevelCover.h"

QSet<QString> ToplevelCover::coveredOutputs(const QList<ToplevelState>& toplevels) {
    QSet<QString> covered;
    for (const ToplevelState& toplevel : toplevels) {
        if ((toplevel.fullscreen || toplevel.maximized) && toplevel.activated && !toplevel.minimized)
            covered.unite(toplevel.outputs);
    }
    return covered;
}
