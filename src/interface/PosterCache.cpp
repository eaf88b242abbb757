// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/PosterCache.h"

#include <algorithm>

namespace {
// A poster a little smaller than the card still looks sharp; asking again for it would not pay.
constexpr double closeEnough = 0.9;
} // namespace

PosterCache::PosterCache(qsizetype budgetBytes) : m_cache(budgetBytes) {}

PosterCache& PosterCache::shared() {
    static PosterCache cache;
    return cache;
}

std::optional<QImage> PosterCache::find(const QUrl& url, const QSize& needed) {
    const Entry* entry = m_cache.object(url.toString());
    if (!entry)
        return std::nullopt;
    if (!entry->natural && !needed.isEmpty()) {
        const double scale = std::max(double(needed.width()) / entry->image.width(),
                                      double(needed.height()) / entry->image.height());
        if (scale * closeEnough > 1.0)
            return std::nullopt;
    }
    return entry->image;
}

void PosterCache::insert(const QUrl& url, const QImage& image, bool natural) {
    if (image.isNull())
        return;
    m_cache.insert(url.toString(), new Entry{image, natural}, qsizetype(image.sizeInBytes()));
}
