// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/update/UpdateController.h"
#include "shell/update/UpdateFeed.h"
#include "shell/update/UpdateWindow.h"
#include "support/HttpTestServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(UpdateController::Outcome)

namespace {
QByteArray document(const QString& version, const QString& page = "https://lumivale.org/download") {
    QJsonObject object{{"url", page}, {"notes", "Smoother loops."}};
    if (!version.isEmpty())
        object.insert("version", version);
    return QJsonDocument(object).toJson();
}

HttpTestServer::Response feed(const QByteArray& body, int status = 200) {
    return {.status = status, .headers = {{"Content-Type", "application/json"}}, .body = body};
}
} // namespace

class TestUpdateController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionsCompareNumerically_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("equal") << "1.4.0"
                               << "1.4.0" << 0;
        QTest::newRow("missing parts are zero") << "1.4"
                                                << "1.4.0" << 0;
        QTest::newRow("numeric, not text") << "1.10"
                                           << "1.9" << 1;
        QTest::newRow("major wins") << "2.0"
                                    << "1.99.99" << 1;
        QTest::newRow("older") << "0.9.1"
                               << "0.10" << -1;
    }
    void versionsCompareNumerically() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(UpdateFeed::compareVersions(a, b), std::optional<int>(order));
    }

    void notVersions() {
        for (const char* text : {"", "1.", ".1", "1..2", "1.2a", "v1.2", "1.-2", "1. 2", "+1"})
            QVERIFY2(!UpdateFeed::versionComponents(text), text);
    }

    void checks_data() {
        QTest::addColumn<HttpTestServer::Response>("response");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<UpdateController::Outcome>("outcome");
        QTest::addColumn<QString>("text");
        const QString failed = "Lumivale couldn't check for updates.";
        QTest::newRow("newer") << feed(document("1.10.0")) << true << UpdateController::Outcome::Available
                               << "Version 1.10.0 is available.";
        QTest::newRow("equal") << feed(document("1.9")) << true << UpdateController::Outcome::UpToDate
                               << "Lumivale is up to date.";
        QTest::newRow("older") << feed(document("1.8.7")) << true << UpdateController::Outcome::UpToDate
                               << "Lumivale is up to date.";
        QTest::newRow("not JSON") << feed("<html>") << true << UpdateController::Outcome::Failed << failed;
        QTest::newRow("no version") << feed(document({})) << true << UpdateController::Outcome::Failed
                                    << failed;
        QTest::newRow("version not numeric")
            << feed(document("2.0-beta")) << true << UpdateController::Outcome::Failed << failed;
        QTest::newRow("page not http") << feed(document("2.0", "file:///etc/passwd")) << true
                                       << UpdateController::Outcome::Failed << failed;
        QTest::newRow("server error")
            << feed(document("2.0"), 500) << true << UpdateController::Outcome::Failed << failed;
        const qint64 overLimit = UpdateController::maxFeedBytes + 1;
        QTest::newRow("announced past the limit") << HttpTestServer::Response{.generatedBodySize = overLimit}
                                                  << true << UpdateController::Outcome::Failed << failed;
        QTest::newRow("endless") << HttpTestServer::Response{.generatedBodySize = qint64(1) << 40,
                                                             .omitContentLength = true}
                                 << true << UpdateController::Outcome::Failed << failed;
        QTest::newRow("unreachable") << feed({}) << false << UpdateController::Outcome::Failed << failed;
    }
    // The user's check shows every outcome in its window; a background check tells only of a newer one.
    void checks() {
        QFETCH(HttpTestServer::Response, response);
        QFETCH(bool, reachable);
        QFETCH(UpdateController::Outcome, outcome);
        QFETCH(QString, text);
        HttpTestServer server;
        server.setResponse("/v1/update", response);
        if (!reachable)
            server.stop();
        QNetworkAccessManager network;
        UpdateController updater(network, server.url("/v1/update"), "1.9.0");
        QSignalSpy finished(&updater, &UpdateController::checkFinished);
        QSignalSpy found(&updater, &UpdateController::updateFound);
        QVERIFY(!updater.window());

        updater.checkForUpdates();
        QVERIFY(updater.window()->isVisible());
        QCOMPARE(updater.window()->text(), QString("Checking for updates…"));
        QVERIFY(!updater.window()->offersPage());
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0), (QVariantList{QVariant::fromValue(outcome), true}));
        QCOMPARE(updater.window()->text(), text);
        QCOMPARE(updater.window()->offersPage(), outcome == UpdateController::Outcome::Available);
        if (outcome == UpdateController::Outcome::Available)
            QCOMPARE(updater.window()->page(), QUrl("https://lumivale.org/download"));
        QCOMPARE(found.size(), 0);

        updater.startUpdater();
        QVERIFY(updater.isStarted());
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(finished.at(1), (QVariantList{QVariant::fromValue(outcome), false}));
        QCOMPARE(found.size(), outcome == UpdateController::Outcome::Available ? 1 : 0);
        if (!found.isEmpty())
            QCOMPARE(found.at(0).at(0).value<UpdateFeed>().version, QString("1.10.0"));
        // Starting again starts nothing new.
        updater.startUpdater();
        QTest::qWait(0);
        QCOMPARE(server.requestCount("/v1/update"), reachable ? 2 : 0);
    }
};

QTEST_MAIN(TestUpdateController)
#include "tst_updatecontroller.moc"
