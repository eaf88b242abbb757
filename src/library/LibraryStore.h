// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/Wallpaper.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class MediaInspector;
class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
class WallpaperTarget;

using ProgressMap = QHash<QString, double>;

// The library's one model object: the library folder on disk, the catalog and the imported list,
// downloads and imports. Main thread only; every assignment to a published field notifies.
class LibraryStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<Wallpaper> catalog READ catalog NOTIFY catalogChanged)
    Q_PROPERTY(QList<Wallpaper> imported READ imported NOTIFY importedChanged)
    Q_PROPERTY(ProgressMap progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(bool offline READ offline NOTIFY offlineChanged)
    Q_PROPERTY(QString problem READ problemText NOTIFY problemChanged)
    Q_PROPERTY(qint64 revision READ revision NOTIFY revisionChanged)

public:
    static constexpr qint64 maxCatalogBytes = 64LL * 1024 * 1024;
    // A cached catalog up to this size is read at construction; a larger one is decoded on a worker
    // while `loading` is true, so that the caller is not held up.
    static constexpr qint64 inlineCatalogBytes = 256LL * 1024;

    // A store over the given root folder; creates "Library" and "Imported" and loads the cached lists.
    explicit LibraryStore(const QString& root, QObject* parent = nullptr);
    ~LibraryStore() override;

    // The process-wide store at the user's data folder, created on first use and never destroyed.
    static LibraryStore& shared();

    void setMediaInspector(std::shared_ptr<const MediaInspector> inspector);
    void setWallpaperTarget(WallpaperTarget* target);
    [[nodiscard]] WallpaperTarget* wallpaperTarget() const { return m_target; }

    [[nodiscard]] const QList<Wallpaper>& catalog() const { return m_catalog; }
    [[nodiscard]] const QList<Wallpaper>& imported() const { return m_imported; }
    [[nodiscard]] const ProgressMap& progress() const { return m_progress; }
    [[nodiscard]] bool loading() const { return m_loading; }
    [[nodiscard]] bool offline() const { return m_offline; }
    [[nodiscard]] const std::optional<QString>& problem() const { return m_problem; }
    [[nodiscard]] QString problemText() const { return m_problem.value_or(QString()); }
    [[nodiscard]] qint64 revision() const { return m_revision; }
    [[nodiscard]] const QString& root() const { return m_root; }

    // The view dismissed the message.
    void setProblem(std::optional<QString> problem);

    [[nodiscard]] QList<Wallpaper> all() const;
    [[nodiscard]] QList<Wallpaper> downloaded() const;
    [[nodiscard]] QStringList categories() const;
    // Path of the video file that plays the wallpaper, when it is on disk.
    [[nodiscard]] std::optional<QString> localURL(const QString& id) const;
    [[nodiscard]] bool isDownloaded(const Wallpaper& wallpaper) const {
        return localURL(wallpaper.id).has_value();
    }
    // Where a catalog wallpaper's download lands; nothing for an id that cannot be a file name.
    [[nodiscard]] std::optional<QString> downloadPath(const QString& id) const;
    [[nodiscard]] bool isDownloading(const QString& id) const { return m_tasks.contains(id); }

    void saveImported();

    // Catalog loading.
    [[nodiscard]] static QUrl catalogURL();
    void refresh();

    // Downloads and removal.
    void download(const Wallpaper& wallpaper, std::function<void()> continuation = {});
    void cancelDownload(const QString& id);
    void remove(const Wallpaper& wallpaper);

    // Import of the user's own videos, one file at a time in order; the last success goes on every display.
    void importVideos(const QList<QUrl>& urls);

    void useWallpaper(const Wallpaper& wallpaper, const QString& displayChoice);

    [[nodiscard]] static QString downloadFailedSentence();
    [[nodiscard]] static QString importFailedSentence(const QString& fileName);
    // Whether an id can name a file inside the library without reaching outside it: not empty, not a
    // path, at most 255 bytes as UTF-8 and valid UTF-16 (so that two ids never share one file name).
    [[nodiscard]] static bool isSafeId(const QString& id);

Q_SIGNALS:
    void catalogChanged();
    void importedChanged();
    void progressChanged();
    void loadingChanged();
    void offlineChanged();
    void problemChanged();
    void revisionChanged(qint64 revision);
    // An import batch has finished (used by callers and tests that wait for it).
    void importsFinished();

private:
    struct Download;

    void setCatalog(QList<Wallpaper> catalog);
    void setImported(QList<Wallpaper> imported);
    void setProgress(ProgressMap progress);
    void setLoading(bool loading);
    void setOffline(bool offline);
    void bumpRevision();

    void loadCachedCatalog(const QString& path);
    void finishRefresh(QNetworkReply* reply, bool tooLarge);
    void applyRefresh(std::optional<Catalog> decoded);
    void finishTransfer(const QString& id);
    void finishDownload(const QString& id, bool success);
    void removeOrphans(bool importedListRead) const;
    void importNext();
    [[nodiscard]] bool isInsideImported(const QString& path) const;
    void removeImportedFile(const QString& path) const;

    QList<Wallpaper> m_catalog;
    QList<Wallpaper> m_imported;
    ProgressMap m_progress;
    bool m_loading = false;
    bool m_offline = false;
    std::optional<QString> m_problem;
    qint64 m_revision = 0;
    QHash<QString, std::shared_ptr<Download>> m_tasks;
    QString m_root;

    QNetworkAccessManager* m_network = nullptr;
    std::shared_ptr<const MediaInspector> m_media;
    WallpaperTarget* m_target = nullptr;

    // Pending import batches: each ends with its last success put on every display.
    struct ImportBatch {
        QList<QUrl> urls;
        std::optional<Wallpaper> last;
    };
    QList<ImportBatch> m_importBatches;
    bool m_importing = false;
    int m_refreshes = 0;
    // Imports and finished downloads.
    QThreadPool m_workers;
    // Catalog decoding, one document at a time in the order they arrive.
    QThreadPool m_decoder;
};
