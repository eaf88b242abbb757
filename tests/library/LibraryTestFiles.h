// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/Wallpaper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace LibraryTestFiles {
inline bool write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline Wallpaper record(const QString& id, const QString& category = QStringLiteral("Nature")) {
    Wallpaper w;
    w.id = id;
    w.title = id.toUpper();
    w.category = category;
    return w;
}

inline QByteArray catalogDocument(const QList<Wallpaper>& wallpapers) {
    return WallpaperJson::encodeCatalog(Catalog{wallpapers}).value();
}

inline QStringList ids(const QList<Wallpaper>& list) {
    QStringList out;
    for (const Wallpaper& w : list)
        out.append(w.id);
    return out;
}

inline QStringList corruptCopies(const QString& path) {
    const QFileInfo info(path);
    return QDir(info.absolutePath()).entryList({info.fileName() + QStringLiteral(".corrupt-*")}, QDir::Files);
}
} // namespace LibraryTestFiles
