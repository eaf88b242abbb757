// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/EngineRig.h"

#include <QList>
#include <QString>

// The engine rig with the cached catalog and the imported list written as whole records.
class InterfaceRig : public EngineRig {
public:
    // Before build().
    void writeCatalog(const QList<Wallpaper>& wallpapers) const;
    // Before build(). Each record's video is a file made in the library's Imported folder.
    void writeImported(QList<Wallpaper> wallpapers) const;

    [[nodiscard]] static Wallpaper record(const QString& id, const QString& category);
    [[nodiscard]] static Wallpaper imported(const QString& id);
    [[nodiscard]] QString importedFolder() const { return home.libraryRoot() + QStringLiteral("/Imported"); }
};
