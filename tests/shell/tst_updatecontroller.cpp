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
Q_DECLARE_METATYPE(std::optional<int>)

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
    void versions_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<std::optional<int>>("order");
        const auto row = [](const char* a, const char* b, std::optional<int> order) {
            QTest::addRow("%s vs %s", a, b) << QString(a) << QString(b) << order;
        };
        row("1.4", "1.4.0", 0);
        row("1.10", "1.9", 1);
        row("2.0", "1.99.99", 1);
        row("0.9.1", "0.10", -1);
        for (const char* text : {"", "1.", ".1", "1..2", "1.2a", "v1.2", "1.-2", "1. 2", "+1"})
            row(text, "1", std::nullopt);
    }
    void versions() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(std::optional<int>, order);
        QCOMPARE(UpdateFeed::compareVersions(a, b), order);
    }

    void checks_data() {
        QTest::addColumn<HttpTestServer::Response>("response");
        QTest::addColumn<UpdateController::Outcome>("outcome");
        const auto row = [](const char* name, const HttpTestServer::Response& response,
                            UpdateController::Outcome outcome) {
            QTest::newRow(name) << response << outcome;
        };
        using enum UpdateController::Outcome;
        row("newer", feed(document("1.10.0")), Available);
        row("equal", feed(document("1.9")), UpToDate);
        row("older", feed(document("1.8.7")), UpToDate);
        row("not JSON", feed("<html>"), Failed);
        row("no version", feed(document({})), Failed);
        row("version not numeric", feed(document("2.0-beta")), Failed);
        row("page not http", feed(document("2.0", "file:///etc/passwd")), Failed);
        row("server error", feed(document("2.0"), 500), Failed);
        row("announced past the limit", {.generatedBodySize = UpdateController::maxFeedBytes + 1}, Failed);
        row("endless", {.generatedBodySize = qint64(1) << 40, .omitContentLength = true}, Failed);
    }
    // The user's check shows every outcome in its window; a background check tells only of a newer one.
    void checks() {
        QFETCH(HttpTestServer::Response, response);
        QFETCH(UpdateController::Outcome, outcome);
        const QString text = outcome == UpdateController::Outcome::Available ? "Version 1.10.0 is available."
                             : outcome == UpdateController::Outcome::UpToDate
                                 ? "Lumivale is up to date."
                                 : "Lumivale couldn't check for updates.";
        HttpTestServer server;
        server.setResponse("/v1/update", response);
        QNetworkAccessManager network;
        UpdateController updater(network, server.url("/v1/update"), "1.9.0");
        QSignalSpy finished(&updater, &UpdateController::checkFinished);
        QSignalSpy found(&updater, &UpdateController::updateFound);

        updater.checkForUpdates();
        QVERIFY(updater.window()->isVisible());
        QCOMPARE(updater.window()->text(), QString("Checking for updates…"));
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0), (QVariantList{QVariant::fromValue(outcome), true}));
        QCOMPARE(updater.window()->text(), text);
        QCOMPARE(updater.window()->offersPage(), outcome == UpdateController::Outcome::Available);
        if (outcome == UpdateController::Outcome::Available)
            QCOMPARE(updater.window()->page(), QUrl("https://lumivale.org/download"));
        QCOMPARE(found.size(), 0);

        updater.startUpdater();
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(finished.at(1), (QVariantList{QVariant::fromValue(outcome), false}));
        QCOMPARE(found.size(), outcome == UpdateController::Outcome::Available ? 1 : 0);
        if (!found.isEmpty())
            QCOMPARE(found.at(0).at(0).value<UpdateFeed>().version, QString("1.10.0"));
        // Starting again starts nothing new.
        updater.startUpdater();
        QTest::qWait(0);
        QCOMPARE(server.requestCount("/v1/update"), 2);
    }
};

QTEST_MAIN(TestUpdateController)
#include "tst_updatecontroller.moc"
