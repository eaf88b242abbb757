// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryTestFiles.h"
#include "core/StallTimeout.h"
#include "library/LibraryStore.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>

using namespace LibraryTestFiles;
using Response = HttpTestServer::Response;

namespace {
// The real inspector, noting whether it was ever asked on the main thread.
class WatchedInspector final : public MediaInspector {
public:
    std::optional<double> probeVideo(const QString& path) const override {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            askedOnMainThread = true;
        return m_real.probeVideo(path);
    }
    std::optional<QByteArray> posterJpeg(const QString& path, double at, QSize box,
                                         int quality) const override {
        return m_real.posterJpeg(path, at, box, quality);
    }
    mutable std::atomic_bool askedOnMainThread = false;

private:
    FfmpegMediaInspector m_real;
};
} // namespace

class TestDownloads : public QObject {
    Q_OBJECT

    HttpTestServer m_server;
    TestVideos m_videos;
    std::shared_ptr<WatchedInspector> m_inspector = std::make_shared<WatchedInspector>();

    Wallpaper wallpaper(const QString& id, const QString& path) const {
        Wallpaper w = record(id);
        w.video = m_server.url(path).toString();
        return w;
    }
    QByteArray video(TestVideo kind) { return read(m_videos.path(kind)); }
    std::unique_ptr<LibraryStore> store(const TempXdgHome& home) const {
        auto store = std::make_unique<LibraryStore>(home.libraryRoot());
        store->setMediaInspector(m_inspector);
        return store;
    }
    static QStringList libraryEntries(const TempXdgHome& home) {
        return QDir(home.libraryRoot() + QStringLiteral("/Library")).entryList(QDir::Files | QDir::Hidden);
    }
    static bool idle(const LibraryStore& store, const QString& id) {
        return QTest::qWaitFor([&] { return !store.isDownloading(id); }, 20'000);
    }

private Q_SLOTS:
    void initTestCase() { StallTimeout::set(std::chrono::milliseconds(300)); }
    void init() { m_server.clearRequests(); }

    void successStreamsToDiskReportsProgressAndContinuesOnce() {
        TempXdgHome home;
        const QByteArray body = video(TestVideo::Long10s);
        m_server.setResponse(QStringLiteral("/v.mp4"),
                             Response{.body = body, .chunkSize = body.size() / 8 + 1, .intervalMs = 20});
        const auto store = this->store(home);
        QList<double> fractions;
        connect(store.get(), &LibraryStore::progressChanged, this, [&] {
            if (!store->progress().contains(QStringLiteral("a")))
                return;
            // Progress is only ever published for a download that exists.
            QVERIFY(store->isDownloading(QStringLiteral("a")));
            fractions.append(store->progress().value(QStringLiteral("a")));
        });
        int continued = 0;
        qint64 revisionSeenByContinuation = -1;
        Wallpaper w = wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4"));
        w.bytes = body.size();
        store->download(w, [&] {
            ++continued;
            revisionSeenByContinuation = store->revision();
            QVERIFY(!store->progress().contains(QStringLiteral("a")));
        });
        // A second call while the first runs is dropped.
        store->download(w, [&] { continued += 10; });
        QCOMPARE(store->progress().value(QStringLiteral("a"), -1), 0.0);
        QVERIFY(store->isDownloading(QStringLiteral("a")));

        QVERIFY(idle(*store, QStringLiteral("a")));
        QCOMPARE(continued, 1);
        QCOMPARE(revisionSeenByContinuation, 1);
        QCOMPARE(m_server.requestCount(QStringLiteral("/v.mp4")), 1);
        QVERIFY(store->progress().isEmpty());
        QVERIFY(!store->problem());
        QVERIFY(!fractions.isEmpty());
        QVERIFY(std::is_sorted(fractions.begin(), fractions.end()));
        QVERIFY(fractions.last() > 0.5 && fractions.last() <= 1.0);
        QCOMPARE(read(*store->localURL(QStringLiteral("a"))), body);
        QCOMPARE(libraryEntries(home), QStringList{"a.mp4"});
        // Syncing and checking the file is a worker's.
        QVERIFY(!m_inspector->askedOnMainThread);

        // A late progress report cannot bring the entry back.
        QTest::qWait(100);
        QVERIFY(store->progress().isEmpty());
        QCOMPARE(continued, 1);
    }

    void failuresReportTheSentenceAndKeepTheOldFile_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<qint64>("statedBytes"); // -1: the catalog states none
        const QByteArray tiny = video(TestVideo::TinySilent);
        QTest::newRow("404") << Response{.status = 404, .body = "missing"} << qint64(-1);
        QTest::newRow("206") << Response{.status = 206, .body = tiny} << qint64(-1);
        QTest::newRow("dropped") << Response{.generatedBodySize = 1024 * 1024,
                                             .chunkSize = 4096,
                                             .dropAfterBytes = 100'000}
                                 << qint64(-1);
        QTest::newRow("stalled") << Response{.body = tiny, .chunkSize = 1024, .intervalMs = 60'000}
                                 << qint64(-1);
        QTest::newRow("silent before the answer") << Response{.body = tiny, .delayMs = 60'000} << qint64(-1);
        QTest::newRow("not a video") << Response{.generatedBodySize = 100'000} << qint64(-1);
        QTest::newRow("playlist") << Response{.body = "#EXTM3U\n#EXTINF:2,\n" +
                                                      m_server.url(QStringLiteral("/other.mp4")).toEncoded() +
                                                      "\n#EXT-X-ENDLIST\n"}
                                  << qint64(-1);
        QTest::newRow("audio only") << Response{.body = video(TestVideo::AudioOnly)} << qint64(-1);
        QTest::newRow("shorter than stated") << Response{.body = tiny} << qint64(tiny.size() + 1);
        QTest::newRow("longer than stated")
            << Response{.body = tiny, .omitContentLength = true} << qint64(tiny.size() - 1);
        QTest::newRow("no room on the disk") << Response{.body = tiny} << (qint64(1) << 60);
    }

    void failuresReportTheSentenceAndKeepTheOldFile() {
        QFETCH(Response, response);
        QFETCH(qint64, statedBytes);
        TempXdgHome home;
        const QString path = home.libraryRoot() + QStringLiteral("/Library/a.mp4");
        QVERIFY(write(path, "the earlier download"));
        m_server.setResponse(QStringLiteral("/v.mp4"), response);
        m_server.setResponse(QStringLiteral("/other.mp4"), Response{.body = video(TestVideo::TinySilent)});
        const auto store = this->store(home);
        bool continued = false;
        Wallpaper w = wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4"));
        if (statedBytes >= 0)
            w.bytes = statedBytes;
        store->download(w, [&] { continued = true; });
        QVERIFY(idle(*store, QStringLiteral("a")));
        QCOMPARE(store->problem(),
                 std::optional(
                     QStringLiteral("That wallpaper didn't download. Check your connection and try again.")));
        QVERIFY(!continued);
        QVERIFY(store->progress().isEmpty());
        QCOMPARE(store->revision(), 0);
        QCOMPARE(read(path), QByteArray("the earlier download"));
        QCOMPARE(libraryEntries(home), QStringList{"a.mp4"});
        QCOMPARE(m_server.requestCount(QStringLiteral("/other.mp4")), 0);
    }

    void cancellingLeavesNothingBehind() {
        TempXdgHome home;
        m_server.setResponse(
            QStringLiteral("/v.mp4"),
            Response{.generatedBodySize = 8 * 1024 * 1024, .chunkSize = 64 * 1024, .intervalMs = 30});
        const auto store = this->store(home);
        store->setProblem(QStringLiteral("an earlier problem"));
        bool continued = false;
        store->cancelDownload(QStringLiteral("a")); // nothing in flight: nothing happens
        store->download(wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4")), [&] { continued = true; });
        QVERIFY(QTest::qWaitFor([&] { return store->progress().value(QStringLiteral("a")) > 0.0; }, 10'000));
        store->cancelDownload(QStringLiteral("a"));
        QVERIFY(idle(*store, QStringLiteral("a")));
        QVERIFY(!continued);
        QVERIFY(store->progress().isEmpty());
        QCOMPARE(store->problem(), std::optional(QStringLiteral("an earlier problem")));
        QVERIFY(libraryEntries(home).isEmpty());
        QCOMPARE(store->revision(), 0);
    }

    // The new file replaces a link at the destination, never what the link points to.
    void aNewDownloadReplacesTheFileAndRedirectsAreFollowed() {
        TempXdgHome home;
        const QString outside = home.dataHome() + QStringLiteral("/outside.mp4");
        const QString destination = home.libraryRoot() + QStringLiteral("/Library/a.mp4");
        QVERIFY(write(outside, "old"));
        QVERIFY(QDir().mkpath(QFileInfo(destination).absolutePath()));
        QVERIFY(QFile::link(outside, destination));
        const QByteArray body = video(TestVideo::TinySilent);
        m_server.setResponse(QStringLiteral("/moved.mp4"),
                             Response::redirect(m_server.url(QStringLiteral("/v.mp4")), 302));
        m_server.setResponse(QStringLiteral("/v.mp4"), Response{.body = body, .omitContentLength = true});
        const auto store = this->store(home);
        QList<double> fractions;
        connect(store.get(), &LibraryStore::progressChanged, this,
                [&] { fractions.append(store->progress().value(QStringLiteral("a"), -1)); });
        store->download(wallpaper(QStringLiteral("a"), QStringLiteral("/moved.mp4")));
        QVERIFY(idle(*store, QStringLiteral("a")));
        QVERIFY2(!store->problem(), qPrintable(store->problemText()));
        QVERIFY(!QFileInfo(destination).isSymLink());
        QCOMPARE(read(destination), body);
        QCOMPARE(read(outside), QByteArray("old"));
        QCOMPARE(QDir(home.dataHome()).entryList(QDir::Files | QDir::Hidden), QStringList{"outside.mp4"});
        // With no known total the fraction stays 0 until the body has ended.
        QCOMPARE(fractions.last(), -1.0);
        fractions.removeLast();
        if (fractions.last() == 1.0)
            fractions.removeLast();
        QVERIFY(!fractions.isEmpty());
        QVERIFY(std::all_of(fractions.begin(), fractions.end(), [](double f) { return f == 0.0; }));
    }

    void onlyWebVideosOfCatalogRecordsDownload() {
        TempXdgHome home;
        LibraryStore store(home.libraryRoot());
        Wallpaper noVideo = record(QStringLiteral("none"));
        Wallpaper local = record(QStringLiteral("local"));
        local.video = QStringLiteral("file:///etc/passwd");
        Wallpaper data = record(QStringLiteral("data"));
        data.video = QStringLiteral("data:video/mp4;base64,AAAA");
        Wallpaper resource = record(QStringLiteral("qrc"));
        resource.video = QStringLiteral("qrc:/video.mp4");
        Wallpaper garbage = record(QStringLiteral("garbage"));
        garbage.video = QStringLiteral("http://[::1");
        Wallpaper imported = record(QStringLiteral("own-12345678"), QStringLiteral("Your videos"));
        imported.isImported = true;
        imported.video = m_server.url(QStringLiteral("/v.mp4")).toString();
        for (const Wallpaper& w : {noVideo, local, data, resource, garbage, imported}) {
            bool continued = false;
            store.download(w, [&] { continued = true; });
            QVERIFY2(!store.isDownloading(w.id), qPrintable(w.id));
            QVERIFY(!continued);
        }
        QVERIFY(store.progress().isEmpty());
        QVERIFY(!store.problem());
        QCOMPARE(m_server.requestCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDownloads)
#include "tst_downloads.moc"
