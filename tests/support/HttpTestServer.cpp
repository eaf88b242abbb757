// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/HttpTestServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace {

constexpr qint64 kDefaultPieceSize = qint64(64) * 1024;
// More body is written only once the socket has drained below this, so a huge body never sits in memory.
constexpr qint64 kHighWaterBytes = qint64(256) * 1024;
constexpr qsizetype kMaxHeaderBytes = qsizetype(64) * 1024;
// A prime period, so a piece delivered at the wrong offset never matches by accident.
constexpr qint64 kPatternPeriod = 251;

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const QByteArray* findHeader(const HttpTestServer::Headers& headers, const QByteArray& name) {
    for (const auto& [key, value] : headers) {
        if (sameName(key, name))
            return &value;
    }
    return nullptr;
}

bool headerHasToken(const HttpTestServer::Headers& headers, const QByteArray& name, const QByteArray& token) {
    for (const auto& [key, value] : headers) {
        if (!sameName(key, name))
            continue;
        for (const QByteArray& part : value.split(',')) {
            if (sameName(part.trimmed(), token))
                return true;
        }
    }
    return false;
}

bool statusAllowsBody(int status) {
    return status >= 200 && status != 204 && status != 304;
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

enum class Parse { Incomplete, Complete, Bad };

// Decodes a chunked request body starting at `pos`; on success `pos` ends just past it.
Parse decodeChunked(const QByteArray& buffer, qsizetype& pos, QByteArray& body) {
    qsizetype at = pos;
    for (;;) {
        const qsizetype lineEnd = buffer.indexOf("\r\n", at);
        if (lineEnd < 0)
            return Parse::Incomplete;
        QByteArray sizeField = buffer.mid(at, lineEnd - at);
        if (const qsizetype semicolon = sizeField.indexOf(';'); semicolon >= 0)
            sizeField.truncate(semicolon);
        bool ok = false;
        const qint64 size = sizeField.trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0)
            return Parse::Bad;
        at = lineEnd + 2;
        if (size == 0) {
            for (;;) { // trailers, up to an empty line
                const qsizetype end = buffer.indexOf("\r\n", at);
                if (end < 0)
                    return Parse::Incomplete;
                if (end == at) {
                    pos = end + 2;
                    return Parse::Complete;
                }
                at = end + 2;
            }
        }
        if (buffer.size() < at + size + 2)
            return Parse::Incomplete;
        body.append(buffer.constData() + at, size);
        at += size + 2;
    }
}

} // namespace

QByteArray HttpTestServer::Request::header(const QByteArray& name) const {
    const QByteArray* value = findHeader(headers, name);
    return value ? *value : QByteArray();
}

bool HttpTestServer::Request::hasHeader(const QByteArray& name) const {
    return findHeader(headers, name) != nullptr;
}

HttpTestServer::Response HttpTestServer::Response::redirect(const QUrl& location, int status) {
    Response response;
    response.status = status;
    response.headers.emplaceBack("Location", location.toEncoded());
    return response;
}

// One client connection: reads requests one after another and answers each according to its Response.
class HttpTestServer::Connection : public QObject {
public:
    Connection(HttpTestServer* server, QTcpSocket* socket);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] bool isOpen() const {
        return m_state != State::Closed && m_socket->state() == QAbstractSocket::ConnectedState;
    }
    void abortNow();

private:
    enum class State { Reading, Delaying, Sending, Closing, Closed };

    void onReadyRead();
    void processBuffer();
    [[nodiscard]] Parse parseRequest(Request& request);
    void respond(const Request& request);
    void sendHead();
    void pump();
    void finishResponse();
    void closeGracefully();

    HttpTestServer* m_server;
    QTcpSocket* m_socket;
    QTimer m_timer;
    QByteArray m_buffer;
    State m_state = State::Reading;
    Response m_response;
    bool m_sendBody = false;
    bool m_chunked = false;
    bool m_closeAfter = false;
    qint64 m_bodySize = 0;
    qint64 m_sent = 0;
};

HttpTestServer::Connection::Connection(HttpTestServer* server, QTcpSocket* socket)
    : QObject(server), m_server(server), m_socket(socket) {
    m_server->m_connections.insert(this);
    m_socket->setParent(this);
    // Small writes with pauses between them must not wait for delayed acknowledgements.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_state == State::Delaying)
            sendHead();
        else
            pump();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_state == State::Sending)
            pump();
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_state = State::Closed;
        m_timer.stop();
        deleteLater();
    });
    if (m_socket->bytesAvailable() > 0)
        onReadyRead();
}

