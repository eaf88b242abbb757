#include "library/LibraryLog.h"
#include "library/LibraryStore.h"
#include "library/ReplyChecks.h"
#include "library/WallpaperTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

// One download in flight. The body streams into a QSaveFile inside Library/, so a video of any size
// never sits in memory, and the finished file replaces the old one in a single rename: a failure or
// a cancellation leaves the earlier file and no temporary behind.
struct LibraryStore::Download {
    QNetworkReply* reply = nullptr;
    std::unique_ptr<QSaveFile> file;
    std::function<void()> continuation;
    QMetaObject::Connection observation;
    qint64 written = 0;
    bool cancelled = false;
    bool failed = false;
};

namespace {
constexpr qint64 readBufferBytes = 4LL * 1024 * 1024;

bool isHttpUrl(const QUrl& url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}
} // namespace

void LibraryStore::download(const Wallpaper& wallpaper, std::function<void()> continuation) {
    const QString id = wallpaper.id;
    if (m_tasks.contains(id))
        return;
    // An imported record's video is a local path, never something to fetch.
    if (wallpaper.imported() || !wallpaper.video)
        return;
    const QUrl url(*wallpaper.video, QUrl::StrictMode);
    if (!isHttpUrl(url))
        return;
    const std::optional<QString> destination = downloadPath(id);
    if (!destination)
        return;

    auto task = std::make_shared<Download>();
    task->continuation = std::move(continuation);
    task->file = std::make_unique<QSaveFile>(*destination);
    task->file->setDirectWriteFallback(false);
    QDir().mkpath(QFileInfo(*destination).absolutePath());
    const bool fileOpen = task->file->open(QIODevice::WriteOnly);

    QNetworkRequest request(url);
    QNetworkReply* reply = m_network->get(request);
    reply->setReadBufferSize(readBufferBytes);
    task->reply = reply;
    if (!fileOpen)
        task->failed = true;

    task->observation = connect(reply, &QNetworkReply::downloadProgress, this,
                                [this, id, reply](qint64 received, qint64 total) {
                                    // A late update for a finished download must not bring its entry back.
                                    const auto it = m_tasks.constFind(id);
                                    if (it == m_tasks.constEnd() || (*it)->reply != reply)
                                        return;
                                    m_progress.insert(id, total > 0 ? double(received) / double(total) : 0.0);
                                    Q_EMIT progressChanged();
                                });
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, task] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        // Redirects pass through here before they are followed; one that is not followed still ends
        // the download, with its status, when the reply finishes.
        const int code = status.toInt();
        if (status.isValid() && code != 200 && (code < 300 || code >= 400)) {
            task->failed = true;
            // Not from inside the reply's own signal: it is still delivering this answer.
            QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, task] {
        const QByteArray chunk = reply->readAll();
        if (task->failed || task->cancelled)
            return;
        if (task->file->write(chunk) != chunk.size()) {
            task->failed = true;
            reply->abort();
        }
        task->written += chunk.size();
    });
    connect(reply, &QNetworkReply::finished, this, [this, id] { finishDownload(id); });

    m_tasks.insert(id, task);
    // Published once the download exists, so that whoever reads the progress finds it running.
    m_progress.insert(id, 0.0);
    Q_EMIT progressChanged();
    if (task->failed)
        reply->abort();
}

void LibraryStore::cancelDownload(const QString& id) {
    const auto it = m_tasks.constFind(id);
    if (it == m_tasks.constEnd())
        return;
    (*it)->cancelled = true;
    (*it)->reply->abort();
}

void LibraryStore::finishDownload(const QString& id) {
    const std::shared_ptr<Download> task = m_tasks.value(id);
    if (!task)
        return;
    QNetworkReply* reply = task->reply;
    reply->deleteLater();

    bool success = false;
    if (!task->cancelled && !task->failed) {
        const QByteArray rest = reply->readAll();
        task->written += rest.size();
        success = ReplyChecks::succeeded(reply, task->written) && task->file->write(rest) == rest.size() &&
                  task->file->commit();
    }
    if (!success && !task->cancelled)
        qCWarning(lcLibrary).noquote()
            << "Download of" << id << "from" << reply->url().toString() << "failed: HTTP status"
            << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() << "-"
            << reply->errorString() << "- writing" << task->file->fileName() << "-"
            << task->file->errorString();
    if (!success)
        task->file->cancelWriting();
    task->file.reset();

    disconnect(task->observation);
    m_tasks.remove(id);
    m_progress.remove(id);
    Q_EMIT progressChanged();

    if (success) {
        bumpRevision();
        if (task->continuation)
            task->continuation();
    } else if (!task->cancelled) {
        setProblem(downloadFailedSentence());
    }
}

bool LibraryStore::isInsideImported(const QString& path) const {
    // Judge the folder that holds the item with links resolved, but not the item itself: removing a
    // link inside the library removes the link, never what it points to.
    const QFileInfo info(path);
    if (!info.isAbsolute())
        return false;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString imported = QFileInfo(m_root + QStringLiteral("/Imported")).canonicalFilePath();
    return !folder.isEmpty() && !imported.isEmpty() && folder == imported &&
           info.fileName() != QLatin1String("..") && info.fileName() != QLatin1String(".");
}

void LibraryStore::removeImportedFile(const QString& path) const {
    if (isInsideImported(path))
        QFile::remove(path);
}

void LibraryStore::remove(const Wallpaper& wallpaper) {
    if (m_target)
        m_target->forgetWallpaper(wallpaper.id);

    if (!wallpaper.imported()) {
        if (const std::optional<QString> path = downloadPath(wallpaper.id))
            QFile::remove(*path);
        bumpRevision();
        return;
    }

    if (wallpaper.video)
        removeImportedFile(*wallpaper.video);
    if (wallpaper.poster) {
        const QUrl poster(*wallpaper.poster);
        if (poster.isValid() && poster.isLocalFile())
            removeImportedFile(poster.toLocalFile());
    }
    QList<Wallpaper> kept;
    kept.reserve(m_imported.size());
    for (const Wallpaper& w : std::as_const(m_imported))
        if (w.id != wallpaper.id)
            kept.append(w);
    setImported(std::move(kept));
    saveImported();
    bumpRevision();
}
