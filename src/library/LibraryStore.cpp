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
#include <QSet>

namespace {
constexpr auto catalogFileName = "catalog.json";
constexpr auto importedFileName = "imported.json";
constexpr int catalogTimeoutMs = 60'000;

// Reads a cached document. One that exists but does not decode is moved aside, so that the next
// write cannot destroy what may still be the user's only copy.
template <typename T, typename Decode> std::optional<T> loadDocument(const QString& path, Decode decode) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        file.close();
        if (std::optional<T> decoded = decode(bytes))
            return decoded;
        if (bytes.isEmpty())
            return std::nullopt;
    }
    AtomicFile::moveAside(path);
    return std::nullopt;
}
} // namespace

LibraryStore::LibraryStore(const QString& root, QObject* parent)
    : QObject(parent), m_root(QDir::cleanPath(root)), m_network(new QNetworkAccessManager(this)) {
    m_workers.setMaxThreadCount(1);
    for (const char* name : {"Library", "Imported"})
        QDir().mkpath(m_root + QLatin1Char('/') + QLatin1String(name));

    const auto catalog = loadDocument<Catalog>(m_root + QLatin1Char('/') + QLatin1String(catalogFileName),
                                               WallpaperJson::decodeCatalog);
    if (catalog)
        m_catalog = catalog->wallpapers;
    const auto imported = loadDocument<QList<Wallpaper>>(
        m_root + QLatin1Char('/') + QLatin1String(importedFileName), WallpaperJson::decodeImportedList);
    if (imported)
        m_imported = *imported;
}

LibraryStore::~LibraryStore() {
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
           !id.contains(QLatin1Char('/')) && !id.contains(QLatin1Char('\\')) && !id.contains(QChar(u'\0'));
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
    std::optional<Catalog> decoded;
    QByteArray body;
    if (!tooLarge) {
        body = reply->readAll();
        if (ReplyChecks::succeeded(reply, body.size()))
            decoded = WallpaperJson::decodeCatalog(body);
    }
    if (decoded) {
        setCatalog(std::move(decoded->wallpapers));
        (void)AtomicFile::write(m_root + QLatin1Char('/') + QLatin1String(catalogFileName), body);
        setOffline(false);
    } else {
        qCWarning(lcLibrary).noquote() << "Catalog not refreshed from" << reply->url().toString() << "-"
                                       << (tooLarge ? QStringLiteral("too large") : reply->errorString());
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