HttpTestServer::Connection::~Connection() {
    QObject::disconnect(m_socket, nullptr, this, nullptr);
    m_server->m_connections.remove(this);
}

void HttpTestServer::Connection::abortNow() {
    m_state = State::Closed;
    m_timer.stop();
    m_socket->abort();
    deleteLater();
}

void HttpTestServer::Connection::closeGracefully() {
    m_state = State::Closing;
    m_timer.stop();
    m_response = {};
    // Writes what is still buffered, then closes; `disconnected` deletes this connection.
    m_socket->disconnectFromHost();
}

void HttpTestServer::Connection::onReadyRead() {
    m_buffer.append(m_socket->readAll());
    processBuffer();
}

void HttpTestServer::Connection::processBuffer() {
    while (m_state == State::Reading && isOpen()) {
        Request request;
        switch (parseRequest(request)) {
        case Parse::Incomplete:
            return;
        case Parse::Bad:
            m_socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            closeGracefully();
            return;
        case Parse::Complete:
            respond(request);
            break;
        }
    }
}

Parse HttpTestServer::Connection::parseRequest(Request& request) {
    while (m_buffer.startsWith("\r\n"))
        m_buffer.remove(0, 2);
    const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return m_buffer.size() > kMaxHeaderBytes ? Parse::Bad : Parse::Incomplete;

    const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || requestLine[0].isEmpty() || requestLine[1].isEmpty())
        return Parse::Bad;
    request.method = requestLine[0];
    request.target = requestLine[1];
    request.version = requestLine[2];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return Parse::Bad;
        request.headers.emplaceBack(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }

    if (request.target.startsWith('/')) {
        const qsizetype question = request.target.indexOf('?');
        request.path =
            QUrl::fromPercentEncoding(question < 0 ? request.target : request.target.first(question));
        if (question >= 0)
            request.query.setQuery(QString::fromUtf8(request.target.sliced(question + 1)));
    } else {
        const QUrl url = QUrl::fromEncoded(request.target);
        request.path = url.path();
        request.query.setQuery(url.query(QUrl::FullyEncoded));
    }

    qsizetype end = headEnd + 4;
    if (headerHasToken(request.headers, "Transfer-Encoding", "chunked")) {
        if (const Parse result = decodeChunked(m_buffer, end, request.body); result != Parse::Complete)
            return result;
    } else if (const QByteArray* length = findHeader(request.headers, "Content-Length")) {
        bool ok = false;
        const qint64 size = length->toLongLong(&ok);
        if (!ok || size < 0)
            return Parse::Bad;
        if (m_buffer.size() < end + size)
            return Parse::Incomplete;
        request.body = m_buffer.mid(end, size);
        end += size;
    }
    m_buffer.remove(0, end);
    return Parse::Complete;
}

void HttpTestServer::Connection::respond(const Request& request) {
    m_server->m_requests.append(request);
    Q_EMIT m_server->requestReceived(request);
    if (!isOpen()) // a slot stopped the server
        return;

    m_response = m_server->responseFor(request);
    const bool http10 = request.version == "HTTP/1.0";
    m_closeAfter = headerHasToken(request.headers, "Connection", "close") ||
                   (http10 && !headerHasToken(request.headers, "Connection", "keep-alive")) ||
                   headerHasToken(m_response.headers, "Connection", "close");
    m_chunked = m_response.chunked || headerHasToken(m_response.headers, "Transfer-Encoding", "chunked");
    if (statusAllowsBody(m_response.status) && !m_chunked && m_response.omitContentLength)
        m_closeAfter = true;
    m_sendBody = request.method != "HEAD" && statusAllowsBody(m_response.status);
    m_bodySize = m_response.generatedBodySize >= 0 ? m_response.generatedBodySize : m_response.body.size();
    m_sent = 0;

    if (m_response.delayMs > 0) {
        m_state = State::Delaying;
        m_timer.start(m_response.delayMs);
    } else {
        sendHead();
    }
}

void HttpTestServer::Connection::sendHead() {
    const Response& r = m_response;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) + "\r\n";
    for (const auto& [name, value] : r.headers)
        head += name + ": " + value + "\r\n";
    if (statusAllowsBody(r.status)) {
        if (r.chunked && !findHeader(r.headers, "Transfer-Encoding"))
            head += "Transfer-Encoding: chunked\r\n";
        else if (!m_chunked && !r.omitContentLength && !findHeader(r.headers, "Content-Length"))
            head += "Content-Length: " + QByteArray::number(m_bodySize) + "\r\n";
    }
    if (m_closeAfter && !findHeader(r.headers, "Connection"))
        head += "Connection: close\r\n";
    head += "\r\n";
    m_socket->write(head);

    m_state = State::Sending;
    if (m_sendBody)
        pump();
    else
        finishResponse();
}

