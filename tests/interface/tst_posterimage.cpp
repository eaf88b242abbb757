// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/StallTimeout.h"
#include "interface/PosterCache.h"
#include "interface/PosterImage.h"
#include "interface/PosterLoad.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"

#include <QBuffer>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
QByteArray encoded(QSize size, const char* format = "PNG") {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}
} // namespace

Q_DECLARE_METATYPE(HttpTestServer::Response)

class TestPosterImage : public QObject {
    Q_OBJECT

    TempXdgHome m_home;
    HttpTestServer m_server;
    std::unique_ptr<QQuickWindow> m_window;

    std::unique_ptr<PosterImage> poster(const QString& path, QSizeF size = {320, 180}) {
        auto item = std::make_unique<PosterImage>();
        item->setParentItem(m_window->contentItem());
        item->setSize(size);
        item->setSource(path.startsWith("/") ? m_server.url(path) : QUrl(path));
        return item;
    }

private Q_SLOTS:
    void initTestCase() {
        PosterLoad::setRetryUnit(std::chrono::milliseconds(5));
        StallTimeout::set(std::chrono::milliseconds(500));
        m_window = std::make_unique<QQuickWindow>();
        m_window->resize(800, 600);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void init() {
        PosterCache::shared().clear();
        m_server.clearRequests();
    }

    void decodesAtTheDrawnSizeAndCaches() {
        m_server.setResponse("/p.png", {.body = encoded({1920, 1080})});
        auto first = poster("/p.png");
        QTRY_COMPARE(first->status(), PosterImage::Ready);
        // Scaled down to cover the card, not kept at full size.
        QCOMPARE(first->imageSize(), QSize(320, 180));

        // A second card, or the same card coming back, draws from the cache at once.
        auto second = poster("/p.png");
        QCOMPARE(second->status(), PosterImage::Ready);
        QCOMPARE(m_server.requestCount("/p.png"), 1);

        // A much bigger card decodes a sharper image, from the disk cache rather than the network.
        auto big = poster("/p.png", {960, 540});
        QTRY_COMPARE(big->status(), PosterImage::Ready);
        QCOMPARE(big->imageSize(), QSize(960, 540));
        QCOMPARE(m_server.requestCount("/p.png"), 1);

        // A poster on disk is read and scaled the same way.
        QTemporaryDir dir;
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(dir.filePath("poster.jpg")));
        auto file = poster(QUrl::fromLocalFile(dir.filePath("poster.jpg")).toString());
        QTRY_COMPARE(file->status(), PosterImage::Ready);
        QCOMPARE(file->imageSize(), QSize(320, 240));
    }

    // What fails is tried again up to the limit and shows nothing.
    void loads_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<HttpTestServer::Response>("response");
        QTest::addColumn<bool>("ready");
        using Response = HttpTestServer::Response;
        const qint64 over = PosterLoad::maxBodyBytes + 1;
        QTest::newRow("over 16 MiB") << "/huge.png" << Response{.generatedBodySize = over} << false;
        QTest::newRow("over 16 MiB, no length")
            << "/endless.png" << Response{.generatedBodySize = over, .omitContentLength = true} << false;
        QTest::newRow("over 8192 pixels") << "/wide.png" << Response{.body = encoded({8193, 4})} << false;
        QTest::newRow("stalled") << "/stalled.png"
                                 << Response{.body = encoded({64, 64}), .chunkSize = 16, .intervalMs = 60'000}
                                 << false;
        QTest::newRow("BMP") << "/p.bmp" << Response{.body = encoded({64, 64}, "BMP")} << false;
        QTest::newRow("cut short") << "/short.png"
                                   << Response{.body = encoded({64, 64}), .dropAfterBytes = 40} << false;
        QTest::newRow("largest") << "/largest.png" << Response{.body = encoded({8192, 8})} << true;
        QTest::newRow("JPEG") << "/p.jpg" << Response{.body = encoded({64, 36}, "JPEG")} << true;
        QTest::newRow("WebP") << "/p.webp" << Response{.body = encoded({64, 36}, "WEBP")} << true;
    }
    void loads() {
        QFETCH(QString, path);
        QFETCH(HttpTestServer::Response, response);
        QFETCH(bool, ready);
        m_server.setResponse(path, response);
        auto item = poster(path, {64, 36});
        QTRY_COMPARE_WITH_TIMEOUT(item->status(), ready ? PosterImage::Ready : PosterImage::Failed, 20000);
        QCOMPARE(item->attempts(), ready ? 1 : PosterLoad::maxAttempts);
        QCOMPARE(m_server.requestCount(path), item->attempts());
        QCOMPARE(item->imageSize().isEmpty(), !ready);
    }

    // A card scrolled away while waiting to retry makes no further request.
    void goingAwayCancelsTheLoad() {
        m_server.setResponse("/flaky.png", {.status = 500, .body = "busy"});
        PosterLoad::setRetryUnit(std::chrono::milliseconds(200));
        auto waiting = poster("/flaky.png");
        QTRY_COMPARE(waiting->attempts(), 1);
        waiting.reset();
        QTest::qWait(500);
        PosterLoad::setRetryUnit(std::chrono::milliseconds(5));
        QCOMPARE(m_server.requestCount("/flaky.png"), 1);
    }

    void cacheStaysWithinItsBudget() {
        PosterCache cache(1024 * 1024);
        QImage image(256, 256, QImage::Format_RGBX8888); // 256 KiB
        for (int i = 0; i < 10; ++i)
            cache.insert(QUrl(QString("https://example.org/%1.jpg").arg(i)), image, false);
        // The newest stay.
        QCOMPARE(cache.count(), 4);
        QVERIFY(cache.find(QUrl("https://example.org/9.jpg"), {256, 256}));
        // An image decoded at its own full size serves any bigger card.
        cache.insert(QUrl("https://example.org/n.jpg"), image, true);
        QVERIFY(cache.find(QUrl("https://example.org/n.jpg"), {512, 512}));
    }
};

QTEST_MAIN(TestPosterImage)
#include "tst_posterimage.moc"
