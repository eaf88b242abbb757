// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/FfmpegMediaInspector.h"
#include "support/TestVideos.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize kPosterBox(960, 540);
constexpr int kQuality = 85;
// Posters compared with reference frames are made at full quality to keep JPEG's error small.
constexpr int kCompareQuality = 100;

// Mean absolute difference per colour channel, 0 to 255, at a quarter of the size so that JPEG's
// ringing at sharp edges counts less than content that moved.
double difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 255;
    const auto reduced = [](const QImage& image) {
        return image.convertToFormat(QImage::Format_RGB32)
            .scaled(image.size() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage x = reduced(a);
    const QImage y = reduced(b);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column)
            sum += std::abs(qRed(p[column]) - qRed(q[column])) +
                   std::abs(qGreen(p[column]) - qGreen(q[column])) +
                   std::abs(qBlue(p[column]) - qBlue(q[column]));
    }
    return sum / (3.0 * x.width() * x.height());
}

// A copy of an MP4 file with the payload of its first box of the given type rewritten.
QString patchedCopy(const QString& source, const QString& target, QByteArrayView box,
                    const std::function<void(char* payload, qsizetype size)>& patch) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    const qsizetype type = bytes.indexOf(box);
    if (type < 4)
        return {};
    const qsizetype size = qFromBigEndian<quint32>(bytes.constData() + type - 4);
    patch(bytes.data() + type + 4, size - 8);
    QFile out(target);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() ? target : QString();
}

// Sets the track matrix (a b u / c d v / x y w, as QuickTime stores it) of a version-0 track header.
QString withTrackMatrix(const QString& source, const QString& target, const std::array<qint32, 9>& matrix) {
    return patchedCopy(source, target, "tkhd", [&](char* payload, qsizetype) {
        for (std::size_t i = 0; i < matrix.size(); ++i)
            qToBigEndian(matrix[i], payload + 40 + 4 * static_cast<qsizetype>(i));
    });
}

} // namespace

class TestFfmpegMediaInspector : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void probesAndPostersEveryKind_data();
    void probesAndPostersEveryKind();
    void posterFitsTheBoxWithoutGrowing_data();
    void posterFitsTheBoxWithoutGrowing();
    void posterMatchesFfmpegsOwnFrame_data();
    void posterMatchesFfmpegsOwnFrame();
    void posterAppliesMirroring();
    void posterFollowsTheRequestedTime();
    void qualityControlsTheJpeg();
    void concurrentCallsAgreeWithSerialOnes();
    void stillImagesAreNoVideos();

private:
    [[nodiscard]] QImage poster(const QString& path, double atSeconds, QSize box = kPosterBox) const;

    TestVideos m_videos;
    FfmpegMediaInspector m_inspector;
};

QImage TestFfmpegMediaInspector::poster(const QString& path, double atSeconds, QSize box) const {
    const auto jpeg = m_inspector.posterJpeg(path, atSeconds, box, kCompareQuality);
    return jpeg ? QImage::fromData(*jpeg, "JPEG") : QImage();
}

void TestFfmpegMediaInspector::probesAndPostersEveryKind_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<double>("seconds");
    for (const TestVideo kind : TestVideos::allKinds()) {
        const TestVideoInfo info = TestVideos::info(kind);
        QTest::newRow(qPrintable(info.fileName)) << m_videos.path(kind) << info.isVideo << info.seconds;
    }
    QTest::newRow("missing file") << m_videos.folder() + u"/missing.mp4"_s << false << 0.0;
    QTest::newRow("empty path") << QString() << false << 0.0;
    // A playlist naming a good local video is still no video file.
    QFile playlist(m_videos.folder() + u"/playlist.m3u8"_s);
    QVERIFY(playlist.open(QIODevice::WriteOnly));
    playlist.write("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nfile:" +
                   QFile::encodeName(m_videos.path(TestVideo::TinySilent)) + "\n#EXT-X-ENDLIST\n");
    playlist.close();
    QTest::newRow("playlist") << playlist.fileName() << false << 0.0;
    // The container is intact, so only decoding can tell that nothing plays.
    QTest::newRow("undecodable frames")
        << patchedCopy(m_videos.path(TestVideo::TinySilent), m_videos.folder() + u"/zeroed.mp4"_s, "mdat",
                       [](char* payload, qsizetype size) { std::fill(payload, payload + size, '\0'); })
        << false << 0.0;
}

