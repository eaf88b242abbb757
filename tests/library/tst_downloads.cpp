#include "LibraryTestFiles.h"
#include "library/LibraryStore.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"

#include <QSignalSpy>
#include <QTest>

using namespace LibraryTestFiles;
using Response = HttpTestServer::Response;

class TestDownloads : public QObject {
    Q_OBJECT

    HttpTestServer m_server;

    Wallpaper wallpaper(const QString& id, const QString& path) const {
        Wallpaper w = record(id);
        w.video = m_server.url(path).toString();
        return w;
    }
    static QStringList libraryEntries(const TempXdgHome& home) {
        return QDir(home.libraryRoot() + QStringLiteral("/Library")).entryList(QDir::Files | QDir::Hidden);
    }
    static bool idle(const LibraryStore& store, const QString& id) {
        return QTest::qWaitFor([&] { return !store.isDownloading(id); }, 20'000);
    }

private Q_SLOTS:
    void init() { m_server.clearRequests(); }

    void successStreamsToDiskReportsProgressAndContinuesOnce() {
        TempXdgHome home;
        const qint64 size = 3 * 1024 * 1024;
        m_server.setResponse(QStringLiteral("/v.mp4"),
                             Response{.generatedBodySize = size, .chunkSize = 256 * 1024, .intervalMs = 20});
        LibraryStore store(home.libraryRoot());
        QList<double> fractions;
        connect(&store, &LibraryStore::progressChanged, this, [&] {
            if (!store.progress().contains(QStringLiteral("a")))
                return;
            // Progress is only ever published for a download that exists.
            QVERIFY(store.isDownloading(QStringLiteral("a")));
            fractions.append(store.progress().value(QStringLiteral("a")));
        });
        int continued = 0;
        qint64 revisionSeenByContinuation = -1;
        store.download(wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4")), [&] {
            ++continued;
            revisionSeenByContinuation = store.revision();
            QVERIFY(!store.progress().contains(QStringLiteral("a")));
        });
        QCOMPARE(store.progress().value(QStringLiteral("a"), -1), 0.0);
        QVERIFY(store.isDownloading(QStringLiteral("a")));

        QVERIFY(idle(store, QStringLiteral("a")));
        QCOMPARE(continued, 1);
        QCOMPARE(revisionSeenByContinuation, 1);
        QVERIFY(store.progress().isEmpty());
        QVERIFY(!store.problem());
        QVERIFY(fractions.size() > 3);
        QVERIFY(std::is_sorted(fractions.begin(), fractions.end()));
        QVERIFY(fractions.last() > 0.5 && fractions.last() <= 1.0);
        QCOMPARE(read(*store.localURL(QStringLiteral("a"))), HttpTestServer::generatedBody(0, size));
        QCOMPARE(libraryEntries(home), QStringList{"a.mp4"});

        // A late progress report cannot bring the entry back.
        QTest::qWait(100);
        QVERIFY(store.progress().isEmpty());
        QCOMPARE(continued, 1);
    }

    void aSecondCallWhileRunningIsDropped() {
        TempXdgHome home;
        m_server.setResponse(QStringLiteral("/v.mp4"), Response{.body = "video", .delayMs = 300});
        LibraryStore store(home.libraryRoot());
        int first = 0, second = 0;
        store.download(wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4")), [&] { ++first; });
        store.download(wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4")), [&] { ++second; });
        QVERIFY(idle(store, QStringLiteral("a")));
        QCOMPARE(first, 1);
        QCOMPARE(second, 0);
        QCOMPARE(m_server.requestCount(QStringLiteral("/v.mp4")), 1);
    }

    void failuresReportTheSentenceAndKeepTheOldFile_data() {
        QTest::addColumn<Response>("response");
        QTest::newRow("404") << Response{.status = 404, .body = "missing"};
        QTest::newRow("206") << Response{.status = 206, .body = "partial"};
        QTest::newRow("dropped") << Response{
            .generatedBodySize = 1024 * 1024, .chunkSize = 4096, .dropAfterBytes = 100'000};
    }

    void failuresReportTheSentenceAndKeepTheOldFile() {
        QFETCH(Response, response);
        TempXdgHome home;
        const QString path = home.libraryRoot() + QStringLiteral("/Library/a.mp4");
        QVERIFY(write(path, "the earlier download"));
        m_server.setResponse(QStringLiteral("/v.mp4"), response);
        LibraryStore store(home.libraryRoot());
        bool continued = false;
        store.download(wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4")), [&] { continued = true; });
        QVERIFY(idle(store, QStringLiteral("a")));
        QCOMPARE(store.problem(), std::optional(LibraryStore::downloadFailedSentence()));
        QCOMPARE(store.problem(),
                 std::optional(
                     QStringLiteral("That wallpaper didn't download. Check your connection and try again.")));
        QVERIFY(!continued);
        QVERIFY(store.progress().isEmpty());
        QCOMPARE(store.revision(), 0);
        QCOMPARE(read(path), QByteArray("the earlier download"));
        QCOMPARE(libraryEntries(home), QStringList{"a.mp4"});
    }

    void cancellingLeavesNothingBehind() {
        TempXdgHome home;
        m_server.setResponse(
            QStringLiteral("/v.mp4"),
            Response{.generatedBodySize = 8 * 1024 * 1024, .chunkSize = 64 * 1024, .intervalMs = 30});
        LibraryStore store(home.libraryRoot());
        store.setProblem(QStringLiteral("an earlier problem"));
        bool continued = false;
        store.cancelDownload(QStringLiteral("a")); // nothing in flight: nothing happens
        store.download(wallpaper(QStringLiteral("a"), QStringLiteral("/v.mp4")), [&] { continued = true; });
        QVERIFY(QTest::qWaitFor([&] { return store.progress().value(QStringLiteral("a")) > 0.0; }, 10'000));
        store.cancelDownload(QStringLiteral("a"));
        QVERIFY(idle(store, QStringLiteral("a")));
        QVERIFY(!continued);
        QVERIFY(store.progress().isEmpty());
        QCOMPARE(store.problem(), std::optional(QStringLiteral("an earlier problem")));
        QVERIFY(libraryEntries(home).isEmpty());
        QCOMPARE(store.revision(), 0);
    }

    void aNewDownloadReplacesTheFileAndRedirectsAreFollowed() {
        TempXdgHome home;
        QVERIFY(write(home.libraryRoot() + QStringLiteral("/Library/a.mp4"), "old"));
        m_server.setResponse(QStringLiteral("/moved.mp4"),
                             Response::redirect(m_server.url(QStringLiteral("/v.mp4")), 302));
        m_server.setResponse(QStringLiteral("/v.mp4"),
                             Response{.body = "new video", .omitContentLength = true});
        LibraryStore store(home.libraryRoot());
        QList<double> fractions;
        connect(&store, &LibraryStore::progressChanged, this,
                [&] { fractions.append(store.progress().value(QStringLiteral("a"), -1)); });
        store.download(wallpaper(QStringLiteral("a"), QStringLiteral("/moved.mp4")));
        QVERIFY(idle(store, QStringLiteral("a")));
        QVERIFY2(!store.problem(), qPrintable(store.problemText()));
        QCOMPARE(read(home.libraryRoot() + QStringLiteral("/Library/a.mp4")), QByteArray("new video"));
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
