// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

// One catalog or imported wallpaper. Absent optional fields are a state of their own.
struct Wallpaper {
    QString id;
    QString title;
    QString category;
    std::optional<QString> poster;
    std::optional<QString> preview;
    std::optional<QString> video;
    std::optional<qint64> bytes;
    std::optional<double> seconds;
    std::optional<QString> resolution;
    std::optional<bool> isImported;

    // Only a present and true isImported makes a record imported.
    [[nodiscard]] bool imported() const { return isImported.value_or(false); }

    friend bool operator==(const Wallpaper&, const Wallpaper&) = default;
};

size_t qHash(const Wallpaper& wallpaper, size_t seed = 0) noexcept;

// The catalog document: the service's wallpapers in its order.
struct Catalog {
    QList<Wallpaper> wallpapers;
};

// JSON forms of the records. Decoding is strict: one bad element rejects the whole document.
// Encoding fails when a duration is not finite.
namespace WallpaperJson {
[[nodiscard]] std::optional<Catalog> decodeCatalog(const QByteArray& document);
[[nodiscard]] std::optional<QByteArray> encodeCatalog(const Catalog& catalog);
[[nodiscard]] std::optional<QList<Wallpaper>> decodeImportedList(const QByteArray& document);
[[nodiscard]] std::optional<QByteArray> encodeImportedList(const QList<Wallpaper>& wallpapers);
[[nodiscard]] std::optional<QByteArray> encodeWallpaper(const Wallpaper& wallpaper);
} // namespace WallpaperJson

Q_DECLARE_METATYPE(Wallpaper)