void TestFfmpegMediaInspector::probesAndPostersEveryKind() {
    QFETCH(QString, path);
    QFETCH(bool, usable);
    QFETCH(double, seconds);
    QVERIFY(!path.isEmpty() || QTest::currentDataTag() == "empty path"_L1);

    const std::optional<double> duration = m_inspector.probeVideo(path);
    QCOMPARE(duration.has_value(), usable);
    if (usable)
        QVERIFY2(std::abs(*duration - seconds) < 0.1, qPrintable(QString::number(*duration)));
    const QImage image = poster(path, 1.0);
    QCOMPARE(!image.isNull(), usable);
}

void TestFfmpegMediaInspector::posterFitsTheBoxWithoutGrowing_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("1080p halves") << m_videos.path(TestVideo::Hd1080WithAudio) << kPosterBox
                                  << QSize(960, 540);
    QTest::newRow("tiny stays") << m_videos.path(TestVideo::TinySilent) << kPosterBox << QSize(160, 90);
    QTest::newRow("rotated is portrait")
        << m_videos.path(TestVideo::RotatedPortrait) << kPosterBox << QSize(180, 320);
    QTest::newRow("rotated, small box")
        << m_videos.path(TestVideo::RotatedPortrait) << QSize(100, 100) << QSize(56, 100);
    QTest::newRow("4:3, width bound")
        << m_videos.path(TestVideo::FourByThree) << QSize(320, 320) << QSize(320, 240);
    QTest::newRow("non-square pixels")
        << m_videos.makeCustom(u"wide-pixels.mp4"_s,
                               {u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc2=size=320x180:duration=1,setsar=2"_s,
                                u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s})
        << kPosterBox << QSize(640, 180);
}

void TestFfmpegMediaInspector::posterFitsTheBoxWithoutGrowing() {
    QFETCH(QString, path);
    QFETCH(QSize, box);
    QFETCH(QSize, expected);
    QVERIFY(!path.isEmpty());
    QCOMPARE(poster(path, 0.5, box).size(), expected);
}

void TestFfmpegMediaInspector::posterMatchesFfmpegsOwnFrame_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<double>("atSeconds");
    const QString plain = m_videos.path(TestVideo::MyHolidayMp4);
    const auto rotated = [&](int degrees) {
        return m_videos.makeCustom(
            u"rotate-%1.mp4"_s.arg(degrees),
            {u"-i"_s, plain, u"-c"_s, u"copy"_s, u"-metadata:s:v:0"_s, u"rotate=%1"_s.arg(degrees)});
    };
    QTest::newRow("upright") << plain << 0.0;
    QTest::newRow("phone portrait") << m_videos.path(TestVideo::RotatedPortrait) << 0.0;
    QTest::newRow("rotate 90") << rotated(90) << 0.0;
    QTest::newRow("rotate 180") << rotated(180) << 0.0;
    QTest::newRow("1.5 s clip at 0.75 s") << m_videos.path(TestVideo::Short1_5s) << 0.75;
    QTest::newRow("10 s clip at 1 s") << m_videos.path(TestVideo::Long10s) << 1.0;
    QTest::newRow("10 s clip at 7.4 s") << m_videos.path(TestVideo::Long10s) << 7.4;
}

// ffmpeg's command-line tool turns frames upright and seeks exactly, so its frame is the reference.
void TestFfmpegMediaInspector::posterMatchesFfmpegsOwnFrame() {
    QFETCH(QString, path);
    QFETCH(double, atSeconds);
    QVERIFY(!path.isEmpty());
    const QString reference = m_videos.makeCustom(
        u"reference-%1.png"_s.arg(QString::fromUtf8(QTest::currentDataTag())).replace(u' ', u'-'),
        {u"-ss"_s, QString::number(atSeconds), u"-i"_s, path, u"-frames:v"_s, u"1"_s});
    QVERIFY(!reference.isEmpty());

    const QImage expected(reference);
    const QImage actual = poster(path, atSeconds);
    QCOMPARE(actual.size(), expected.size());
    const double distance = difference(actual, expected);
    QVERIFY2(distance < 3, qPrintable(QString::number(distance)));
}

