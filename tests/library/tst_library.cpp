// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"
#include "core/StallTimeout.h"
#include "library/LibraryStore.h"
#include "library/WallpaperTarget.h"
#include "platform/media/FfmpegMediaInspector.h"
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
QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
    std::unique_ptr<LibraryStore> store(const TempXdgHome& home) const {
        auto store = std::make_unique<LibraryStore>(home.libraryRoot());
        store->setMediaInspector(m_inspector);
        return store;
    }
    Wallpaper web(const QString& path) const {
        Wallpaper w = record("a");
        w.video = m_server.url(path).toString();
        return w;
    }
    QUrl url(TestVideo kind) { return QUrl::fromLocalFile(m_videos.path(kind)); }
    QByteArray video(TestVideo kind) { return read(m_videos.path(kind)); }

private Q_SLOTS:
    void initTestCase() {
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());
        StallTimeout::set(std::chrono::milliseconds(300));
    }
    void init() {
        QVERIFY(m_server.start());
        m_server.clearRequests();
        m_inspector->seconds.reset();
    }

    // One bad element rejects the whole document, the catalog and the imported list alike.
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
        if (document.startsWith(R"({"wallpapers":)") && document.endsWith('}')) {
            const auto list = WallpaperJson::decodeImportedList(document.sliced(14).chopped(1));
            QCOMPARE(list ? int(list->size()) : -1, count);
        }
    }

    void encoding() {
        // Lone surrogates, which have no UTF-8 form, next to a proper pair.
        const QString title = QStringLiteral("Forest \"Dawn\" \\ \n\t\u00e9\u2603") + QChar(0xD800) +
                              QStringLiteral("\U0001F332") + QChar(0xDFFF);
        const QString url = "https://example.org/v.mp4";
        const qint64 most = std::numeric_limits<qint64>::max();
        Wallpaper w{"forest", title, "Nature", url, url, url, most, 12.345678901234567, "3840 × 2160", false};
        const QByteArray catalog = WallpaperJson::encodeCatalog(Catalog{{w, w}}).value();
        QCOMPARE(WallpaperJson::decodeCatalog(catalog).value().wallpapers, (QList<Wallpaper>{w, w}));
        // Keys keep the record's order; absent fields are left out.
        QCOMPARE(WallpaperJson::encodeWallpaper(record("a")),
                 std::optional<QByteArray>(R"({"id":"a","title":"A","category":"Nature"})"));
        // A duration that is not finite has no JSON form.
        for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
            Wallpaper unwritable = w;
            unwritable.seconds = bad;
            QVERIFY(!WallpaperJson::encodeImportedList({w, unwritable}));
            QVERIFY(!WallpaperJson::encodeCatalog(Catalog{{unwritable}}));
        }
    }

    void cachedListsLoadAndBadOnesAreKeptAside() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        // A large cache is decoded on a worker while the store reports loading.
        const QList<Wallpaper> large(3000, record(QString(100, 'w')));
        QVERIFY(write(root + "/catalog.json", catalogDocument(large)));
        {
            const LibraryStore store(root);
            QVERIFY(store.loading() && store.catalog().isEmpty());
            QTRY_VERIFY(!store.loading());
            QCOMPARE(store.catalog(), large);
        }
        // A list that does not decode is set aside, not overwritten; without it nothing in Imported/ is
        // an orphan.
        const QByteArray badImported = R"([{"id":"own-1","title":"T","category":"C","isImported":"yes"}])";
        QVERIFY(write(root + "/catalog.json", R"({"wallpapers":[{"id":"b"}]})"));
        QVERIFY(write(root + "/imported.json", badImported));
        QVERIFY(write(root + "/Imported/own-0000000a.mp4", "video"));
        LibraryStore store(root);
        QVERIFY(store.catalog().isEmpty() && store.imported().isEmpty());
        store.saveImported();
        QCOMPARE(read(root + "/imported.json"), QByteArray("[]"));
        const QStringList aside = QDir(root).entryList({"*.corrupt-*"});
        QCOMPARE(aside.size(), 2);
        QVERIFY(aside.at(0).startsWith("catalog.json") && aside.at(1).startsWith("imported.json"));
        QCOMPARE(read(root + '/' + aside.at(1)), badImported);
        QCOMPARE(entries(root + "/Imported"), QStringList{"own-0000000a.mp4"});
    }

    // A kill between an import's copy and the save of its record, or during a download, leaves files
    // behind; the next start removes those and nothing else.
    void whatIsOnDisk() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        const QList<Wallpaper> imported{importedRecord("own-aaaa0001", root + "/Imported/own-aaaa0001.mov"),
                                        importedRecord("gone", root + "/Imported/gone.mp4"),
                                        importedRecord("novideo", std::nullopt),
                                        importedRecord("own-cccc0003", "/elsewhere/own-cccc0003.mp4")};
        QVERIFY(write(root + "/imported.json", WallpaperJson::encodeImportedList(imported).value()));
        QVERIFY(write(root + "/catalog.json",
                      catalogDocument({record("y", "A"), record("z", "B"), record("w", "A"), record("v", "C"),
                                       record("u", "a"), record("gone", "A"), record("novideo", "A")})));
        const QStringList kept{"Notes.txt",    "own-aaaa0001.jpg", "own-aaaa0001.mov",
                               "own-bbbb0002", "own-BBBB0002.mp4", "own-cccc0003.mp4"};
        for (const QString& name : kept + QStringList{"own-bbbb0002.jpg", "own-bbbb0002.mkv", "own-dddd0004.",
                                                      ".import-own-eeee0005.part"})
            QVERIFY(write(root + "/Imported/" + name, "x"));
        const QStringList downloads{"gone.mp4", "novideo.mp4", "unlisted.mp4", "w.mp4", "y.mp4"};
        for (const QString& name : downloads + QStringList{".download-Ab12Cd.part"})
            QVERIFY(write(root + "/Library/" + name, "video"));
        // A link whose target is gone counts as absent.
        QVERIFY(QFile::link(root + "/Library/missing", root + "/Library/z.mp4"));

        const LibraryStore store(root);
        QCOMPARE(entries(root + "/Imported"), kept);
        QCOMPARE(entries(root + "/Library"), downloads);
        QCOMPARE(ids(store.all()), (QStringList{"own-aaaa0001", "gone", "novideo", "own-cccc0003", "y", "z",
                                                "w", "v", "u", "gone", "novideo"}));
        // An imported record whose copy was deleted is not replaced by a same-named download.
        QCOMPARE(ids(store.downloaded()), (QStringList{"own-aaaa0001", "novideo", "y", "w", "novideo"}));
        QCOMPARE(store.localURL("gone"), std::nullopt);
        QCOMPARE(store.localURL("novideo"), std::optional(root + "/Library/novideo.mp4"));
        QCOMPARE(store.localURL("unlisted"), std::optional(root + "/Library/unlisted.mp4"));
        QCOMPARE(store.localURL("never"), std::nullopt);
        // Case counts, imported records add nothing.
        QCOMPARE(store.categories(), (QStringList{"A", "B", "C", "a"}));
    }

    // Neither hostile ids nor other than web videos make the store fetch or touch anything.
    void hostileRecordsStayInsideTheLibrary() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        // Files that a careless path join would find, and what both lone-surrogate ids would name.
        const QStringList bait{root + "/..mp4", root + "/Library/.mp4", root + "/secret.mp4",
                               home.dataHome() + "/outside.mp4", root + "/Library/x\uFFFD.mp4"};
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
        QVERIFY(write(root + "/catalog.json", catalogDocument(records)));
        LibraryStore store(root);
        QCOMPARE(ids(store.catalog()), hostile); // still listed, exactly as served
        QVERIFY(LibraryStore::isSafeId(QString(255, 'a')));

        records += QList{importedRecord("a", m_server.url("/v.mp4").toString()), record("a")};
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

    // Removal deletes a record's own files, and nothing that a hand-edited list names elsewhere.
    void removal() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        const QString outside = home.dataHome() + "/precious.mov";
        QVERIFY(write(outside, "keep"));
        QVERIFY(write(root + "/catalog.json", catalogDocument({record("a"), record("b")})));
        QVERIFY(write(root + "/Library/a.mp4", "video"));
        Wallpaper mine = importedRecord("own-aaaa0001", root + "/Imported/own-aaaa0001.mov");
        mine.poster = QUrl::fromLocalFile(root + "/Imported/own-aaaa0001.jpg").toString();
        Wallpaper hostile = importedRecord("own-bbbb0002", outside);
        hostile.poster = QUrl::fromLocalFile(root + "/Imported/../catalog.json").toString();
        const Wallpaper claims = importedRecord("claims", outside); // not in the list
        const Wallpaper other = importedRecord("own-cccc0003", std::nullopt);
        QVERIFY(write(*mine.video, "video") && write(root + "/Imported/own-aaaa0001.jpg", "jpeg"));
        QVERIFY(write(root + "/imported.json",
                      WallpaperJson::encodeImportedList({mine, hostile, other}).value()));

        LibraryStore store(root);
        RecordingTarget target;
        store.setWallpaperTarget(&target);
        store.remove(mine);
        QVERIFY(entries(root + "/Imported").isEmpty());
        QCOMPARE(ids(WallpaperJson::decodeImportedList(read(root + "/imported.json")).value()),
                 (QStringList{"own-bbbb0002", "own-cccc0003"}));
        store.remove(hostile);
        store.remove(claims);
        QCOMPARE(read(outside), QByteArray("keep"));
        QVERIFY(QFileInfo::exists(root + "/catalog.json"));
        QCOMPARE(ids(store.imported()), QStringList{"own-cccc0003"});

        store.remove(store.catalog().at(0));
        QVERIFY(!QFileInfo::exists(root + "/Library/a.mp4"));
        QCOMPARE(store.catalog().size(), 2); // the catalog keeps listing it
        store.remove(store.catalog().at(1)); // never downloaded: nothing to delete, still a change
        QCOMPARE(store.revision(), 5);
        QCOMPARE(target.forgotten, (QStringList{"own-aaaa0001", "own-bbbb0002", "claims", "a", "b"}));
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
        TempXdgHome home;
        const QString cache = home.libraryRoot() + "/catalog.json";
        const QByteArray cached = catalogDocument({record("cached")});
        QVERIFY(write(cache, cached));
        m_server.setResponse("/v1/catalog", response);
        if (response.status == 0)
            m_server.stop();
        LibraryStore store(home.libraryRoot());
        watch(store);

        store.refresh();
        QVERIFY(QTest::qWaitFor([&] { return store.revision() == 1 && !store.loading(); }, 20'000));
        const QStringList outcome =
            replaces ? QStringList{"catalog=2", "offline=0"} : QStringList{"offline=1"};
        QCOMPARE(m_log, (QStringList{"loading=1"} + outcome + QStringList{"revision=1", "loading=0"}));
        QCOMPARE(ids(store.catalog()), (replaces ? QStringList{"a", "b"} : QStringList{"cached"}));
        // The cache holds the exact bytes served, and the next start reads it.
        QCOMPARE(read(cache), replaces ? m_served : cached);
        QCOMPARE(LibraryStore(home.libraryRoot()).catalog(), store.catalog());
    }

    // Each refresh publishes its own outcome as its answer arrives; offline holds until then.
    void overlappingRefreshes() {
        TempXdgHome home;
        LibraryStore store(home.libraryRoot());
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
        TempXdgHome home;
        const QString outside = home.dataHome() + "/outside.mp4";
        const QString destination = home.libraryRoot() + "/Library/a.mp4";
        QVERIFY(write(outside, "old") && QDir().mkpath(home.libraryRoot() + "/Library"));
        QVERIFY(QFile::link(outside, destination));
        const QByteArray body = video(TestVideo::Long10s);
        m_server.setResponse("/moved.mp4", Response{.status = 302, .headers = {{"Location", "/v.mp4"}}});
        m_server.setResponse("/v.mp4",
                             Response{.body = body, .chunkSize = body.size() / 8 + 1, .intervalMs = 20});
        const auto store = this->store(home);
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
        QVERIFY(!QFileInfo(destination).isSymLink());
        QCOMPARE(read(destination), body);
        QCOMPARE(read(outside), QByteArray("old"));
        QCOMPARE(entries(home.libraryRoot() + "/Library"), QStringList{"a.mp4"});
        // Syncing and checking the file is a worker's.
        QVERIFY(!m_inspector->askedOnMainThread);

        // Without a known total the fraction stays 0 until the body has ended.
        fractions.clear();
        m_server.setResponse("/v.mp4",
                             Response{.body = video(TestVideo::TinySilent), .omitContentLength = true});
        store->download(web("/v.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(!store->isDownloading("a"), 20'000);
        QCOMPARE(read(destination), video(TestVideo::TinySilent));
        fractions.removeAll(1.0);
        QVERIFY(!fractions.isEmpty() && fractions.count(0.0) == fractions.size());
        // A late progress report cannot bring the entry back.
        QTest::qWait(100);
        QVERIFY(store->progress().isEmpty());
    }

    void downloadFailures_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<qint64>("statedBytes"); // -1: the catalog states none
        const QByteArray tiny = video(TestVideo::TinySilent);
        const QByteArray playlist = "#EXTM3U\n#EXTINF:2,\n" + m_server.url("/other.mp4").toEncoded() + "\n";
        const Response cut{.body = tiny + "  ", .dropAfterBytes = tiny.size()};
        QTest::newRow("404") << Response{.status = 404, .body = "missing"} << qint64(-1);
        QTest::newRow("206") << Response{.status = 206, .body = tiny} << qint64(-1);
        QTest::newRow("cut short") << cut << qint64(-1);
        QTest::newRow("stalled") << Response{.body = tiny, .chunkSize = 1024, .intervalMs = 60'000}
                                 << qint64(-1);
        QTest::newRow("silent before the answer") << Response{.body = tiny, .delayMs = 60'000} << qint64(-1);
        QTest::newRow("playlist") << Response{.body = playlist + "#EXT-X-ENDLIST\n"} << qint64(-1);
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
        TempXdgHome home;
        const QString path = home.libraryRoot() + "/Library/a.mp4";
        QVERIFY(write(path, "the earlier download"));
        m_server.setResponse("/v.mp4", response);
        m_server.setResponse("/other.mp4", Response{.body = video(TestVideo::TinySilent)});
        const auto store = this->store(home);
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
        QCOMPARE(read(path), QByteArray("the earlier download"));
        QCOMPARE(entries(home.libraryRoot() + "/Library"), QStringList{"a.mp4"});
        QCOMPARE(m_server.requestCount("/other.mp4"), 0);
    }

    void importsRealMedia_data() {
        QTest::addColumn<TestVideo>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QSize>("posterSize");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("1080p") << TestVideo::Hd1080WithAudio << "hd1080-audio" << QSize(960, 540) << ".mp4";
        QTest::newRow("upper-case suffix") << TestVideo::ClipUpperMov << "Clip" << QSize(320, 180) << ".mov";
        QTest::newRow("two dots") << TestVideo::MyHolidayMp4 << "my.holiday" << QSize(320, 180) << ".mp4";
        QTest::newRow("no suffix") << TestVideo::NoExtension << "clip" << QSize(320, 180) << ".";
    }
    // A copy in Imported/, a poster beside it, a record first in the list, on every display.
    void importsRealMedia() {
        QFETCH(TestVideo, kind);
        QFETCH(QString, title);
        QFETCH(QString, suffix);
        QFETCH(QSize, posterSize);
        TempXdgHome home;
        const auto store = this->store(home);
        QVERIFY(importAll(*store, {url(kind)}));
        QVERIFY2(!store->problem(), qPrintable(store->problemText()));
        QCOMPARE(store->imported().size(), 1);
        const Wallpaper w = store->imported().first();
        QVERIFY(QRegularExpression("^own-[0-9a-f]{8}$").match(w.id).hasMatch());
        const QString stem = home.libraryRoot() + "/Imported/" + w.id;
        const QString poster = QUrl::fromLocalFile(stem + ".jpg").toString();
        const QString preview = QUrl::fromLocalFile(stem + suffix).toString();
        QCOMPARE(
            w,
            (Wallpaper{w.id, title, "Your videos", poster, preview, stem + suffix, {}, w.seconds, {}, true}));
        QCOMPARE(read(*w.video), video(kind));
        QCOMPARE(QImage(stem + ".jpg").size(), posterSize);
    }

    // Only regular files are read: a FIFO or a device would hold the worker for good.
    void importBatchesPutTheLastSuccessOnEveryDisplay() {
        TempXdgHome home;
        QVERIFY(QDir(home.path()).mkdir("folder.mp4"));
        QCOMPARE(::mkfifo(QFile::encodeName(home.path() + "/fifo.mp4").constData(), 0600), 0);
        QList<QUrl> urls{QUrl("https://example.org/film.mp4"), QUrl::fromLocalFile("/dev/zero")};
        for (const char* name : {"/missing.mp4", "/fifo.mp4", "/folder.mp4"})
            urls.append(QUrl::fromLocalFile(home.path() + name));
        const auto store = this->store(home);
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
        QVERIFY(store->imported().at(0).id != store->imported().at(1).id);
        QCOMPARE(seen, (QStringList{"tiny", "tiny"}));
        QCOMPARE(store->revision(), 2);
        QCOMPARE(store->problemText(), QString("audio-only.m4a can't be used. Try an MP4 or MOV video."));
        QCOMPARE(target.used, (QList<QPair<QString, QString>>{{store->imported().at(0).id, "*"}}));
        QCOMPARE(entries(home.libraryRoot() + "/Imported").size(), 4);

        // A later success does not clear the problem; an all-bad batch puts nothing on the displays.
        QVERIFY(importAll(*store, {url(TestVideo::TextNamedMov)}));
        QCOMPARE(target.used.size(), 1);
        QVERIFY(importAll(*store, {url(TestVideo::Short1_5s)}));
        QCOMPARE(store->problemText(), QString("notes.mov can't be used. Try an MP4 or MOV video."));
        QCOMPARE(target.used.size(), 2);
        store->importVideos({});
        QCOMPARE(store->revision(), 3);
    }

    void posterFrameTime_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("posterTime");
        QTest::newRow("short: the middle") << 1.5 << 0.75;
        QTest::newRow("long: one second in") << 10.0 << 1.0;
        QTest::newRow("unknown: one second in") << std::nan("") << 1.0;
    }
    // Without a poster the video is imported anyway. A duration that is not finite is left out, so that the
    // list stays writable.
    void posterFrameTime() {
        QFETCH(double, seconds);
        QFETCH(double, posterTime);
        TempXdgHome home;
        QVERIFY(write(home.path() + "/clip.mp4", "video"));
        const auto store = this->store(home);
        m_inspector->seconds = seconds;
        QVERIFY(importAll(*store, {QUrl::fromLocalFile(home.path() + "/clip.mp4")}));
        QCOMPARE(m_inspector->posterTime.load(), posterTime);
        QVERIFY(!store->problem());
        const Wallpaper w = LibraryStore(home.libraryRoot()).imported().value(0);
        QCOMPARE(w.seconds, std::isfinite(seconds) ? std::optional(seconds) : std::nullopt);
        QCOMPARE(entries(home.libraryRoot() + "/Imported"), QStringList{w.id + ".mp4"});
    }
};

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
