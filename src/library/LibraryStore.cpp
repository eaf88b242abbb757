// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryStore.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/ServiceUrls.h"
#include "library/LibraryLog.h"
#include "library/MediaInspector.h"
#include "library/ReplyChecks.h"
#include "library/WallpaperTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSet>
#include <malloc.h>

namespace {
constexpr auto catalogFileName = "catalog.json";
constexpr auto importedFileName = "imported.json";
constexpr int catalogTimeoutMs = 60'000;
constexpr qsizetype maxIdBytes = 255;

// Reads a cached document. One that exists but does not decode is moved aside, so that the next
// write cannot destroy what may still be the user's only copy.
template <typename T, typename Decode> std::optional<T> loadDocument(const QString& path, Decode decode) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (file.open(QIODevice::ReadOnly) && file.size() <= LibraryStore::maxCatalogBytes) {
        const QByteArray bytes = file.readAll();
        file.close();
        if (std::optional<T> decoded = decode(bytes))
            return decoded;
        if (bytes.isEmpty())
            return std::nullopt;
    }
    qCWarning(lcLibrary) << path << "cannot be read; kept as" << AtomicFile::moveAside(path);
    return std::nullopt;
}

// The names an import gives its files: "own-" and 8 hexadecimal digits, then "." and the source's
// extension in lower case (a copy) or "jpg" (its poster).
bool isImportName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^own-[0-9a-f]{8}\\.[^.]*$"));
    return pattern.match(name).hasMatch() && name == name.toLower();
}

// Decoding a large document leaves a large parsed tree freed behind it; give that back to the system
// rather than keep it for the life of the process.
void releaseFreedMemory() {
    malloc_trim(0);
}

// A kill between writing a file and committing what names it leaves it behind.
void removeFiles(const QString& folder, const std::function<bool(const QString&)>& orphan) {
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries) {
        if (!orphan(entry.fileName()))
            continue;
        qCInfo(lcLibrary) << "Removing" << entry.filePath() << "which nothing in the library names";
        QFile::remove(entry.filePath());
    }
}
} // namespace

LibraryStore::LibraryStore(const QString& root, QObject* parent)
    : QObject(parent), m_root(QDir::cleanPath(root)), m_network(new QNetworkAccessManager(this)) {
    m_workers.setMaxThreadCount(2);
    m_decoder.setMaxThreadCount(1);
    for (const char* name : {"Library", "Imported"})
        QDir().mkpath(m_root + QLatin1Char('/') + QLatin1String(name));

    const QString catalogPath = m_root + QLatin1Char('/') + QLatin1String(catalogFileName);
    if (QFileInfo(catalogPath).size() > inlineCatalogBytes) {
        loadCachedCatalog(catalogPath);
    } else if (const auto catalog = loadDocument<Catalog>(catalogPath, WallpaperJson::decodeCatalog)) {
        m_catalog = catalog->wallpapers;
    }
    const QString importedPath = m_root + QLatin1Char('/') + QLatin1String(importedFileName);
    const bool importedListExists = QFileInfo::exists(importedPath);
    const auto imported = loadDocument<QList<Wallpaper>>(importedPath, WallpaperJson::decodeImportedList);
    if (imported)
        m_imported = *imported;
    removeOrphans(imported.has_value() || !importedListExists);
}

void LibraryStore::loadCachedCatalog(const QString& path) {
    m_loading = true;
    m_decoder.start([this, path] {
        std::optional<Catalog> catalog = loadDocument<Catalog>(path, WallpaperJson::decodeCatalog);
        releaseFreedMemory();
        QMetaObject::invokeMethod(
            this,
            [this, catalog = std::move(catalog)]() mutable {
                // Outcomes are published in the order the decoder took them: no refresh can have
                // published before this.
                if (catalog)
                    setCatalog(std::move(catalog->wallpapers));
                if (m_refreshes == 0)
                    setLoading(false);
            },
            Qt::QueuedConnection);
    });
}