void HttpTestServer::Connection::pump() {
    const qint64 pieceSize = m_response.chunkSize > 0 ? m_response.chunkSize : kDefaultPieceSize;
    const qint64 dropAt = m_response.dropAfterBytes;
    while (m_state == State::Sending) {
        if (dropAt >= 0 && m_sent >= dropAt && m_sent < m_bodySize) {
            closeGracefully();
            return;
        }
        if (m_sent >= m_bodySize) {
            finishResponse();
            return;
        }
        if (m_timer.isActive() || m_socket->bytesToWrite() > kHighWaterBytes)
            return; // the timer or bytesWritten calls back

        qint64 size = std::min(pieceSize, m_bodySize - m_sent);
        if (dropAt >= 0)
            size = std::min(size, dropAt - m_sent);
        const QByteArray piece = m_response.generatedBodySize >= 0 ? generatedBody(m_sent, size)
                                                                   : m_response.body.mid(m_sent, size);
        if (m_chunked)
            m_socket->write(QByteArray::number(size, 16) + "\r\n" + piece + "\r\n");
        else
            m_socket->write(piece);
        m_sent += size;
        if (m_response.intervalMs > 0 && m_sent < m_bodySize)
            m_timer.start(m_response.intervalMs);
    }
}

void HttpTestServer::Connection::finishResponse() {
    if (m_chunked && m_sendBody)
        m_socket->write("0\r\n\r\n");
    if (m_closeAfter) {
        closeGracefully();
        return;
    }
    m_response = {};
    m_state = State::Reading;
    // Pipelined requests that arrived meanwhile; processBuffer's own loop covers the synchronous case.
    if (!m_buffer.isEmpty())
        QMetaObject::invokeMethod(this, &Connection::processBuffer, Qt::QueuedConnection);
}

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
    // Connections remove themselves from m_connections, which must still exist then.
    qDeleteAll(QSet<Connection*>(m_connections));
}

bool HttpTestServer::start() {
    if (m_listener.isListening())
        return true;
    if (!m_listener.listen(QHostAddress::LocalHost, m_port))
        return false;
    m_port = m_listener.serverPort();
    return true;
}

void HttpTestServer::stop() {
    m_listener.close();
    for (Connection* connection : QSet<Connection*>(m_connections))
        connection->abortNow();
}

QUrl HttpTestServer::baseUrl() const {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_port);
    return url;
}

QUrl HttpTestServer::url(const QString& path) const {
    QUrl url = baseUrl();
    const qsizetype question = path.indexOf(u'?');
    url.setPath(question < 0 ? path : path.first(question));
    if (question >= 0)
        url.setQuery(path.sliced(question + 1));
    return url;
}

void HttpTestServer::setResponse(const QString& path, Response response) {
    m_routes.insert(path, response);
}

void HttpTestServer::removeResponse(const QString& path) {
    m_routes.remove(path);
}

void HttpTestServer::setHandler(std::function<Response(const Request&)> handler) {
    m_handler = std::move(handler);
}

int HttpTestServer::requestCount(const QString& path) const {
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&path](const Request& request) { return request.path == path; }));
}

int HttpTestServer::openConnectionCount() const {
    return int(std::count_if(m_connections.cbegin(), m_connections.cend(),
                             [](const Connection* connection) { return connection->isOpen(); }));
}

QByteArray HttpTestServer::generatedBody(qint64 offset, qint64 size) {
    static const QByteArray period = [] {
        QByteArray bytes(kPatternPeriod, Qt::Uninitialized);
        for (qint64 i = 0; i < kPatternPeriod; ++i)
            bytes[i] = char(i);
        return bytes;
    }();
    QByteArray out;
    out.reserve(size);
    qint64 at = offset % kPatternPeriod;
    while (out.size() < size) {
        const qint64 n = std::min(kPatternPeriod - at, size - out.size());
        out.append(period.constData() + at, n);
        at = 0;
    }
    return out;
}

HttpTestServer::Response HttpTestServer::responseFor(const Request& request) const {
    if (const auto it = m_routes.constFind(request.path); it != m_routes.cend())
        return *it;
    if (m_handler)
        return m_handler(request);
    Response notFound;
    notFound.status = 404;
    notFound.headers.emplaceBack("Content-Type", "text/plain");
    notFound.body = "Not Found\n";
    return notFound;
}
