// SPDX-License-Identifier: GPL-3.0-or-later
#include "InterfaceRig.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>

void InterfaceRig::writeCatalog(const QList<Wallpaper>& wallpapers) const {
    const std::optional<QByteArray> bytes = WallpaperJson::encodeCatalog({wallpapers});
    QVERIFY(bytes);
    QFile file(home.libraryRoot() + QStringLiteral("/catalog.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(*bytes);
}

void InterfaceRig::writeImported(QList<Wallpaper> wallpapers) const {
    QVERIFY(QDir().mkpath(importedFolder()));
    for (Wallpaper& w : wallpapers) {
        const QString video = importedFolder() + QLatin1Char('/') + w.id + QStringLiteral(".mp4");
        QFile file(video);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not really a video");
        w.video = video;
        w.preview = QUrl::fromLocalFile(video).toString();
        w.poster = QUrl::fromLocalFile(importedFolder() + QLatin1Char('/') + w.id + QStringLiteral(".jpg"))
                       .toString();
    }
    const std::optional<QByteArray> bytes = WallpaperJson::encodeImportedList(wallpapers);
    QVERIFY(bytes);
    QFile file(home.libraryRoot() + QStringLiteral("/imported.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(*bytes);
}

Wallpaper InterfaceRig::record(const QString& id, const QString& category) {
    Wallpaper w;
    w.id = id;
    w.title = id.toUpper();
    w.category = category;
    return w;
}

Wallpaper InterfaceRig::imported(const QString& id) {
    Wallpaper w = record(id, QStringLiteral("Your videos"));
    w.isImported = true;
    return w;
}
