#include "support/HttpTestServer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

namespace {

using Response = HttpTestServer::Response;

bool waitFinished(QNetworkReply* reply, int timeoutMs = 30000) {
    if (reply->isFinished())
        return true;
    QSignalSpy finished(reply, &QNetworkReply::finished);
    return finished.wait(timeoutMs);
}

int statusOf(const QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

class TestHttpTestServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answersWithStatusHeadersAndBody();
    void deliversChunkedAndSlowBodiesComplete();
};

void TestHttpTestServer::answersWithStatusHeadersAndBody() {
    QNetworkAccessManager nam;
    HttpTestServer server;
    server.setResponse(QStringLiteral("/v1/catalog"),
                       {.status = 201,
                        .headers = {{"Content-Type", "application/json"}, {"X-Test", "yes"}},
                        .body = R"({"a":1})"});
    server.setResponse(QStringLiteral("/empty"), {.status = 204});
    server.setResponse(QStringLiteral("/fail"), {.status = 500, .body = "boom"});
    server.setResponse(QStringLiteral("/old"), Response::redirect(server.url(QStringLiteral("/v1/catalog"))));

    QNetworkReply* reply = nam.get(QNetworkRequest(server.url(QStringLiteral("/v1/catalog?x=1"))));
    QVERIFY(waitFinished(reply));
    QCOMPARE(statusOf(reply), 201);
    QCOMPARE(reply->rawHeader("x-test"), "yes");
    QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), "application/json");
    QCOMPARE(reply->readAll(), R"({"a":1})");

    const struct {
        QString path;
        int status;
        QByteArray body;
    } cases[] = {{"/empty", 204, ""},
                 {"/fail", 500, "boom"},
                 {"/missing", 404, "Not Found\n"},
                 {"/old", 201, R"({"a":1})"}};
    for (const auto& c : cases) {
        reply = nam.get(QNetworkRequest(server.url(c.path)));
        QVERIFY(waitFinished(reply));
        QCOMPARE(statusOf(reply), c.status);
        QCOMPARE(reply->readAll(), c.body);
    }

    reply = nam.head(QNetworkRequest(server.url(QStringLiteral("/v1/catalog"))));
    QVERIFY(waitFinished(reply));
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), 7);
    QCOMPARE(reply->readAll(), "");
}

void TestHttpTestServer::deliversChunkedAndSlowBodiesComplete() {
    QNetworkAccessManager nam;
    HttpTestServer server;
    const QByteArray body = HttpTestServer::generatedBody(0, 10000);
    server.setResponse(QStringLiteral("/chunked"),
                       {.body = body, .chunked = true, .chunkSize = 999, .delayMs = 20, .intervalMs = 2});
    server.setResponse(QStringLiteral("/unknown-length"),
                       {.body = body, .chunkSize = 1000, .intervalMs = 2, .omitContentLength = true});

    for (const QString& path : {QStringLiteral("/chunked"), QStringLiteral("/unknown-length")}) {
        QNetworkReply* reply = nam.get(QNetworkRequest(server.url(path)));
        QVERIFY(waitFinished(reply));
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QVERIFY(!reply->hasRawHeader("Content-Length"));
        QCOMPARE(reply->readAll(), body);
    }
}

QTEST_GUILESS_MAIN(TestHttpTestServer)
#include "tst_httptestserver.moc"
