// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "library/Wallpaper.h"

// The catalog and the imported list: any text decodes or is refused, and whatever decodes survives an
// encode -> decode round trip unchanged.
void fuzzOne(const QByteArray& bytes) {
    if (const std::optional<Catalog> catalog = WallpaperJson::decodeCatalog(bytes)) {
        const std::optional<QByteArray> encoded = WallpaperJson::encodeCatalog(*catalog);
        require(encoded.has_value(), "a decoded catalog encodes");
        const std::optional<Catalog> again = WallpaperJson::decodeCatalog(*encoded);
        require(again && again->wallpapers == catalog->wallpapers, "catalog round trip");
    }
    if (const std::optional<QList<Wallpaper>> list = WallpaperJson::decodeImportedList(bytes)) {
        const std::optional<QByteArray> encoded = WallpaperJson::encodeImportedList(*list);
        require(encoded.has_value(), "a decoded imported list encodes");
        require(WallpaperJson::decodeImportedList(*encoded) == list, "imported list round trip");
    }
}
