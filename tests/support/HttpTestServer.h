// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>
#include <functional>

// An HTTP/1.1 server on 127.0.0.1 for tests, driven by the event loop of the thread that created it.
// Connections stay open between requests (keep-alive) unless the client or the response asks otherwise.
class HttpTestServer : public QObject {
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    struct Request {
        QByteArray method;
        QByteArray target; // as sent, e.g. "/v1/catalog?page=2"
        QString path;      // percent-decoded, without the query
        QUrlQuery query;
        QByteArray version;
        Headers headers;
        QByteArray body;

        // First value of a header, name compared case-insensitively; empty when absent.
        [[nodiscard]] QByteArray header(const QByteArray& name) const;
        [[nodiscard]] bool hasHeader(const QByteArray& name) const;
    };

    struct Response {
        int status = 200;
        Headers headers{}; // Content-Length, Transfer-Encoding and Connection are added unless given here
        QByteArray body{};
        // When >= 0, a body of this many generatedBody() bytes, made piece by piece; `body` is then unused.
        qint64 generatedBodySize = -1;
        bool chunked = false;
        qsizetype chunkSize = 0; // bytes per write and per HTTP chunk; 0 means 64 KiB
        int delayMs = 0;         // before the status line
        int intervalMs = 0;      // between writes
        // Close the connection once this many body bytes are out, if the body is longer.
        // QNetworkAccessManager 6.4 does not always report that as an error, so a client must compare what it
        // got with Content-Length.
        qint64 dropAfterBytes = -1;
        // No Content-Length: the end of the body is marked by closing the connection.
        bool omitContentLength = false;

        [[nodiscard]] static Response redirect(const QUrl& location, int status = 301);
    };

    explicit HttpTestServer(QObject* parent = nullptr);
    ~HttpTestServer() override;
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] QUrl baseUrl() const;
    // `path` may carry a query: url("/v1/catalog?page=2").
    [[nodiscard]] QUrl url(const QString& path = QStringLiteral("/")) const;
    [[nodiscard]] bool isListening() const { return m_listener.isListening(); }

    // Exact path match, query ignored. Routes win over the handler; neither gives 404.
    void setResponse(const QString& path, Response response);
    void removeResponse(const QString& path);
    void setHandler(std::function<Response(const Request&)> handler);

    [[nodiscard]] int requestCount() const { return int(m_requests.size()); }
    [[nodiscard]] int requestCount(const QString& path) const;
    [[nodiscard]] QList<Request> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    // Client connections currently open, idle keep-alive ones included.
    [[nodiscard]] int openConnectionCount() const;

    // Closes the listener and every open connection, as if the service went away.
    void stop();
    // Listens again on the same port after stop().
    [[nodiscard]] bool start();

    // The bytes a generated body holds at [offset, offset + size): a short repeating pattern.
    [[nodiscard]] static QByteArray generatedBody(qint64 offset, qint64 size);

Q_SIGNALS:
    // Emitted once a request has fully arrived, before its response is chosen (a slot may still set routes).
    void requestReceived(const HttpTestServer::Request& request);

private:
    class Connection;

    [[nodiscard]] Response responseFor(const Request& request) const;

    QTcpServer m_listener;
    quint16 m_port = 0;
    QHash<QString, Response> m_routes;
    std::function<Response(const Request&)> m_handler;
    QList<Request> m_requests;
    QSet<Connection*> m_connections;
};
