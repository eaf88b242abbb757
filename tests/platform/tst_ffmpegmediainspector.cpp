// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/FfmpegMediaInspector.h"
#include "support/TestVideos.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>
#include <array>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr QSize kPosterBox(960, 540);

// Mean absolute difference per colour channel, 0 to 255, at a quarter of the size so that JPEG's
// ringing at sharp edges counts less than content that moved.
double difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.scaled(a.size() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage y = b.scaled(b.size() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
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
    patch(bytes.data() + type + 4, qFromBigEndian<quint32>(bytes.constData() + type - 4) - 8);
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

    TestVideos m_videos;
    FfmpegMediaInspector m_inspector;

    // Posters compared with reference frames are made at full quality to keep JPEG's error small.
    [[nodiscard]] QImage poster(const QString& path, double atSeconds, QSize box = kPosterBox) const {
        const auto jpeg = m_inspector.posterJpeg(path, atSeconds, box, 100);
        return jpeg ? QImage::fromData(*jpeg, "JPEG").convertToFormat(QImage::Format_RGB32) : QImage();
    }

    [[nodiscard]] QString still(const QString& name, const QString& format, const QString& codec) {
        return m_videos.makeCustom(
            name, {"-f", "lavfi", "-i", "testsrc2=s=320x180", "-frames:v", "1", "-f", format, "-c:v", codec});
    }

private Q_SLOTS:
    void probesAndPostersEveryKind_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<double>("seconds"); // -1: no video
        QTest::addColumn<bool>("poster");
        for (const TestVideo kind : TestVideos::allKinds()) {
            const TestVideoInfo info = TestVideos::info(kind);
            QTest::newRow(qPrintable(info.fileName))
                << m_videos.path(kind) << (info.isVideo ? info.seconds : -1) << info.isVideo;
        }
        QTest::newRow("missing file") << m_videos.folder() + u"/missing.mp4"_s << -1.0 << false;
        // A playlist naming a good local video is still no video file.
        QFile playlist(m_videos.folder() + u"/playlist.m3u8"_s);
        QVERIFY(playlist.open(QIODevice::WriteOnly));
        playlist.write("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nfile:" +
                       QFile::encodeName(m_videos.path(TestVideo::TinySilent)) + "\n#EXT-X-ENDLIST\n");
        playlist.close();
        QTest::newRow("playlist") << playlist.fileName() << -1.0 << false;
        // The container is intact, so only decoding can tell that nothing plays.
        QTest::newRow("undecodable frames")
            << patchedCopy(m_videos.path(TestVideo::TinySilent), m_videos.folder() + u"/zeroed.mp4"_s, "mdat",
                           [](char* payload, qsizetype size) { std::fill(payload, payload + size, '\0'); })
            << -1.0 << false;
        // A picture is a video of one frame to FFmpeg, and no wallpaper.
        QTest::newRow("jpeg") << still("still.jpg", "mjpeg", "mjpeg") << -1.0 << true;
        QTest::newRow("png named .mp4") << still("still-png.mp4", "image2", "png") << -1.0 << true;
    }
    void probesAndPostersEveryKind() {
        QFETCH(QString, path);
        QFETCH(double, seconds);
        QFETCH(bool, poster);
        QVERIFY(!path.isEmpty());
        const std::optional<double> duration = m_inspector.probeVideo(path);
        QCOMPARE(duration.has_value(), seconds >= 0);
        QVERIFY2(!duration || std::abs(*duration - seconds) < 0.1,
                 qPrintable(QString::number(duration.value_or(-1))));
        QCOMPARE(!this->poster(path, 1.0).isNull(), poster);
    }

    void posterFitsTheBoxWithoutGrowing_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("tiny stays") << m_videos.path(TestVideo::TinySilent) << kPosterBox << QSize(160, 90);
        QTest::newRow("rotated, small box")
            << m_videos.path(TestVideo::RotatedPortrait) << QSize(100, 100) << QSize(56, 100);
        QTest::newRow("4:3, width bound")
            << m_videos.path(TestVideo::FourByThree) << QSize(320, 320) << QSize(320, 240);
        QTest::newRow("non-square pixels")
            << m_videos.makeCustom(u"wide-pixels.mp4"_s,
                                   {"-f", "lavfi", "-i", "testsrc2=size=320x180:duration=1,setsar=2", "-c:v",
                                    "libx264", "-pix_fmt", "yuv420p"})
            << kPosterBox << QSize(640, 180);
    }
    void posterFitsTheBoxWithoutGrowing() {
        QFETCH(QString, path);
        QFETCH(QSize, box);
        QFETCH(QSize, expected);
        QVERIFY(!path.isEmpty());
        QCOMPARE(poster(path, 0.5, box).size(), expected);
    }

    void posterMatchesFfmpegsOwnFrame_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<double>("atSeconds");
        const QString plain = m_videos.path(TestVideo::MyHolidayMp4);
        const auto rotated = [&](int degrees) {
            return m_videos.makeCustom(
                u"rotate-%1.mp4"_s.arg(degrees),
                {"-i", plain, "-c", "copy", "-metadata:s:v:0", u"rotate=%1"_s.arg(degrees)});
        };
        QTest::newRow("upright") << plain << 0.0;
        QTest::newRow("phone portrait") << m_videos.path(TestVideo::RotatedPortrait) << 0.0;
        QTest::newRow("rotate 90") << rotated(90) << 0.0;
        QTest::newRow("rotate 180") << rotated(180) << 0.0;
        QTest::newRow("1.5 s clip at 0.75 s") << m_videos.path(TestVideo::Short1_5s) << 0.75;
        QTest::newRow("10 s clip at 7.4 s") << m_videos.path(TestVideo::Long10s) << 7.4;
    }
    // ffmpeg's command-line tool turns frames upright and seeks exactly, so its frame is the reference.
    void posterMatchesFfmpegsOwnFrame() {
        QFETCH(QString, path);
        QFETCH(double, atSeconds);
        QVERIFY(!path.isEmpty());
        const QString reference = m_videos.makeCustom(
            u"reference-%1.png"_s.arg(QString::fromUtf8(QTest::currentDataTag())).replace(u' ', u'-'),
            {"-ss", QString::number(atSeconds), "-i", path, "-frames:v", "1"});
        QVERIFY(!reference.isEmpty());
        const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
        const QImage actual = poster(path, atSeconds);
        QCOMPARE(actual.size(), expected.size());
        QVERIFY2(difference(actual, expected) < 3, qPrintable(QString::number(difference(actual, expected))));
    }

    void posterAppliesMirroring() {
        const QString plain = m_videos.path(TestVideo::MyHolidayMp4);
        const QImage upright = poster(plain, 0);
        constexpr qint32 one = 1 << 16;
        constexpr qint32 w = 1 << 30;
        const QString mirrored = withTrackMatrix(plain, m_videos.folder() + u"/mirrored.mp4"_s,
                                                 {-one, 0, 0, 0, one, 0, 320 * one, 0, w});
        QVERIFY(!mirrored.isEmpty());
        // Only the first axis flips: "rotate 180" above turns both.
        QVERIFY(difference(poster(mirrored, 0), upright.mirrored(true, false)) < 2);
        QVERIFY(difference(upright, upright.mirrored(true, false)) > 20);
    }

    // Seeking where an index helps is checked against ffmpeg's own frames above.
    void posterFollowsTheRequestedTimeAndQuality() {
        const QString path = m_videos.path(TestVideo::Short1_5s);
        // MPEG-TS has no index, and this stream's only keyframe is its first frame.
        const QString unindexed = m_videos.makeCustom(u"unindexed.ts"_s, {"-i", path, "-c", "copy"});
        QVERIFY(!unindexed.isEmpty());
        QVERIFY(difference(poster(unindexed, 0.75), poster(path, 0.75)) < 1);
        // Past the end the last frame stands in; a negative or undefined time means the start.
        QVERIFY(difference(poster(path, 60), poster(path, 1.49)) < 1);
        QVERIFY(difference(poster(path, -1), poster(path, 0)) < 1);
        QVERIFY(difference(poster(path, qQNaN()), poster(path, 0)) < 1);
        // And the quality the caller asks for.
        const auto low = m_inspector.posterJpeg(path, 1, kPosterBox, 10);
        const auto high = m_inspector.posterJpeg(path, 1, kPosterBox, 95);
        QVERIFY(low && high);
        QVERIFY(low->size() < high->size());
    }

    void concurrentCallsAgreeWithSerialOnes() {
        QStringList paths;
        for (const TestVideo kind : {TestVideo::Hd1080Silent, TestVideo::RotatedPortrait, TestVideo::Long10s,
                                     TestVideo::AudioWithCover})
            paths << m_videos.path(kind);
        using Result = std::pair<std::optional<double>, std::optional<QByteArray>>;
        const auto inspect = [&](const QString& path) {
            return Result{m_inspector.probeVideo(path), m_inspector.posterJpeg(path, 1.0, kPosterBox, 85)};
        };
        std::vector<Result> parallel(paths.size());
        {
            std::vector<std::jthread> threads;
            for (qsizetype i = 0; i < paths.size(); ++i)
                threads.emplace_back([&, i] { parallel[i] = inspect(paths[i]); });
        }
        for (qsizetype i = 0; i < paths.size(); ++i)
            QVERIFY(parallel[i] == inspect(paths[i]));
    }
};

QTEST_GUILESS_MAIN(TestFfmpegMediaInspector)
#include "tst_ffmpegmediainspector.moc"
