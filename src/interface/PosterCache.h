// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCache>
#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <optional>

// The process-wide memory cache of decoded posters, bounded by bytes: thousands of posters would not
// fit in memory, so the least recently used go first. Main thread only.
class PosterCache {
public:
    static constexpr qsizetype defaultBudgetBytes = qsizetype(128) * 1024 * 1024;

    explicit PosterCache(qsizetype budgetBytes = defaultBudgetBytes);

    [[nodiscard]] static PosterCache& shared();

    // The cached poster, when it is big enough to fill `needed` pixels (or is as big as the image gets).
    [[nodiscard]] std::optional<QImage> find(const QUrl& url, const QSize& needed);
    // `natural`: the image was decoded at its own size, so no request can get a bigger one.
    void insert(const QUrl& url, const QImage& image, bool natural);

    [[nodiscard]] qsizetype bytes() const { return m_cache.totalCost(); }
    [[nodiscard]] qsizetype budget() const { return m_cache.maxCost(); }
    [[nodiscard]] qsizetype count() const { return m_cache.count(); }
    void clear() { m_cache.clear(); }

private:
    struct Entry {
        QImage image;
        bool natural = false;
    };
    QCache<QString, Entry> m_cache;
};
