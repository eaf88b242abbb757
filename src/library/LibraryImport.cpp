// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryLog.h"
#include "library/LibraryStore.h"
#include "library/MediaInspector.h"
#include "library/WallpaperTarget.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cmath>
#include <sys/stat.h>

namespace {
struct ImportResult {
    std::optional<Wallpaper> wallpaper;
    QString fileName;
};

constexpr double posterLatestSeconds = 1.0;
constexpr QSize posterBox{960, 540};
constexpr int posterQuality = 85;

// A FIFO or a device would block the reader or never end; only a plain file is a video to copy.
bool isRegularFile(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

QString newImportId() {
    return QStringLiteral("own-") + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toLower();
}

// Copies through a part file, so that a copy cut short (a crash, a full disk) never carries an import's
// name: the next start removes what is left of it.
bool copyThroughPart(const QString& source, const QString& part, const QString& target) {
    QFile in(source);
    QFile out(part);
    bool copied = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray block(qsizetype(1) << 20, Qt::Uninitialized);
    for (qint64 read = 0; copied && (read = in.read(block.data(), block.size())) != 0;)
        copied = read > 0 && out.write(block.constData(), read) == read;
    copied = copied && out.flush();
    out.close();
    if (copied && QFile::rename(part, target))
        return true;
    QFile::remove(part);
    return false;
}

// Probing, copying and encoding block, so they run on the store's worker thread; nothing here
// touches the store.
ImportResult importOnWorker(const QUrl& url, const QString& importedFolder,
                            const std::shared_ptr<const MediaInspector>& media) {
    ImportResult result;
    result.fileName = url.fileName();
    if (!url.isLocalFile() || !media)
        return result;
    const QString source = url.toLocalFile();
    if (!isRegularFile(source)) {
        qCWarning(lcLibrary) << "Import of" << source << "refused: not a regular file";
        return result;
    }
    const std::optional<double> seconds = media->probeVideo(source);
    if (!seconds) {
        qCWarning(lcLibrary) << "Import of" << source << "refused: not a video";
        return result;
    }

    const QFileInfo sourceInfo(result.fileName);
    const QString id = newImportId();
    const QString copy =
        importedFolder + QLatin1Char('/') + id + QLatin1Char('.') + sourceInfo.suffix().toLower();
    const QString poster = importedFolder + QLatin1Char('/') + id + QStringLiteral(".jpg");
    const QString part = importedFolder + QStringLiteral("/.import-") + id + QStringLiteral(".part");
    if (!copyThroughPart(source, part, copy)) {
        qCWarning(lcLibrary).noquote() << "Not imported: could not copy" << source << "to" << copy;
        return result;
    }

    // Without a poster the video is still usable: the record keeps the poster's path, which does not
    // exist, and the card shows its placeholder.
    const bool finite = std::isfinite(*seconds);
    const double posterTime = finite ? std::min(*seconds * 0.5, posterLatestSeconds) : posterLatestSeconds;
    const std::optional<QByteArray> jpeg = media->posterJpeg(copy, posterTime, posterBox, posterQuality);
    if (!jpeg)
        qCWarning(lcLibrary).noquote()
            << "No poster could be made from" << source << "- imported without one";
    if (jpeg && !jpeg->isEmpty()) {
        QFile file(poster);
        if (!file.open(QIODevice::WriteOnly) || file.write(*jpeg) != jpeg->size() || !file.flush()) {
            qCWarning(lcLibrary).noquote() << "Could not write" << poster << "-" << file.errorString();
            file.close();
            QFile::remove(poster);
        }
    }

    Wallpaper w;
    w.id = id;
    w.title = sourceInfo.suffix().isEmpty() ? result.fileName : sourceInfo.completeBaseName();
    if (w.title.isEmpty())
        w.title = result.fileName;
    w.category = QStringLiteral("Your videos");
    w.poster = QUrl::fromLocalFile(poster).toString();
    w.preview = QUrl::fromLocalFile(copy).toString();
    w.video = copy;
    // A duration that is not finite could never be written to imported.json.
    if (finite)
        w.seconds = *seconds;
    w.isImported = true;
    result.wallpaper = std::move(w);
    return result;
}
} // namespace

void LibraryStore::importVideos(const QList<QUrl>& urls) {
    if (urls.isEmpty())
        return;
    m_importBatches.append(ImportBatch{urls, std::nullopt});
    if (!m_importing)
        importNext();
}

void LibraryStore::importNext() {
    while (!m_importBatches.isEmpty() && m_importBatches.first().urls.isEmpty()) {
        const ImportBatch batch = m_importBatches.takeFirst();
        if (batch.last)
            useWallpaper(*batch.last, QString(WallpaperTarget::allDisplays));
        Q_EMIT importsFinished();
    }
    if (m_importBatches.isEmpty()) {
        m_importing = false;
        return;
    }
    m_importing = true;
    const QUrl url = m_importBatches.first().urls.takeFirst();
    const QString folder = m_root + QStringLiteral("/Imported");
    // The result comes back as a queued call on the store, dropped if the store is gone by then.
    m_workers.start([this, url, folder, media = m_media] {
        ImportResult result = importOnWorker(url, folder, media);
        QMetaObject::invokeMethod(
            this,
            [this, result = std::move(result)] {
                if (result.wallpaper) {
                    QList<Wallpaper> imported = m_imported;
                    imported.prepend(*result.wallpaper);
                    setImported(std::move(imported));
                    saveImported();
                    bumpRevision();
                    m_importBatches.first().last = result.wallpaper;
                } else {
                    setProblem(importFailedSentence(result.fileName));
                }
                importNext();
            },
            Qt::QueuedConnection);
    });
}