void TestFfmpegMediaInspector::posterAppliesMirroring() {
    const QString plain = m_videos.path(TestVideo::MyHolidayMp4);
    QVERIFY(!plain.isEmpty());
    const QImage upright = poster(plain, 0);
    constexpr qint32 one = 1 << 16;
    constexpr qint32 w = 1 << 30;
    const QString mirrored = withTrackMatrix(plain, m_videos.folder() + u"/mirrored.mp4"_s,
                                             {-one, 0, 0, 0, one, 0, 320 * one, 0, w});
    const QString upsideDown = withTrackMatrix(plain, m_videos.folder() + u"/upside-down.mp4"_s,
                                               {one, 0, 0, 0, -one, 0, 0, 180 * one, w});
    QVERIFY(!mirrored.isEmpty() && !upsideDown.isEmpty());
    QVERIFY(difference(poster(mirrored, 0), upright.mirrored(true, false)) < 2);
    QVERIFY(difference(poster(upsideDown, 0), upright.mirrored(false, true)) < 2);
    QVERIFY(difference(upright, upright.mirrored(true, false)) > 20);
}

void TestFfmpegMediaInspector::posterFollowsTheRequestedTime() {
    const QString path = m_videos.path(TestVideo::Short1_5s);
    QVERIFY(!path.isEmpty());
    // The clip's hue turns half-way round by 0.75 s.
    QVERIFY(difference(poster(path, 0), poster(path, 0.75)) > 30);
    // MPEG-TS has no index, and this stream's only keyframe is its first frame.
    const QString unindexed = m_videos.makeCustom(u"unindexed.ts"_s, {u"-i"_s, path, u"-c"_s, u"copy"_s});
    QVERIFY(!unindexed.isEmpty());
    QVERIFY(difference(poster(unindexed, 0.75), poster(path, 0.75)) < 1);
    // Past the end the last frame stands in; a negative or undefined time means the start.
    QVERIFY(difference(poster(path, 60), poster(path, 1.49)) < 1);
    QVERIFY(difference(poster(path, -1), poster(path, 0)) < 1);
    QVERIFY(difference(poster(path, qQNaN()), poster(path, 0)) < 1);
}

void TestFfmpegMediaInspector::qualityControlsTheJpeg() {
    const QString path = m_videos.path(TestVideo::FourByThree);
    QVERIFY(!path.isEmpty());
    const auto low = m_inspector.posterJpeg(path, 1, kPosterBox, 10);
    const auto high = m_inspector.posterJpeg(path, 1, kPosterBox, 95);
    QVERIFY(low && high);
    QVERIFY(low->startsWith("\xFF\xD8") && high->startsWith("\xFF\xD8"));
    QVERIFY(low->size() < high->size());
}

void TestFfmpegMediaInspector::concurrentCallsAgreeWithSerialOnes() {
    const QList<TestVideo> kinds{TestVideo::Hd1080Silent, TestVideo::RotatedPortrait, TestVideo::Long10s,
                                 TestVideo::AudioWithCover};
    QStringList paths;
    for (const TestVideo kind : kinds)
        paths << m_videos.path(kind);
    QVERIFY(!paths.contains(QString()));

    struct Result {
        std::optional<double> duration;
        std::optional<QByteArray> jpeg;
    };
    const auto inspect = [&](const QString& path) {
        return Result{m_inspector.probeVideo(path), m_inspector.posterJpeg(path, 1.0, kPosterBox, kQuality)};
    };
    std::vector<Result> parallel(paths.size());
    {
        std::vector<std::jthread> threads;
        for (qsizetype i = 0; i < paths.size(); ++i)
            threads.emplace_back([&, i] { parallel[i] = inspect(paths[i]); });
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const Result serial = inspect(paths[i]);
        QVERIFY(parallel[i].duration == serial.duration);
        QVERIFY(parallel[i].jpeg == serial.jpeg);
    }
}

void TestFfmpegMediaInspector::stillImagesAreNoVideos() {
    for (const QString& name : {u"still.png"_s, u"still.jpg"_s, u"still-png.mp4"_s}) {
        const QString path =
            m_videos.makeCustom(name, {u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc2=s=320x180"_s, u"-frames:v"_s,
                                       u"1"_s, u"-f"_s, name.endsWith(u".jpg"_s) ? u"mjpeg"_s : u"image2"_s,
                                       u"-c:v"_s, name.endsWith(u".jpg"_s) ? u"mjpeg"_s : u"png"_s});
        QVERIFY(!path.isEmpty());
        QVERIFY2(!m_inspector.probeVideo(path), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(TestFfmpegMediaInspector)
#include "tst_ffmpegmediainspector.moc"
