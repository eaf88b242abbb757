// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/StallTimeout.h"
#include "library/LibraryLog.h"
#include "library/LibraryStore.h"
#include "library/MediaInspector.h"
#include "library/ReplyChecks.h"
#include "library/WallpaperTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>

// One download in flight. The body streams into a temporary file inside Library/, so a video of any
// size never sits in memory. Once the body is complete a worker syncs it, checks that it is a video
// and renames it over the destination in one step: a failure or a cancellation leaves the earlier
// file, and a link at the destination is replaced, never written through.
struct LibraryStore::Download {
    QNetworkReply* reply = nullptr;
    std::unique_ptr<QTemporaryFile> file;
    std::function<void()> continuation;
    QMetaObject::Connection observation;
    std::optional<qint64> expectedBytes;
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

bool hasRoomFor(const QString& folder, qint64 bytes) {
    const QStorageInfo disk(folder);
    return !disk.isValid() || disk.bytesAvailable() < 0 || disk.bytesAvailable() >= bytes;
}

// On a worker: the finished body is made durable, checked and moved into place; an empty answer
// means it replaced the destination, anything else says why it did not (the temporary is gone).
QString commitDownload(const QString& temporary, const QString& destination, std::optional<qint64> expected,
                       const std::shared_ptr<const MediaInspector>& media) {
    QString refusal;
    {
        QFile file(temporary);
        if (!file.open(QIODevice::ReadWrite))
            refusal = QStringLiteral("the downloaded file cannot be reopened");
        else if (expected && file.size() != *expected)
            refusal =
                QStringLiteral("%1 bytes arrived, the catalog states %2").arg(file.size()).arg(*expected);
        else if (::fdatasync(file.handle()) != 0)
            refusal = QStringLiteral("the downloaded file cannot be synced");
        else if (!media || !media->probeVideo(temporary))
            refusal = QStringLiteral("it is not a video");
        else if (std::rename(QFile::encodeName(temporary).constData(),
                             QFile::encodeName(destination).constData()) != 0)
            refusal = QStringLiteral("it cannot be moved into place");
    }
    if (!refusal.isEmpty())
        QFile::remove(temporary);
    return refusal;
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
    const QString folder = QFileInfo(*destination).absolutePath();
    QDir().mkpath(folder);
    if (wallpaper.bytes && !hasRoomFor(folder, *wallpaper.bytes)) {
        qCWarning(lcLibrary) << "Download of" << id << "not started:" << *wallpaper.bytes
                             << "bytes do not fit on the library's disk";
        setProblem(downloadFailedSentence());
        return;
    }

    auto task = std::make_shared<Download>();
    task->continuation = std::move(continuation);
    task->expectedBytes = wallpaper.bytes;
    task->file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/.download-XXXXXX.part"));
    const bool fileOpen = task->file->open();

    QNetworkRequest request(url);
    request.setTransferTimeout(int(StallTimeout::value().count()));
    QNetworkReply* reply = m_network->get(request);
    reply->setReadBufferSize(readBufferBytes);
    task->reply = reply;
    if (!fileOpen) {
        qCWarning(lcLibrary) << "Download of" << id << "failed: no temporary file in" << folder;
        task->failed = true;
    }

    task->observation = connect(reply, &QNetworkReply::downloadProgress, this,
                                [this, id, reply](qint64 received, qint64 total) {
                                    // A late update for a finished download must not bring its entry back.
                                    const auto it = m_tasks.constFind(id);
                                    if (it == m_tasks.constEnd() || (*it)->reply != reply)
                                        return;
                                    m_progress.insert(id, total > 0 ? double(received) / double(total) : 0.0);
                                    Q_EMIT progressChanged();
                                });
    connect(reply, &QNetworkReply::metaDataChanged, this, [id, reply, task] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        // Redirects pass through here before they are followed; one that is not followed still ends
        // the download, with its status, when the reply finishes.
        const int code = status.toInt();
        if (status.isValid() && code != 200 && (code < 300 || code >= 400)) {
            qCWarning(lcLibrary) << "Download of" << id << "failed: status" << code;
            task->failed = true;
            // Not from inside the reply's own signal: it is still delivering this answer.
            QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [id, reply, task] {
        const QByteArray chunk = reply->readAll();
        if (task->failed || task->cancelled)
            return;
        task->written += chunk.size();
        if (task->expectedBytes && task->written > *task->expectedBytes) {
            qCWarning(lcLibrary) << "Download of" << id << "failed: the body is longer than the"
                                 << *task->expectedBytes << "bytes the catalog states";
            task->failed = true;
            reply->abort();
        } else if (task->file->write(chunk) != chunk.size()) {
            qCWarning(lcLibrary) << "Download of" << id << "failed:" << task->file->errorString();
            task->failed = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, id] { finishTransfer(id); });

    m_tasks.insert(id, task);
    // Published once the download exists, so that whoever reads the progress finds it running.
    m_progress.insert(id, 0.0);
    Q_EMIT progressChanged();
    if (task->failed)
        reply->abort();
}

void LibraryStore::cancelDownload(const QString& id) {
    const auto it = m_tasks.constFind(id);
    if (it == m_tasks.constEnd() || !(*it)->reply)
        return;
    (*it)->cancelled = true;
    (*it)->reply->abort();
}

void LibraryStore::finishTransfer(const QString& id) {
    const std::shared_ptr<Download> task = m_tasks.value(id);
    if (!task || !task->reply)
        return;
    QNetworkReply* reply = std::exchange(task->reply, nullptr);
    reply->deleteLater();
    if (task->cancelled || task->failed) {
        finishDownload(id, false);
        return;
    }
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        qCWarning(lcLibrary) << "Download of" << id << "failed: no data for" << StallTimeout::value().count()
                             << "ms";
        finishDownload(id, false);
        return;
    }
    const QByteArray rest = reply->readAll();
    task->written += rest.size();
    if (!ReplyChecks::succeeded(reply, task->written) || task->file->write(rest) != rest.size() ||
        !task->file->flush()) {
        qCWarning(lcLibrary).noquote()
            << "Download of" << id << "from" << reply->url().toString() << "failed: HTTP status"
            << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() << "-"
            << reply->errorString() << "after" << task->written << "bytes";
        finishDownload(id, false);
        return;
    }

    const QString temporary = task->file->fileName();
    task->file->setAutoRemove(false);
    task->file.reset();
    // Syncing and probing a large file takes long enough to stall wallpapers and windows.
    m_workers.start([this, id, temporary, destination = *downloadPath(id), expected = task->expectedBytes,
                     media = m_media] {
        const QString refusal = commitDownload(temporary, destination, expected, media);
        QMetaObject::invokeMethod(
            this,
            [this, id, refusal] {
                if (!refusal.isEmpty())
                    qCWarning(lcLibrary) << "Download of" << id << "refused:" << qPrintable(refusal);
                finishDownload(id, refusal.isEmpty());
            },
            Qt::QueuedConnection);
    });
}

void LibraryStore::finishDownload(const QString& id, bool success) {
    const std::shared_ptr<Download> task = m_tasks.take(id);
    if (!task)
        return;
    task->file.reset();
    disconnect(task->observation);
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
