// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QUrl>

// An HTTP/1.1 server on 127.0.0.1 for tests, driven by the event loop of the thread that created it.
// Every connection carries one request and closes after its answer.
class HttpTestServer : public QObject {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    struct Request {
        QByteArray target; // as sent, e.g. "/v1/catalog?page=2"
        QString path;      // percent-decoded, without the query
        bool operator==(const Request&) const = default;
    };

    struct Response {
        int status = 200;
        Headers headers{}; // Content-Length and Connection are added
        QByteArray body{};
        // When >= 0, a body of this many filler bytes, made piece by piece; `body` is then unused.
        qint64 generatedBodySize = -1;
        qsizetype chunkSize = 0; // bytes per write; 0 means 64 KiB
        int delayMs = 0;         // before the status line
        int intervalMs = 0;      // between writes
        // Close the connection once this many body bytes are out, if the body is longer.
        qint64 dropAfterBytes = -1;
        // No Content-Length: the end of the body is marked by closing the connection.
        bool omitContentLength = false;
    };

    explicit HttpTestServer(QObject* parent = nullptr);
    ~HttpTestServer() override;

    [[nodiscard]] QUrl baseUrl() const { return url({}); }
    // `path` may carry a query: url("/v1/catalog?page=2").
    [[nodiscard]] QUrl url(const QString& path = QStringLiteral("/")) const;

    // Exact path match, query ignored; any other path gets 404. A request is answered as its path's
    // response stood when the request arrived.
    void setResponse(const QString& path, const Response& response) { m_routes.insert(path, response); }

    [[nodiscard]] int requestCount(const QString& path) const;
    [[nodiscard]] QList<Request> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    // Client connections currently open.
    [[nodiscard]] int openConnectionCount() const;

    // Closes the listener and every open connection, as if the service went away.
    void stop();
    // Listens again on the same port after stop().
    [[nodiscard]] bool start();

private:
    class Connection;

    QTcpServer m_listener;
    quint16 m_port = 0;
    QHash<QString, Response> m_routes;
    QList<Request> m_requests;
};
