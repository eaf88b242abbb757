// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestVideos.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {
struct Recipe {
    TestVideoInfo info;
    QString ffmpegArgs; // separated by single spaces
};

// In the order of TestVideo.
QList<Recipe> recipes() {
    const auto pattern = [](const char* size, double seconds) {
        return u"-f lavfi -i testsrc2=size=%1:rate=30:duration=%2"_s.arg(QLatin1String(size)).arg(seconds);
    };
    const QString h264 = u" -c:v libx264 -preset ultrafast -pix_fmt yuv420p"_s;
    const QString tone = u"-f lavfi -i sine=frequency=440:duration=2"_s;
    const QString small = pattern("320x180", 2) + h264;
    const QSize size(320, 180);
    return {
        {{u"hd1080-audio.mp4"_s, true, 2, {1920, 1080}},
         pattern("1920x1080", 2) + ' ' + tone + h264 + " -c:a aac"},
        {{u"hd1080.mp4"_s, true, 2, {1920, 1080}}, pattern("1920x1080", 2) + h264},
        {{u"tiny.mp4"_s, true, 2, {160, 90}}, pattern("160x90", 2) + h264},
        {{u"portrait.mp4"_s, true, 2, {180, 320}}, small}, // turned in a second run, see path()
        {{u"audio-only.m4a"_s, false, 2, {}}, tone + " -c:a aac"},
        {{u"song-with-cover.mp3"_s, false, 2, {}},
         tone + " -f lavfi -i color=c=red:size=64x64:rate=1:duration=1 -map 0:a -map 1:v -c:a libmp3lame"
                " -c:v mjpeg -disposition:v attached_pic"},
        {{u"notes.mov"_s, false, 0, {}}, {}}, // plain text, see path()
        // The hue turns with time, so frames at different times differ everywhere.
        {{u"short.mp4"_s, true, 1.5, size}, pattern("320x180", 1.5) + ",hue=H=2*PI*t/1.5" + h264},
        {{u"long.mp4"_s, true, 10, size}, pattern("320x180", 10) + h264 + " -g 30"},
        {{u"clip"_s, true, 2, size}, small + " -f mp4"},
        {{u"my.holiday.mp4"_s, true, 2, size}, small},
        {{u"Clip.MOV"_s, true, 2, size}, small + " -f mov"},
        {{u"four-by-three.mp4"_s, true, 2, {640, 480}},
         u"-f lavfi -i smptebars=size=640x480:rate=30:duration=2"_s + h264},
    };
}
} // namespace

QList<TestVideo> TestVideos::allKinds() {
    QList<TestVideo> kinds;
    for (qsizetype kind = 0; kind < recipes().size(); ++kind)
        kinds.append(TestVideo(kind));
    return kinds;
}

TestVideoInfo TestVideos::info(TestVideo kind) {
    return recipes().at(int(kind)).info;
}

QString TestVideos::path(TestVideo kind) {
    if (const auto made = m_made.constFind(kind); made != m_made.cend())
        return *made;
    const Recipe r = recipes().at(int(kind));
    QString target;
    if (kind == TestVideo::TextNamedMov) {
        QFile file(m_dir.filePath(r.info.fileName));
        if (file.open(QIODevice::WriteOnly) && file.write("Holiday plans\n- pack\n- water the plants\n") > 0)
            target = file.fileName();
    } else if (kind == TestVideo::RotatedPortrait) {
        // ffmpeg 5.1 only writes the display matrix when copying a stream, so this takes two runs. It
        // stores "rotate=270" as a -90° matrix (a clockwise quarter turn), what phones write for portrait.
        const QString coded = makeCustom(u"portrait-coded.mp4"_s, r.ffmpegArgs.split(u' '));
        if (!coded.isEmpty())
            target = makeCustom(r.info.fileName,
                                {u"-i"_s, coded, u"-c"_s, u"copy"_s, u"-metadata:s:v:0"_s, u"rotate=270"_s});
    } else {
        target = makeCustom(r.info.fileName, r.ffmpegArgs.split(u' '));
    }
    if (!target.isEmpty())
        m_made.insert(kind, target);
    return target;
}

QString TestVideos::makeCustom(const QString& fileName, const QStringList& ffmpegArgs) {
    const QString target = m_dir.filePath(fileName);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(u"ffmpeg"_s,
                 QStringList{u"-hide_banner"_s, u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-y"_s} +
                     ffmpegArgs + QStringList{target});
    if (ffmpeg.waitForFinished(120'000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
        ffmpeg.exitCode() == 0 && QFileInfo(target).size() > 0)
        return target;
    qWarning("TestVideos: ffmpeg failed making %s (%s):\n%s", qPrintable(target),
             qPrintable(ffmpeg.errorString()), ffmpeg.readAll().constData());
    return {};
}
