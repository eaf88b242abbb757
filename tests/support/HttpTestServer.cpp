// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/HttpTestServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace {
constexpr qint64 kDefaultPieceSize = qint64(64) * 1024;
constexpr qint64 kGeneratedPieceSize = qint64(1024) * 1024;
// More body is written only once the socket has drained below this, so a huge body never sits in memory.
constexpr qint64 kHighWaterBytes = qint64(256) * 1024;
} // namespace

// Reads one request, then answers it as its Response says and closes.
class HttpTestServer::Connection : public QObject {
public:
    Connection(HttpTestServer* server, QTcpSocket* socket) : QObject(server), m_server(server) {
        socket->setParent(this);
        // Small writes with pauses between them must not wait for delayed acknowledgements.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this, socket] { pump(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { pump(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        read(socket);
    }

private:
    void read(QTcpSocket* socket) {
        m_head += socket->readAll();
        const qsizetype end = m_head.indexOf("\r\n\r\n");
        if (m_response || end < 0)
            return;
        const QList<QByteArray> line = m_head.first(m_head.indexOf("\r\n")).split(' ');
        Request request{line.value(1), {}};
        request.path = QUrl::fromPercentEncoding(request.target.split('?').first());
        m_server->m_requests.append(request);
        m_response = m_server->m_routes.value(request.path, Response{.status = 404, .body = "Not Found"});
        m_size = m_response->generatedBodySize >= 0 ? m_response->generatedBodySize : m_response->body.size();
        m_timer.start(m_response->delayMs);
    }

    void pump(QTcpSocket* socket) {
        if (!m_response || m_timer.isActive())
            return;
        const Response& r = *m_response;
        if (!m_headSent) {
            QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\n";
            for (const auto& [name, value] : r.headers)
                head += name + ": " + value + "\r\n";
            if (!r.omitContentLength)
                head += "Content-Length: " + QByteArray::number(m_size) + "\r\n";
            socket->write(head + "Connection: close\r\n\r\n");
            m_headSent = true;
        }
        const qint64 end = r.dropAfterBytes >= 0 ? std::min(m_size, r.dropAfterBytes) : m_size;
        while (m_sent < end) {
            if (m_timer.isActive() || socket->bytesToWrite() > kHighWaterBytes)
                return; // the timer or bytesWritten calls back
            const qint64 piece = r.chunkSize > 0            ? r.chunkSize
                                 : r.generatedBodySize >= 0 ? kGeneratedPieceSize
                                                            : kDefaultPieceSize;
            const qint64 size = std::min(piece, end - m_sent);
            socket->write(r.generatedBodySize >= 0 ? QByteArray(size, 'x') : r.body.mid(m_sent, size));
            m_sent += size;
            // A generated body, which may be endless, comes in paced pieces: a client draining an aborted
            // reply must find the socket empty now and then to get on with its next request.
            const int pause = r.generatedBodySize >= 0 ? std::max(r.intervalMs, 1) : r.intervalMs;
            if (pause > 0 && m_sent < m_size)
                m_timer.start(pause);
        }
        m_response.reset();
        // Writes what is still buffered, then closes; `disconnected` deletes this connection.
        socket->disconnectFromHost();
    }

    HttpTestServer* m_server;
    QTimer m_timer;
    QByteArray m_head;
    std::optional<Response> m_response;
    qint64 m_size = 0;
    qint64 m_sent = 0;
    bool m_headSent = false;
};

HttpTestServer::HttpTestServer(QObject* parent) : QObject(parent) {
    connect(&m_listener, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_listener.nextPendingConnection())
            new Connection(this, socket);
    });
    if (!start())
        qWarning("HttpTestServer: cannot listen on 127.0.0.1: %s", qPrintable(m_listener.errorString()));
}

HttpTestServer::~HttpTestServer() {
    stop();
}

bool HttpTestServer::start() {
    if (!m_listener.isListening() && !m_listener.listen(QHostAddress::LocalHost, m_port))
        return false;
    m_port = m_listener.serverPort();
    return true;
}

void HttpTestServer::stop() {
    m_listener.close();
    for (QTcpSocket* socket : findChildren<QTcpSocket*>())
        socket->abort();
}

QUrl HttpTestServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

int HttpTestServer::requestCount(const QString& path) const {
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&path](const Request& request) { return request.path == path; }));
}

int HttpTestServer::openConnectionCount() const {
    const QList<QTcpSocket*> sockets = findChildren<QTcpSocket*>();
    return int(std::count_if(sockets.cbegin(), sockets.cend(), [](const QTcpSocket* socket) {
        return socket->state() == QAbstractSocket::ConnectedState;
    }));
}
