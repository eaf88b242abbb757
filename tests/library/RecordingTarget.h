// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/WallpaperTarget.h"

#include <QList>
#include <QPair>
#include <QString>

// Stands in for the engine: records what the library asks of it.
class RecordingTarget : public WallpaperTarget {
public:
    void useWallpaper(const QString& id, const QString& displayChoice) override {
        used.append({id, displayChoice});
    }
    void forgetWallpaper(const QString& id) override { forgotten.append(id); }

    QList<QPair<QString, QString>> used;
    QStringList forgotten;
};
