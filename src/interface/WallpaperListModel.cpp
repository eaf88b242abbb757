// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/WallpaperListModel.h"

namespace {
template <typename T> bool hasDuplicates(const QList<T>& entries) {
    QSet<QString> seen;
    seen.reserve(entries.size());
    for (const auto& e : entries) {
        if (seen.contains(e.wallpaper.id))
            return true;
        seen.insert(e.wallpaper.id);
    }
    return false;
}

// The ids of the symmetric difference of two sets.
QSet<QString> changed(const QSet<QString>& a, const QSet<QString>& b) {
    QSet<QString> result = a;
    result.unite(b);
    result.subtract(QSet<QString>(a).intersect(b));
    return result;
}
} // namespace

int WallpaperListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant WallpaperListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry& e = m_entries.at(index.row());
    const QString& id = e.wallpaper.id;
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return e.wallpaper.title;
    case WallpaperIdRole:
        return id;
    case ResolutionRole:
        return e.wallpaper.resolution.value_or(QString());
    case PosterUrlRole:
        return e.poster;
    case PreviewUrlRole:
        return e.preview;
    case PlayingRole:
        return m_playing.contains(id);
    case DownloadingRole:
        return m_progress.contains(id);
    case ProgressRole:
        return m_progress.value(id, 0.0);
    case DownloadedRole:
        return m_downloaded.contains(id);
    case ImportedRole:
        return e.imported;
    default:
        return {};
    }
}

QHash<int, QByteArray> WallpaperListModel::roleNames() const {
    return {
        {WallpaperIdRole, "wallpaperId"}, {TitleRole, "title"},           {ResolutionRole, "resolution"},
        {PosterUrlRole, "posterUrl"},     {PreviewUrlRole, "previewUrl"}, {PlayingRole, "playing"},
        {DownloadingRole, "downloading"}, {ProgressRole, "progress"},     {DownloadedRole, "downloaded"},
        {ImportedRole, "imported"},
    };
}

const WallpaperListModel::Entry* WallpaperListModel::entry(const QString& id) const {
    const int row = rowOf(id);
    return row < 0 ? nullptr : &m_entries.at(row);
}

void WallpaperListModel::reindex() {
    m_rows.clear();
    m_rows.reserve(m_entries.size());
    // Backwards, so that of records sharing an id the first one is found.
    for (int row = int(m_entries.size()) - 1; row >= 0; --row)
        m_rows.insert(m_entries.at(row).wallpaper.id, row);
}

void WallpaperListModel::setEntries(QList<Entry> entries, bool reset) {
    if (reset || hasDuplicates(entries) || hasDuplicates(m_entries)) {
        beginResetModel();
        m_entries = std::move(entries);
        reindex();
        endResetModel();
        return;
    }
    applyDiff(std::move(entries));
}

void WallpaperListModel::applyDiff(QList<Entry> entries) {
    QHash<QString, int> incoming;
    incoming.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i)
        incoming.insert(entries.at(i).wallpaper.id, i);

    // Records present before and after must keep their relative order; otherwise start afresh.
    int last = -1;
    for (const Entry& e : std::as_const(m_entries)) {
        const auto it = incoming.constFind(e.wallpaper.id);
        if (it == incoming.cend())
            continue;
        if (*it < last) {
            setEntries(std::move(entries), true);
            return;
        }
        last = *it;
    }

    // Removals, last run first so that earlier rows keep their numbers.
    for (int end = int(m_entries.size()) - 1; end >= 0;) {
        if (incoming.contains(m_entries.at(end).wallpaper.id)) {
            --end;
            continue;
        }
        int first = end;
        while (first > 0 && !incoming.contains(m_entries.at(first - 1).wallpaper.id))
            --first;
        beginRemoveRows({}, first, end);
        m_entries.remove(first, end - first + 1);
        endRemoveRows();
        end = first - 1;
    }

    // Insertions in order: the rows before position i already match the new list.
    QSet<QString> kept;
    kept.reserve(m_entries.size());
    for (const Entry& e : std::as_const(m_entries))
        kept.insert(e.wallpaper.id);
    for (int i = 0; i < entries.size();) {
        if (i < m_entries.size() && m_entries.at(i).wallpaper.id == entries.at(i).wallpaper.id) {
            if (m_entries.at(i) != entries.at(i)) {
                m_entries[i] = entries.at(i);
                Q_EMIT dataChanged(index(i), index(i));
            }
            ++i;
            continue;
        }
        int end = i;
        while (end < entries.size() && !kept.contains(entries.at(end).wallpaper.id))
            ++end;
        beginInsertRows({}, i, end - 1);
        for (int k = i; k < end; ++k)
            m_entries.insert(k, entries.at(k));
        endInsertRows();
        i = end;
    }
    reindex();
}

void WallpaperListModel::notifyIds(const QSet<QString>& ids, const QList<int>& roles) {
    for (const QString& id : ids) {
        const int row = m_rows.value(id, -1);
        if (row >= 0)
            Q_EMIT dataChanged(index(row), index(row), roles);
    }
}

void WallpaperListModel::setPlaying(QSet<QString> ids) {
    const QSet<QString> touched = changed(m_playing, ids);
    m_playing = std::move(ids);
    notifyIds(touched, {PlayingRole});
}

void WallpaperListModel::setProgress(ProgressMap progress) {
    QSet<QString> touched;
    for (auto it = m_progress.cbegin(); it != m_progress.cend(); ++it) {
        const auto now = progress.constFind(it.key());
        if (now == progress.cend() || *now != *it)
            touched.insert(it.key());
    }
    for (auto it = progress.cbegin(); it != progress.cend(); ++it) {
        if (!m_progress.contains(it.key()))
            touched.insert(it.key());
    }
    m_progress = std::move(progress);
    notifyIds(touched, {DownloadingRole, ProgressRole});
}

void WallpaperListModel::setDownloaded(QSet<QString> ids) {
    const QSet<QString> touched = changed(m_downloaded, ids);
    m_downloaded = std::move(ids);
    notifyIds(touched, {DownloadedRole});
}
