// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/LibraryStore.h"
#include "library/Wallpaper.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The library view's shown list, one row per card. Rows change one by one: a download's progress or a
// new assignment touches only the rows of the wallpapers concerned, and a list that gains or loses
// records inserts or removes only those rows.
class WallpaperListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The library view model makes the shown list.")

public:
    enum Role {
        WallpaperIdRole = Qt::UserRole + 1,
        TitleRole,
        ResolutionRole,
        PosterUrlRole,
        PreviewUrlRole,
        PlayingRole,
        DownloadingRole,
        ProgressRole,
        DownloadedRole,
        ImportedRole,
    };
    Q_ENUM(Role)

    // A shown record with what the card needs of it that follows from the record alone.
    struct Entry {
        Wallpaper wallpaper;
        bool imported = false;
        QUrl poster;
        QUrl preview;

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    using QAbstractListModel::QAbstractListModel;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    // Replaces the rows. Unless a reset is asked for, records that stay keep their rows and only the
    // records that come or go are inserted or removed (a reordering falls back to a reset).
    void setEntries(QList<Entry> entries, bool reset);
    // Wallpaper ids that some display shows.
    void setPlaying(QSet<QString> ids);
    void setProgress(ProgressMap progress);
    // Wallpaper ids whose video is on disk.
    void setDownloaded(QSet<QString> ids);

    [[nodiscard]] const QList<Entry>& entries() const { return m_entries; }
    // The shown record with this id; null when none.
    [[nodiscard]] const Entry* entry(const QString& id) const;
    [[nodiscard]] int rowOf(const QString& id) const { return m_rows.value(id, -1); }

private:
    void reindex();
    void applyDiff(QList<Entry> entries);
    void notifyIds(const QSet<QString>& ids, const QList<int>& roles);

    QList<Entry> m_entries;
    QHash<QString, int> m_rows;
    QSet<QString> m_playing;
    ProgressMap m_progress;
    QSet<QString> m_downloaded;
};
