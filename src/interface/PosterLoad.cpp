// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/PosterLoad.h"

#include "core/StallTimeout.h"
#include "interface/InterfaceLog.h"

#include <QAbstractNetworkCache>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThreadPool>
#include <QtConcurrent>
#include <cmath>

namespace {
std::chrono::milliseconds& retryUnit() {
    static std::chrono::milliseconds unit{1000};
    return unit;
}

// Decoding is short work; two threads keep a fast scroll from crowding out everything else.
QThreadPool& decodePool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(2);
        return p;
    }();
    return *pool;
}

bool isNetworkUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
// Posters are photographs: only these raster formats are decoded. Anything else, SVG above all (it may
// name other files to draw), is not handed to an image plugin at all.
QByteArray rasterFormat(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QByteArrayLiteral("jpeg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QByteArrayLiteral("png");
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.sliced(8, 4) == "WEBP")
        return QByteArrayLiteral("webp");
    return {};
}
} // namespace

void PosterLoad::ReplyDeleter::operator()(QNetworkReply* reply) const {
    reply->disconnect();
    reply->abort();
    reply->deleteLater();
}

PosterLoad::PosterLoad(QUrl url, QSize target, QNetworkAccessManager& network, QObject* parent)
    : QObject(parent), m_url(std::move(url)), m_target(target), m_network(network) {
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        if (m_attempts >= maxAttempts) {
            qCWarning(lcInterface).noquote()
                << "Poster not loaded after" << m_attempts << "attempts:" << m_url.toString();
            Q_EMIT failed();
        } else {
            attempt();
        }
    });
    connect(&m_decoding, &QFutureWatcher<Decoded>::finished, this, &PosterLoad::finishDecode);
}

PosterLoad::~PosterLoad() {
    m_cancelled->store(true);
    m_decoding.disconnect();
}

void PosterLoad::setRetryUnit(std::chrono::milliseconds unit) {
    retryUnit() = unit;
}

void PosterLoad::start() {
    if (m_attempts == 0 && !m_wait.isActive())
        attempt();
}

void PosterLoad::attempt() {
    ++m_attempts;
    Q_EMIT attempted(m_attempts);
    if (isNetworkUrl(m_url))
        fetch();
    else if (m_url.isLocalFile())
        readFile();
    else
        attemptFailed();
}

void PosterLoad::fetch() {
    // A card that grows decodes its poster again at the new size: from the bytes the disk cache kept,
    // however old, rather than the network. A retry asks the server.
    if (QAbstractNetworkCache* cache = m_network.cache(); cache && m_attempts == 1) {
        if (const std::unique_ptr<QIODevice> kept(cache->data(m_url)); kept) {
            decodeLater(kept->read(maxBodyBytes + 1));
            return;
        }
    }
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // A server that goes silent ends the attempt; the retry schedule takes it from there.
    request.setTransferTimeout(int(StallTimeout::value().count()));
    m_reply.reset(m_network.get(request));
    QNetworkReply* reply = m_reply.get();
    const auto tooLarge = [this] {
        m_reply.reset();
        attemptFailed();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBodyBytes)
            tooLarge();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [tooLarge](qint64 received, qint64) {
        if (received > maxBodyBytes)
            tooLarge();
    });
    connect(reply, &QNetworkReply::finished, this, &PosterLoad::finishFetch);
}

void PosterLoad::finishFetch() {
    const std::unique_ptr<QNetworkReply, ReplyDeleter> reply = std::move(m_reply);
    // The status code is not examined: an error page is simply bytes that are not an image. Only a
    // failed transfer counts as a failure before decoding.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const QByteArray body = reply->readAll();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool complete = !length.isValid() || body.size() == length.toLongLong();
    const QNetworkReply::NetworkError error = reply->error();
    const bool transferFailed =
        !answered || (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied);
    if (transferFailed || !complete || body.size() > maxBodyBytes) {
        attemptFailed();
        return;
    }
    decodeLater(body);
}

void PosterLoad::readFile() {
    const QString path = m_url.toLocalFile();
    const QSize target = m_target;
    m_decoding.setFuture(
        QtConcurrent::run(&decodePool(), [path, target, cancelled = m_cancelled]() -> Decoded {
            if (cancelled->load())
                return {};
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || file.size() > maxBodyBytes)
                return {};
            return decode(file.read(maxBodyBytes + 1), target);
        }));
}

void PosterLoad::decodeLater(QByteArray bytes) {
    const QSize target = m_target;
    m_decoding.setFuture(QtConcurrent::run(
        &decodePool(), [bytes = std::move(bytes), target, cancelled = m_cancelled]() -> Decoded {
            if (cancelled->load())
                return {};
            return decode(bytes, target);
        }));
}

void PosterLoad::finishDecode() {
    const Decoded decoded = m_decoding.result();
    if (decoded.image.isNull()) {
        attemptFailed();
        return;
    }
    Q_EMIT loaded(decoded.image, decoded.natural);
}

void PosterLoad::attemptFailed() {
    // 1, 2, 4 and 8 seconds after the first, second, third and fourth failure.
    m_wait.start(retryUnit() * (1 << (m_attempts - 1)));
}

PosterLoad::Decoded PosterLoad::decode(const QByteArray& bytes, const QSize& target) {
    const QByteArray format = rasterFormat(bytes);
    if (format.isEmpty() || bytes.size() > maxBodyBytes)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > maxSide || size.height() > maxSide))
        return {};
    bool natural = true;
    if (size.isValid() && !size.isEmpty() && target.isValid() && !target.isEmpty()) {
        const double scale =
            std::max(double(target.width()) / size.width(), double(target.height()) / size.height());
        if (scale < 1.0) {
            reader.setScaledSize(QSize(std::max(1, int(std::ceil(size.width() * scale))),
                                       std::max(1, int(std::ceil(size.height() * scale)))));
            natural = false;
        }
    }
    QImage image = reader.read();
    if (image.isNull() || image.width() > maxSide || image.height() > maxSide)
        return {};
    // The format the scene graph uploads without converting.
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_RGBA8888_Premultiplied
                                            : QImage::Format_RGBX8888);
    return {std::move(image), natural};
}
