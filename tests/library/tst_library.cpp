// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"
#include "core/StallTimeout.h"
#include "library/LibraryStore.h"
#include "library/WallpaperTarget.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "support/FileContents.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"

#include <QCoreApplication>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cmath>
#include <limits>
#include <sys/stat.h>

using AtomicFile::write;
using Response = HttpTestServer::Response;

namespace {
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

Wallpaper record(const QString& id, const QString& category = "Nature") {
    return Wallpaper{id, id.toUpper(), category, {}, {}, {}, {}, {}, {}, {}};
}

Wallpaper importedRecord(const QString& id, const std::optional<QString>& video) {
    return Wallpaper{id, "T", "Your videos", {}, {}, video, {}, {}, {}, true};
}

QByteArray catalogDocument(const QList<Wallpaper>& wallpapers) {
    return WallpaperJson::encodeCatalog(Catalog{wallpapers}).value();
}

QStringList ids(const QList<Wallpaper>& list) {
    QStringList out;
    for (const Wallpaper& w : list)
        out.append(w.id);
    return out;
}

// A catalog of one element with the required keys; `key` set to the JSON `value`, or left out when
// `value` is empty.
QByteArray catalogWith(const QByteArray& key = {}, const QByteArray& value = {}) {
    QByteArray element;
    for (const char* required : {"id", "title", "category"}) {
        if (key != required)
            element += QByteArray("\"") + required + "\":\"x\",";
    }
    if (!value.isEmpty())
        element += '"' + key + "\":" + value + ',';
    return "{\"wallpapers\":[{" + element.chopped(1) + "}]}";
}

bool importAll(LibraryStore& store, const QList<QUrl>& urls) {
    QSignalSpy finished(&store, &LibraryStore::importsFinished);
    store.importVideos(urls);
    return finished.wait(60'000);
}

// Stands in for the engine: records what the library asks of it.
class RecordingTarget : public WallpaperTarget {
public:
    void useWallpaper(const QString& id, const QString& displayChoice) override {
        used.append({id, displayChoice});
    }
    void forgetWallpaper(const QString& id) override { forgotten.append(id); }
    QList<QPair<QString, QString>> used;
    QStringList forgotten;
};

// The real inspector, noting when and where it was asked; with `seconds` set it takes any file for a video
// of that duration and makes no poster.
class TestInspector final : public MediaInspector {
public:
    std::optional<double> probeVideo(const QString& path) const override {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            askedOnMainThread = true;
        return seconds ? seconds : m_real.probeVideo(path);
    }
    std::optional<QByteArray> posterJpeg(const QString& path, double at, QSize box,
                                         int quality) const override {
        posterTime = at;
        return seconds ? std::nullopt : m_real.posterJpeg(path, at, box, quality);
    }
    std::optional<double> seconds;
    mutable std::atomic_bool askedOnMainThread = false;
    mutable std::atomic<double> posterTime = -1.0;

private:
    FfmpegMediaInspector m_real;
};
} // namespace

class TestLibrary : public QObject {
    Q_OBJECT

    HttpTestServer m_server;
    TestVideos m_videos;
    std::optional<TempXdgHome> m_home;
    QString m_root;
    std::shared_ptr<TestInspector> m_inspector = std::make_shared<TestInspector>();
    const QByteArray m_served = R"({"wallpapers":[{"id":"a","title":"A","category":"C","likes":3},)"
                                R"({"id":"b","title":"B","category":"D"}],"etag":"x"})";
    QStringList m_log;

    // The published fields as observers see them, in order.
    void watch(LibraryStore& s) {
        m_log.clear();
        const auto note = [this](const char* name, auto value) {
            m_log.append(name + QString::number(value));
        };
        connect(&s, &LibraryStore::loadingChanged, this, [&s, note] { note("loading=", s.loading()); });
        connect(&s, &LibraryStore::offlineChanged, this, [&s, note] { note("offline=", s.offline()); });
        connect(&s, &LibraryStore::catalogChanged, this,
                [&s, note] { note("catalog=", s.catalog().size()); });
        connect(&s, &LibraryStore::revisionChanged, this, [note](qint64 r) { note("revision=", r); });
        connect(&s, &LibraryStore::problemChanged, this, [this] { m_log.append("problem"); });
    }
    std::unique_ptr<LibraryStore> store() const {
        auto store = std::make_unique<LibraryStore>(m_root);
        store->setMediaInspector(m_inspector);
        return store;
    }
    Wallpaper web(const QString& path) const {
        Wallpaper w = record("a");
        w.video = m_server.url(path).toString();
        return w;
    }
    QUrl url(TestVideo kind) { return QUrl::fromLocalFile(m_videos.path(kind)); }
    QByteArray video(TestVideo kind) { return fileContents(m_videos.path(kind)); }

private Q_SLOTS:
    void initTestCase() {
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());
        StallTimeout::set(std::chrono::milliseconds(300));
    }
    void init() {
        QVERIFY(m_server.start());
        m_server.clearRequests();
        m_inspector->seconds.reset();
        m_home.emplace();
        m_root = m_home->libraryRoot();
    }

