// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryTestFiles.h"
#include "library/LibraryStore.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"

#include <QSignalSpy>
#include <QTest>

using namespace LibraryTestFiles;
using Response = HttpTestServer::Response;

namespace {
// The published fields as observers see them, in order.
QStringList* watch(LibraryStore& store) {
    auto* log = new QStringList;
    QObject::connect(&store, &QObject::destroyed, [log] { delete log; });
    QObject::connect(&store, &LibraryStore::loadingChanged, &store,
                     [log, &store] { log->append(QStringLiteral("loading=%1").arg(store.loading())); });
    QObject::connect(&store, &LibraryStore::offlineChanged, &store,
                     [log, &store] { log->append(QStringLiteral("offline=%1").arg(store.offline())); });
    QObject::connect(&store, &LibraryStore::catalogChanged, &store, [log, &store] {
        log->append(QStringLiteral("catalog=%1").arg(store.catalog().size()));
    });
    QObject::connect(&store, &LibraryStore::revisionChanged, &store,
                     [log](qint64 r) { log->append(QStringLiteral("revision=%1").arg(r)); });
    QObject::connect(&store, &LibraryStore::problemChanged, &store,
                     [log] { log->append(QStringLiteral("problem")); });
    return log;
}

bool settle(LibraryStore& store, qint64 revision) {
    return QTest::qWaitFor([&] { return store.revision() >= revision && !store.loading(); }, 20'000);
}
} // namespace

class TestCatalogRefresh : public QObject {
    Q_OBJECT

    HttpTestServer m_server;
    const QByteArray m_served = R"({"wallpapers":[{"id":"a","title":"A","category":"C","likes":3},)"
                                R"({"id":"b","title":"B","category":"D"}],"etag":"x"})";

    QString cachePath(const TempXdgHome& home) const {
        return home.libraryRoot() + QStringLiteral("/catalog.json");
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());
        QCOMPARE(LibraryStore::catalogURL(), m_server.url(QStringLiteral("/v1/catalog")));
    }

    void init() {
        m_server.clearRequests();
        if (!m_server.isListening())
            QVERIFY(m_server.start());
    }

    void successReplacesCatalogAndCachesTheExactBytes() {
        TempXdgHome home;
        QVERIFY(write(cachePath(home), catalogDocument({record("old")})));
        m_server.setResponse(QStringLiteral("/v1/catalog"), Response{.body = m_served});
        LibraryStore store(home.libraryRoot());
        QStringList* log = watch(store);

        store.refresh();
        QVERIFY(store.loading());
        QVERIFY(settle(store, 1));
        QCOMPARE(*log, (QStringList{"loading=1", "catalog=2", "offline=0", "revision=1", "loading=0"}));
        QCOMPARE(ids(store.catalog()), (QStringList{"a", "b"}));
        QCOMPARE(read(cachePath(home)), m_served);
        QCOMPARE(LibraryStore(home.libraryRoot()).catalog(), store.catalog());

        const HttpTestServer::Request request = m_server.requests().value(0);
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.target, QByteArray("/v1/catalog"));
    }

    void failuresLeaveCatalogAndCacheAlone_data() {
        QTest::addColumn<Response>("response");
        QTest::newRow("500") << Response{.status = 500, .body = m_served};
        QTest::newRow("204 empty") << Response{.status = 204};
        QTest::newRow("201 with a catalog") << Response{.status = 201, .body = m_served};
        QTest::newRow("element without title")
            << Response{.body = R"({"wallpapers":[{"id":"a","category":"C"}]})"};
        QTest::newRow("not JSON") << Response{.body = "<html>maintenance</html>"};
        QTest::newRow("connection dropped mid-body")
            << Response{.body = m_served, .chunkSize = 16, .dropAfterBytes = 40};
        QTest::newRow("over 64 MiB") << Response{.generatedBodySize =
                                                     LibraryStore::maxCatalogBytes + 1024 * 1024};
        QTest::newRow("over 64 MiB of unknown length") << Response{
            .generatedBodySize = LibraryStore::maxCatalogBytes + 1024 * 1024, .omitContentLength = true};
    }

    void failuresLeaveCatalogAndCacheAlone() {
        QFETCH(Response, response);
        TempXdgHome home;
        const QByteArray cached = catalogDocument({record("cached")});
        QVERIFY(write(cachePath(home), cached));
        m_server.setResponse(QStringLiteral("/v1/catalog"), response);
        LibraryStore store(home.libraryRoot());
        QStringList* log = watch(store);

        store.refresh();
        QVERIFY(settle(store, 1));
        QCOMPARE(*log, (QStringList{"loading=1", "offline=1", "revision=1", "loading=0"}));
        QCOMPARE(ids(store.catalog()), QStringList{"cached"});
        QCOMPARE(read(cachePath(home)), cached);
        QVERIFY(!store.problem());
    }

    void unreachableOnFirstLaunchThenBack() {
        TempXdgHome home;
        m_server.setResponse(QStringLiteral("/v1/catalog"), Response{.body = m_served});
        m_server.stop();
        LibraryStore store(home.libraryRoot());
        store.refresh();
        QVERIFY(settle(store, 1));
        QVERIFY(store.catalog().isEmpty());
        QVERIFY(store.offline());
        QCOMPARE(store.revision(), 1);
        QVERIFY(!QFileInfo::exists(cachePath(home)));

        QVERIFY(m_server.start());
        QStringList* log = watch(store);
        store.refresh();
        // Offline still shows the last result while the new refresh runs.
        QVERIFY(store.loading() && store.offline());
        QVERIFY(settle(store, 2));
        QCOMPARE(*log, (QStringList{"loading=1", "catalog=2", "offline=0", "revision=2", "loading=0"}));
    }

    void overlappingRefreshesEachApplyTheirOutcome() {
        TempXdgHome home;
        int served = 0;
        // The first request answers slowly with a good catalog, the second at once with an error.
        m_server.setHandler([&](const HttpTestServer::Request&) {
            return ++served == 1 ? Response{.body = m_served, .delayMs = 600} : Response{.status = 503};
        });
        m_server.removeResponse(QStringLiteral("/v1/catalog"));
        LibraryStore store(home.libraryRoot());
        QStringList* log = watch(store);

        store.refresh();
        store.refresh();
        QVERIFY(settle(store, 2));
        QCOMPARE(*log, (QStringList{"loading=1", "loading=1", "offline=1", "revision=1", "loading=0",
                                    "catalog=2", "offline=0", "revision=2", "loading=0"}));
        QCOMPARE(m_server.requestCount(QStringLiteral("/v1/catalog")), 2);
        m_server.setHandler({});
    }
};

QTEST_GUILESS_MAIN(TestCatalogRefresh)
#include "tst_catalogrefresh.moc"