void LibraryStore::removeOrphans(bool importedListRead) const {
    removeFiles(m_root + QStringLiteral("/Library"), [](const QString& name) {
        return name.startsWith(QLatin1String(".download-")) && name.endsWith(QLatin1String(".part"));
    });
    removeFiles(m_root + QStringLiteral("/Imported"), [](const QString& name) {
        return name.startsWith(QLatin1String(".import-")) && name.endsWith(QLatin1String(".part"));
    });
    // Without a readable list every copy might be named by the records it lost.
    if (!importedListRead)
        return;
    QSet<QString> named;
    for (const Wallpaper& w : m_imported) {
        named.insert(w.id);
        if (w.video)
            named.insert(QFileInfo(*w.video).fileName());
        if (w.poster)
            named.insert(QFileInfo(QUrl(*w.poster).toLocalFile()).fileName());
    }
    removeFiles(m_root + QStringLiteral("/Imported"), [&named](const QString& name) {
        return isImportName(name) && !named.contains(name) &&
               !named.contains(name.section(QLatin1Char('.'), 0, 0));
    });
}

LibraryStore::~LibraryStore() {
    m_decoder.waitForDone();
    // Replies would report to a half-destroyed store while the network manager goes down.
    for (QNetworkReply* reply : m_network->findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
    m_tasks.clear();
    // Pool work may still be copying a file; let it end before the members it reports to go away.
    m_workers.waitForDone();
}

LibraryStore& LibraryStore::shared() {
    // Deliberately never destroyed: it lives until the process exits.
    static auto* instance = new LibraryStore(AppPaths::libraryRoot());
    return *instance;
}

void LibraryStore::setMediaInspector(std::shared_ptr<const MediaInspector> inspector) {
    m_media = std::move(inspector);
}

void LibraryStore::setWallpaperTarget(WallpaperTarget* target) {
    m_target = target;
}

void LibraryStore::setProblem(std::optional<QString> problem) {
    m_problem = std::move(problem);
    Q_EMIT problemChanged();
}

void LibraryStore::setCatalog(QList<Wallpaper> catalog) {
    m_catalog = std::move(catalog);
    Q_EMIT catalogChanged();
}

void LibraryStore::setImported(QList<Wallpaper> imported) {
    m_imported = std::move(imported);
    Q_EMIT importedChanged();
}

void LibraryStore::setProgress(ProgressMap progress) {
    m_progress = std::move(progress);
    Q_EMIT progressChanged();
}

void LibraryStore::setLoading(bool loading) {
    m_loading = loading;
    Q_EMIT loadingChanged();
}

void LibraryStore::setOffline(bool offline) {
    m_offline = offline;
    Q_EMIT offlineChanged();
}

void LibraryStore::bumpRevision() {
    ++m_revision;
    Q_EMIT revisionChanged(m_revision);
}

QList<Wallpaper> LibraryStore::all() const {
    QList<Wallpaper> list;
    list.reserve(m_imported.size() + m_catalog.size());
    list.append(m_imported);
    list.append(m_catalog);
    return list;
}

QList<Wallpaper> LibraryStore::downloaded() const {
    // One listing of Library/ answers for every catalog record instead of one file-system query each.
    // As in localURL, a link whose target is gone is absent.
    QSet<QString> present;
    const QFileInfoList entries =
        QDir(m_root + QStringLiteral("/Library"))
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.exists())
            present.insert(entry.fileName());
    }
    QSet<QString> importedIds;
    QList<Wallpaper> list;
    for (const Wallpaper& w : m_imported) {
        importedIds.insert(w.id);
        if (isDownloaded(w))
            list.append(w);
    }
    for (const Wallpaper& w : m_catalog) {
        const bool onDisk = importedIds.contains(w.id)
                                ? isDownloaded(w)
                                : isSafeId(w.id) && present.contains(w.id + QStringLiteral(".mp4"));
        if (onDisk)
            list.append(w);
    }
    return list;
}

QStringList LibraryStore::categories() const {
    QStringList list;
    QSet<QString> seen;
    for (const Wallpaper& w : m_catalog) {
        if (seen.contains(w.category))
            continue;
        seen.insert(w.category);
        list.append(w.category);
    }
    return list;
}