    // One bad element rejects the whole document (the imported list reads its elements the same way).
    void decoding_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<int>("count"); // -1: rejected
        for (const QByteArray key : {"id", "title", "category", "poster", "preview", "video", "bytes",
                                     "seconds", "resolution", "isImported"}) {
            const bool required = key == "id" || key == "title" || key == "category";
            QTest::addRow("%s of a wrong type", key.data()) << catalogWith(key, "[]") << -1;
            QTest::addRow("%s null", key.data()) << catalogWith(key, "null") << (required ? -1 : 1);
            if (required)
                QTest::addRow("%s missing", key.data()) << catalogWith(key) << -1;
            if (key == "bytes" || key == "seconds" || key == "isImported")
                continue;
            const qsizetype bound = key == "poster" || key == "preview" || key == "video" ? 65536 : 4096;
            const QByteArray longest = '"' + QByteArray(bound, 't') + '"';
            QTest::addRow("%s at its bound", key.data()) << catalogWith(key, longest) << 1;
            QTest::addRow("%s beyond it", key.data()) << catalogWith(key, longest.chopped(1) + "t\"") << -1;
        }
        QTest::newRow("integral bytes") << catalogWith("bytes", "1e3") << 1;
        QTest::newRow("least bytes") << catalogWith("bytes", "-9223372036854775808") << 1;
        QTest::newRow("fractional bytes") << catalogWith("bytes", "2.5") << -1;
        QTest::newRow("bytes beyond 64 bits") << catalogWith("bytes", "9223372036854775808") << -1;
        QTest::newRow("any seconds") << catalogWith("seconds", "-1.5e300") << 1;
        QTest::newRow("empty") << QByteArray(R"({"wallpapers":[]})") << 0;
        QTest::newRow("one bad element of many")
            << QByteArray(R"({"wallpapers":[{"id":"a","title":"A","category":"C"},{"id":"b"}]})") << -1;
        for (const char* shape :
             {R"({"wallpapers":[7]})", R"({"wallpapers":{}})", R"({"other":[]})", "[]", "<html>"})
            QTest::newRow(shape) << QByteArray(shape) << -1;
    }
    void decoding() {
        QFETCH(QByteArray, document);
        QFETCH(int, count);
        const std::optional<Catalog> catalog = WallpaperJson::decodeCatalog(document);
        QCOMPARE(catalog ? int(catalog->wallpapers.size()) : -1, count);
    }

    // A duration that is not finite has no JSON form.
    void nonFiniteSecondsAreNotWritten() {
        for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
            Wallpaper unwritable = record("a");
            unwritable.seconds = bad;
            QVERIFY(!WallpaperJson::encodeImportedList({record("b"), unwritable}));
        }
    }

    void cachedListsLoadAndBadOnesAreKeptAside() {
        // A large cache is decoded on a worker while the store reports loading. Its records come back
        // as written: escapes, lone surrogates (no UTF-8 form) next to a proper pair, extreme numbers.
        const QString title = QStringLiteral("Forest \"Dawn\" \\ \n\t\u00e9\u2603") + QChar(0xD800) +
                              QStringLiteral("\U0001F332") + QChar(0xDFFF);
        const QString url = "https://example.org/v.mp4";
        const qint64 most = std::numeric_limits<qint64>::max();
        const Wallpaper w{"forest", title, "Nature", url, url, url, most, 12.345678901234567, title, false};
        const QList<Wallpaper> large(3000, w);
        QVERIFY(write(m_root + "/catalog.json", catalogDocument(large)));
        {
            const LibraryStore store(m_root);
            QVERIFY(store.loading() && store.catalog().isEmpty());
            QTRY_VERIFY(!store.loading());
            QCOMPARE(store.catalog(), large);
        }
        // A list that does not decode is set aside, not overwritten; without it nothing in Imported/ is
        // an orphan.
        const QByteArray badImported = R"([{"id":"own-1","title":"T","category":"C","isImported":"yes"}])";
        QVERIFY(write(m_root + "/imported.json", badImported));
        QVERIFY(write(m_root + "/Imported/own-0000000a.mp4", "video"));
        LibraryStore store(m_root);
        QVERIFY(store.imported().isEmpty());
        const QStringList aside = QDir(m_root).entryList({"*.corrupt-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(fileContents(m_root + '/' + aside.at(0)), badImported);
        QCOMPARE(entries(m_root + "/Imported"), QStringList{"own-0000000a.mp4"});
    }

    // A kill between an import's copy and the save of its record, or during a download, leaves files
    // behind; the next start removes those and nothing else.
    void whatIsOnDisk() {
        const QList<Wallpaper> imported{importedRecord("own-aaaa0001", m_root + "/Imported/own-aaaa0001.mov"),
                                        importedRecord("gone", m_root + "/Imported/gone.mp4"),
                                        importedRecord("novideo", std::nullopt),
                                        importedRecord("own-cccc0003", "/elsewhere/own-cccc0003.mp4")};
        QVERIFY(write(m_root + "/imported.json", WallpaperJson::encodeImportedList(imported).value()));
        QVERIFY(write(m_root + "/catalog.json",
                      catalogDocument({record("y", "A"), record("z", "B"), record("w", "A"), record("v", "C"),
                                       record("u", "a"), record("gone", "A"), record("novideo", "A")})));
        const QStringList kept{"Notes.txt",    "own-aaaa0001.jpg", "own-aaaa0001.mov",
                               "own-bbbb0002", "own-BBBB0002.mp4", "own-cccc0003.mp4"};
        for (const QString& name : kept + QStringList{"own-bbbb0002.jpg", "own-bbbb0002.mkv", "own-dddd0004.",
                                                      ".import-own-eeee0005.part"})
            QVERIFY(write(m_root + "/Imported/" + name, "x"));
        const QStringList downloads{"gone.mp4", "novideo.mp4", "unlisted.mp4", "w.mp4", "y.mp4"};
        for (const QString& name : downloads + QStringList{".download-Ab12Cd.part"})
            QVERIFY(write(m_root + "/Library/" + name, "video"));
        // A link whose target is gone counts as absent.
        QVERIFY(QFile::link(m_root + "/Library/missing", m_root + "/Library/z.mp4"));

        const LibraryStore store(m_root);
        QCOMPARE(entries(m_root + "/Imported"), kept);
        QCOMPARE(entries(m_root + "/Library"), downloads);
        QCOMPARE(ids(store.all()), (QStringList{"own-aaaa0001", "gone", "novideo", "own-cccc0003", "y", "z",
                                                "w", "v", "u", "gone", "novideo"}));
        // An imported record whose copy was deleted is not replaced by a same-named download.
        QCOMPARE(ids(store.downloaded()), (QStringList{"own-aaaa0001", "novideo", "y", "w", "novideo"}));
        QCOMPARE(store.localURL("unlisted"), std::optional(m_root + "/Library/unlisted.mp4"));
        // Case counts, imported records add nothing.
        QCOMPARE(store.categories(), (QStringList{"A", "B", "C", "a"}));
    }

    // Neither hostile ids, nor other than web videos, nor imported records naming files outside Imported/
    // make the store fetch or touch anything.
    void hostileRecordsStayInsideTheLibrary() {
        // Files that a careless path join would find, and what both lone-surrogate ids would name.
        const QString outside = m_home->dataHome() + "/outside.mp4";
        const QStringList bait{m_root + "/..mp4", m_root + "/Library/.mp4",        m_root + "/secret.mp4",
                               outside,           m_root + "/Library/x\uFFFD.mp4", m_root + "/catalog.json"};
        for (const QString& path : bait)
            QVERIFY(write(path, "x"));
        QStringList hostile{"", ".", "..", "../secret", "../../outside", "a\\b", QString(256, 'a')};
        const QString x = "x";
        hostile << QString(128, u'\u00e9') << x + QChar(0xD800) << x + QChar(0xDC00) << x + QChar(0) + "y";
        QList<Wallpaper> records;
        for (const QString& id : hostile) {
            records.append(web("/v.mp4"));
            records.last().id = id;
        }
        QVERIFY(write(m_root + "/catalog.json", catalogDocument(records)));
        LibraryStore store(m_root);
        QCOMPARE(ids(store.catalog()), hostile); // still listed, exactly as served
        QVERIFY(LibraryStore::isSafeId(QString(255, 'a')));

        Wallpaper claims = importedRecord("claims", outside);
        claims.poster = QUrl::fromLocalFile(m_root + "/Imported/../catalog.json").toString();
        records += QList{importedRecord("a", m_server.url("/v.mp4").toString()), record("a"), claims};
        for (const char* video :
             {"file:///etc/passwd", "data:video/mp4;base64,AAAA", "qrc:/v.mp4", "http://[::1"}) {
            records.append(record("a"));
            records.last().video = QString::fromLatin1(video);
        }
        bool continued = false;
        for (const Wallpaper& w : std::as_const(records)) {
            QCOMPARE(store.localURL(w.id), std::nullopt);
            store.download(w, [&] { continued = true; });
            QVERIFY2(!store.isDownloading(w.id), qPrintable(w.video.value_or("none")));
            store.remove(w);
        }
        QVERIFY(!continued && store.progress().isEmpty() && !store.problem());
        QVERIFY(m_server.requests().isEmpty());
        for (const QString& path : bait)
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    }

    // Removal deletes a record's own files and keeps the rest of the list.
    void removal() {
        QVERIFY(write(m_root + "/catalog.json", catalogDocument({record("a"), record("b")})));
        QVERIFY(write(m_root + "/Library/a.mp4", "video"));
        Wallpaper mine = importedRecord("own-aaaa0001", m_root + "/Imported/own-aaaa0001.mov");
        mine.poster = QUrl::fromLocalFile(m_root + "/Imported/own-aaaa0001.jpg").toString();
        const Wallpaper other = importedRecord("own-cccc0003", std::nullopt);
        QVERIFY(write(*mine.video, "video") && write(m_root + "/Imported/own-aaaa0001.jpg", "jpeg"));
        QVERIFY(write(m_root + "/imported.json", WallpaperJson::encodeImportedList({mine, other}).value()));

        LibraryStore store(m_root);
        RecordingTarget target;
        store.setWallpaperTarget(&target);
        store.remove(mine);
        QVERIFY(entries(m_root + "/Imported").isEmpty());
        QCOMPARE(ids(WallpaperJson::decodeImportedList(fileContents(m_root + "/imported.json")).value()),
                 QStringList{"own-cccc0003"});

        store.remove(store.catalog().at(0));
        QVERIFY(!QFileInfo::exists(m_root + "/Library/a.mp4"));
        QCOMPARE(store.catalog().size(), 2); // the catalog keeps listing it
        store.remove(store.catalog().at(1)); // never downloaded: nothing to delete, still a change
        QCOMPARE(store.revision(), 3);
        QCOMPARE(target.forgotten, (QStringList{"own-aaaa0001", "a", "b"}));
    }

    void refresh_data() {
        QTest::addColumn<Response>("response"); // status 0: the server is down
        QTest::addColumn<bool>("replaces");
        const qint64 over = LibraryStore::maxCatalogBytes + 1024 * 1024;
        QTest::newRow("200") << Response{.body = m_served} << true;
        QTest::newRow("500") << Response{.status = 500, .body = m_served} << false;
        QTest::newRow("201 with a catalog") << Response{.status = 201, .body = m_served} << false;
        QTest::newRow("bad element") << Response{.body = R"({"wallpapers":[{"id":"a","category":"C"}]})"}
                                     << false;
        // What arrives before the cut decodes; only its announced length tells that it is not all.
        QTest::newRow("cut short") << Response{.body = m_served + "  ", .dropAfterBytes = m_served.size()}
                                   << false;
        QTest::newRow("over 64 MiB") << Response{.generatedBodySize = over} << false;
        QTest::newRow("over 64 MiB, no length")
            << Response{.generatedBodySize = over, .omitContentLength = true} << false;
        QTest::newRow("unreachable") << Response{.status = 0} << false;
    }
    void refresh() {
        QFETCH(Response, response);
        QFETCH(bool, replaces);
        const QString cache = m_root + "/catalog.json";
        const QByteArray cached = catalogDocument({record("cached")});
        QVERIFY(write(cache, cached));
        m_server.setResponse("/v1/catalog", response);
        if (response.status == 0)
            m_server.stop();
        LibraryStore store(m_root);
        watch(store);

        store.refresh();
        QVERIFY(QTest::qWaitFor([&] { return store.revision() == 1 && !store.loading(); }, 20'000));
        const QStringList outcome =
            replaces ? QStringList{"catalog=2", "offline=0"} : QStringList{"offline=1"};
        QCOMPARE(m_log, (QStringList{"loading=1"} + outcome + QStringList{"revision=1", "loading=0"}));
        QCOMPARE(ids(store.catalog()), (replaces ? QStringList{"a", "b"} : QStringList{"cached"}));
        // The cache holds the exact bytes served.
        QCOMPARE(fileContents(cache), replaces ? m_served : cached);
    }

    // Each refresh publishes its own outcome as its answer arrives; offline holds until then.
    void overlappingRefreshes() {
        LibraryStore store(m_root);
        m_server.setResponse("/v1/catalog", Response{.status = 503});
        store.refresh();
        QTRY_COMPARE(store.revision(), 1);
        watch(store);
        m_server.setResponse("/v1/catalog", Response{.body = m_served, .delayMs = 2000});
        store.refresh();
        QVERIFY(store.loading() && store.offline());
        QTRY_COMPARE(m_server.requestCount("/v1/catalog"), 2);
        m_server.setResponse("/v1/catalog", Response{.status = 503});
        store.refresh();
        QVERIFY(QTest::qWaitFor([&] { return store.revision() == 3 && !store.loading(); }, 20'000));
        QCOMPARE(m_log, (QStringList{"loading=1", "loading=1", "offline=1", "revision=2", "loading=0",
                                     "catalog=2", "offline=0", "revision=3", "loading=0"}));
    }

    // The body streams into place over a link, never through it, after any redirect; the continuation
    // runs once.
    void downloadSucceeds() {
        const QString outside = m_home->dataHome() + "/outside.mp4";
        const QString destination = m_root + "/Library/a.mp4";
        QVERIFY(write(outside, "old") && QDir().mkpath(m_root + "/Library"));
        QVERIFY(QFile::link(outside, destination));
        const QByteArray body = video(TestVideo::Long10s);
        m_server.setResponse("/moved.mp4", Response{.status = 302, .headers = {{"Location", "/v.mp4"}}});
        m_server.setResponse("/v.mp4",
                             Response{.body = body, .chunkSize = body.size() / 8 + 1, .intervalMs = 20});
        const auto store = this->store();
        QList<double> fractions;
        connect(store.get(), &LibraryStore::progressChanged, this, [&] {
            if (!store->progress().contains("a"))
                return;
            // Progress is only ever published for a download that exists.
            QVERIFY(store->isDownloading("a"));
            fractions.append(store->progress().value("a"));
        });
        int continued = 0;
        Wallpaper w = web("/moved.mp4");
        w.bytes = body.size();
        store->download(w, [&] {
            continued += 1;
            QCOMPARE(store->revision(), 1);
            QVERIFY(!store->progress().contains("a"));
        });
        store->download(w, [&] { continued += 10; }); // dropped while the first runs
        QCOMPARE(store->progress().value("a", -1), 0.0);
        QTRY_VERIFY_WITH_TIMEOUT(!store->isDownloading("a"), 20'000);
        QCOMPARE(continued, 1);
        QVERIFY2(!store->problem(), qPrintable(store->problemText()));
        QVERIFY(!fractions.isEmpty() && std::is_sorted(fractions.begin(), fractions.end()));
        QVERIFY(fractions.last() > 0.5 && fractions.last() <= 1.0);
        QCOMPARE(fileContents(destination), body);
        QCOMPARE(fileContents(outside), QByteArray("old"));
        QCOMPARE(entries(m_root + "/Library"), QStringList{"a.mp4"});
        // Syncing and checking the file is a worker's.
        QVERIFY(!m_inspector->askedOnMainThread);

        // A body of unknown length is taken whole.
        m_server.setResponse("/v.mp4",
                             Response{.body = video(TestVideo::TinySilent), .omitContentLength = true});
        store->download(web("/v.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(!store->isDownloading("a"), 20'000);
        QCOMPARE(fileContents(destination), video(TestVideo::TinySilent));
    }

    void downloadFailures_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<qint64>("statedBytes"); // -1: the catalog states none
        const QByteArray tiny = video(TestVideo::TinySilent);
        const Response cut{.body = tiny + "  ", .dropAfterBytes = tiny.size()};
        QTest::newRow("404") << Response{.status = 404, .body = "missing"} << qint64(-1);
        QTest::newRow("206") << Response{.status = 206, .body = tiny} << qint64(-1);
        QTest::newRow("cut short") << cut << qint64(-1);
        QTest::newRow("stalled") << Response{.body = tiny, .chunkSize = 1024, .intervalMs = 60'000}
                                 << qint64(-1);
        QTest::newRow("audio only") << Response{.body = video(TestVideo::AudioOnly)} << qint64(-1);
        QTest::newRow("shorter than stated") << Response{.body = tiny} << qint64(tiny.size() + 1);
        QTest::newRow("longer than stated")
            << Response{.body = tiny, .omitContentLength = true} << qint64(tiny.size() - 1);
        QTest::newRow("no room on the disk") << Response{.body = tiny} << (qint64(1) << 60);
        const Response endless{.generatedBodySize = 8 << 20, .chunkSize = 65536, .intervalMs = 30};
        QTest::newRow("cancelled") << endless << qint64(-1);
    }
    // A failed download says so and keeps the earlier file; a cancelled one leaves the earlier problem.
    void downloadFailures() {
        QFETCH(Response, response);
        QFETCH(qint64, statedBytes);
        const QString path = m_root + "/Library/a.mp4";
        QVERIFY(write(path, "the earlier download"));
        m_server.setResponse("/v.mp4", response);
        const auto store = this->store();
        store->setProblem("an earlier problem");
        bool continued = false;
        Wallpaper w = web("/v.mp4");
        if (statedBytes >= 0)
            w.bytes = statedBytes;
        store->cancelDownload("a"); // nothing in flight: nothing happens
        store->download(w, [&] { continued = true; });
        const bool cancelled = QTest::currentDataTag() == QByteArray("cancelled");
        if (cancelled) {
            QTRY_VERIFY(store->progress().value("a") > 0.0);
            store->cancelDownload("a");
        }
        QTRY_VERIFY_WITH_TIMEOUT(!store->isDownloading("a"), 20'000);
        QCOMPARE(store->problemText(),
                 cancelled ? "an earlier problem"
                           : "That wallpaper didn't download. Check your connection and try again.");
        QVERIFY(!continued && store->progress().isEmpty());
        QCOMPARE(store->revision(), 0);
        QCOMPARE(fileContents(path), QByteArray("the earlier download"));
        QCOMPARE(entries(m_root + "/Library"), QStringList{"a.mp4"});
    }

    void importsRealMedia_data() {
        QTest::addColumn<TestVideo>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QSize>("posterSize");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<double>("posterTime"); // the middle of a short clip, else one second in
        using enum TestVideo;
        QTest::newRow("1080p") << Hd1080WithAudio << "hd1080-audio" << QSize(960, 540) << ".mp4" << 1.0;
        QTest::newRow("upper-case suffix") << ClipUpperMov << "Clip" << QSize(320, 180) << ".mov" << 1.0;
        QTest::newRow("two dots") << MyHolidayMp4 << "my.holiday" << QSize(320, 180) << ".mp4" << 1.0;
        QTest::newRow("no suffix") << NoExtension << "clip" << QSize(320, 180) << "." << 1.0;
        QTest::newRow("short") << Short1_5s << "short" << QSize(320, 180) << ".mp4" << 0.75;
        QTest::newRow("long") << Long10s << "long" << QSize(320, 180) << ".mp4" << 1.0;
    }
    // A copy in Imported/, a poster beside it, a record first in the list, on every display.
    void importsRealMedia() {
        QFETCH(TestVideo, kind);
        QFETCH(QString, title);
        QFETCH(QString, suffix);
        QFETCH(QSize, posterSize);
        QFETCH(double, posterTime);
        const auto store = this->store();
        QVERIFY(importAll(*store, {url(kind)}));
        QVERIFY2(!store->problem(), qPrintable(store->problemText()));
        QCOMPARE(store->imported().size(), 1);
        const Wallpaper w = store->imported().first();
        QVERIFY(QRegularExpression("^own-[0-9a-f]{8}$").match(w.id).hasMatch());
        const QString stem = m_root + "/Imported/" + w.id;
        const QString poster = QUrl::fromLocalFile(stem + ".jpg").toString();
        const QString preview = QUrl::fromLocalFile(stem + suffix).toString();
        QCOMPARE(
            w,
            (Wallpaper{w.id, title, "Your videos", poster, preview, stem + suffix, {}, w.seconds, {}, true}));
        QCOMPARE(fileContents(*w.video), video(kind));
        QCOMPARE(QImage(stem + ".jpg").size(), posterSize);
        QVERIFY(std::abs(m_inspector->posterTime - posterTime) < 0.05);
        QVERIFY(std::abs(w.seconds.value_or(0) - TestVideos::info(kind).seconds) < 0.1);
    }

    // Only regular files are read: a FIFO or a device would hold the worker for good.
    void importBatchesPutTheLastSuccessOnEveryDisplay() {
        QVERIFY(QDir(m_home->path()).mkdir("folder.mp4"));
        QCOMPARE(::mkfifo(QFile::encodeName(m_home->path() + "/fifo.mp4").constData(), 0600), 0);
        QList<QUrl> urls{QUrl("https://example.org/film.mp4"), QUrl::fromLocalFile("/dev/zero")};
        for (const char* name : {"/missing.mp4", "/fifo.mp4", "/folder.mp4"})
            urls.append(QUrl::fromLocalFile(m_home->path() + name));
        const auto store = this->store();
        RecordingTarget target;
        store->setWallpaperTarget(&target);
        QStringList seen;
        connect(store.get(), &LibraryStore::importedChanged, this,
                [&] { seen.append(store->imported().first().title); });
        QSignalSpy problems(store.get(), &LibraryStore::problemChanged);

        // What is no local file, the same file twice, then a bad one: two records, two copies, the second
        // plays, the bad one is named.
        const QUrl a = url(TestVideo::TinySilent);
        QVERIFY(importAll(*store, urls + QList{a, a, url(TestVideo::AudioOnly)}));
        QCOMPARE(problems.size(), 6);
        QCOMPARE(store->imported().size(), 2);
        QCOMPARE(seen, (QStringList{"tiny", "tiny"}));
        QCOMPARE(store->revision(), 2);
        QCOMPARE(store->problemText(), QString("audio-only.m4a can't be used. Try an MP4 or MOV video."));
        QCOMPARE(target.used, (QList<QPair<QString, QString>>{{store->imported().at(0).id, "*"}}));
        QCOMPARE(entries(m_root + "/Imported").size(), 4);

        // A later success does not clear the problem; an all-bad batch puts nothing on the displays.
        QVERIFY(importAll(*store, {url(TestVideo::TextNamedMov)}));
        QCOMPARE(target.used.size(), 1);
        QVERIFY(importAll(*store, {url(TestVideo::Short1_5s)}));
        QCOMPARE(store->problemText(), QString("notes.mov can't be used. Try an MP4 or MOV video."));
        QCOMPARE(target.used.size(), 2);
        store->importVideos({});
        QCOMPARE(store->revision(), 3);
    }

    // Of unknown length and without a poster, a video is imported anyway; its poster is asked for one
    // second in, and the duration is left out so that the list stays writable.
    void unknownDuration() {
        QVERIFY(write(m_home->path() + "/clip.mp4", "video"));
        const auto store = this->store();
        m_inspector->seconds = std::nan("");
        QVERIFY(importAll(*store, {QUrl::fromLocalFile(m_home->path() + "/clip.mp4")}));
        QCOMPARE(m_inspector->posterTime.load(), 1.0);
        QVERIFY(!store->problem());
        const Wallpaper w = LibraryStore(m_root).imported().value(0);
        QCOMPARE(w.seconds, std::nullopt);
        QCOMPARE(entries(m_root + "/Imported"), QStringList{w.id + ".mp4"});
    }
};

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
