// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// One card's poster task: fetches the URL (http or https through the application's network access, a
// file read for file URLs), decodes it off the main thread at the size the card draws, and tries at
// most four times, waiting 1, 2, 4 and 8 seconds after each failure. Destroying it cancels everything
// in flight; no further request is made.
class PosterLoad : public QObject {
    Q_OBJECT

public:
    static constexpr int maxAttempts = 4;
    static constexpr qint64 maxBodyBytes = qint64(16) * 1024 * 1024;
    static constexpr int maxSide = 8192;

    struct Decoded {
        QImage image;
        // Decoded at the image's own size rather than scaled down.
        bool natural = false;
    };

    // `target`: the pixel size the image must cover; the decoded image keeps its proportions.
    PosterLoad(QUrl url, QSize target, QNetworkAccessManager& network, QObject* parent = nullptr);
    ~PosterLoad() override;
    PosterLoad(const PosterLoad&) = delete;
    PosterLoad& operator=(const PosterLoad&) = delete;

    void start();
    [[nodiscard]] int attempts() const { return m_attempts; }

    // Bytes to image, scaled down to the smallest size that still covers `target`; an empty image for
    // bytes that are not a JPEG, PNG or WebP image, or one wider or taller than maxSide.
    [[nodiscard]] static Decoded decode(const QByteArray& bytes, const QSize& target);

    // One second of waiting in the retry schedule; tests shorten it.
    static void setRetryUnit(std::chrono::milliseconds unit);

Q_SIGNALS:
    void attempted(int attempts);
    void loaded(const QImage& image, bool natural);
    // After the fourth failure and its wait.
    void failed();

private:
    struct ReplyDeleter {
        void operator()(QNetworkReply* reply) const;
    };

    void attempt();
    void fetch();
    void finishFetch();
    void readFile();
    void decodeLater(QByteArray bytes);
    void finishDecode();
    void attemptFailed();

    QUrl m_url;
    QSize m_target;
    QNetworkAccessManager& m_network;
    std::unique_ptr<QNetworkReply, ReplyDeleter> m_reply;
    QFutureWatcher<Decoded> m_decoding;
    QTimer m_wait;
    std::shared_ptr<std::atomic_bool> m_cancelled = std::make_shared<std::atomic_bool>(false);
    int m_attempts = 0;
};