bool LibraryStore::isSafeId(const QString& id) {
    return !id.isEmpty() && id != QLatin1String(".") && id != QLatin1String("..") &&
           !id.contains(QLatin1Char('/')) && !id.contains(QLatin1Char('\\')) && !id.contains(QChar(u'\0')) &&
           id.isValidUtf16() && id.size() <= maxIdBytes && id.toUtf8().size() <= maxIdBytes;
}

std::optional<QString> LibraryStore::downloadPath(const QString& id) const {
    if (!isSafeId(id))
        return std::nullopt;
    return m_root + QStringLiteral("/Library/") + id + QStringLiteral(".mp4");
}

std::optional<QString> LibraryStore::localURL(const QString& id) const {
    for (const Wallpaper& w : m_imported) {
        if (w.id != id)
            continue;
        if (!w.video)
            break;
        if (QFileInfo::exists(*w.video))
            return *w.video;
        return std::nullopt;
    }
    std::optional<QString> path = downloadPath(id);
    if (path && QFileInfo::exists(*path))
        return path;
    return std::nullopt;
}

void LibraryStore::saveImported() {
    const std::optional<QByteArray> bytes = WallpaperJson::encodeImportedList(m_imported);
    if (!bytes)
        return;
    (void)AtomicFile::write(m_root + QLatin1Char('/') + QLatin1String(importedFileName), *bytes);
}

QUrl LibraryStore::catalogURL() {
    static const QUrl url = ServiceUrls::endpoint(QStringLiteral("/v1/catalog"));
    return url;
}

void LibraryStore::refresh() {
    ++m_refreshes;
    setLoading(true);
    QNetworkRequest request(catalogURL());
    request.setTransferTimeout(catalogTimeoutMs);
    // catalog.json is our cache; an HTTP cache in front of it would only let a stale answer pass
    // for the service's.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = m_network->get(request);
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received, qint64 total) {
        if (received > maxCatalogBytes || total > maxCatalogBytes) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, tooLarge] { finishRefresh(reply, *tooLarge); });
}

void LibraryStore::finishRefresh(QNetworkReply* reply, bool tooLarge) {
    reply->deleteLater();
    QByteArray body;
    if (tooLarge) {
        qCWarning(lcLibrary) << "Catalog refused: larger than" << maxCatalogBytes << "bytes";
    } else {
        body = reply->readAll();
        if (!ReplyChecks::succeeded(reply, body.size())) {
            qCWarning(lcLibrary).noquote()
                << "Catalog not refreshed from" << reply->url().toString() << "-" << reply->errorString();
            body.clear();
        }
    }
    // Even a failure goes through the decoder, so that outcomes are published in the order the
    // replies finished.
    m_decoder.start([this, body, cache = m_root + QLatin1Char('/') + QLatin1String(catalogFileName)] {
        std::optional<Catalog> decoded;
        if (!body.isEmpty()) {
            decoded = WallpaperJson::decodeCatalog(body);
            if (decoded)
                (void)AtomicFile::write(cache, body);
            else
                qCWarning(lcLibrary) << "Catalog refused: the document does not decode";
        }
        releaseFreedMemory();
        QMetaObject::invokeMethod(
            this, [this, decoded = std::move(decoded)]() mutable { applyRefresh(std::move(decoded)); },
            Qt::QueuedConnection);
    });
}

void LibraryStore::applyRefresh(std::optional<Catalog> decoded) {
    if (decoded) {
        setCatalog(std::move(decoded->wallpapers));
        setOffline(false);
    } else {
        setOffline(true);
    }
    bumpRevision();
    setLoading(false);
}

void LibraryStore::useWallpaper(const Wallpaper& wallpaper, const QString& displayChoice) {
    if (m_target)
        m_target->useWallpaper(wallpaper.id, displayChoice);
}

QString LibraryStore::downloadFailedSentence() {
    return tr("That wallpaper didn't download. Check your connection and try again.");
}

QString LibraryStore::importFailedSentence(const QString& fileName) {
    //: %1 is the name of the file.
    return tr("%1 can't be used. Try an MP4 or MOV video.").arg(fileName);
}
