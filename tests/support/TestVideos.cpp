// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtDebug>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFfmpegTimeoutMs = 120'000;

QStringList testPattern(const QString& size, double seconds, const QString& filters = {}) {
    return {u"-f"_s, u"lavfi"_s, u"-i"_s,
            u"testsrc2=size=%1:rate=30:duration=%2%3"_s.arg(size).arg(seconds).arg(filters)};
}

QStringList tone(double seconds) {
    return {u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=frequency=440:duration=%1"_s.arg(seconds)};
}

QStringList h264() {
    return {u"-c:v"_s, u"libx264"_s, u"-preset"_s, u"ultrafast"_s, u"-pix_fmt"_s, u"yuv420p"_s};
}

QStringList aac() {
    return {u"-c:a"_s, u"aac"_s};
}

QStringList smallClip() {
    return testPattern(u"320x180"_s, 2) + h264();
}

} // namespace

TestVideos::TestVideos() {
    if (!m_dir.isValid())
        qWarning("TestVideos: cannot create a temporary folder: %s", qPrintable(m_dir.errorString()));
}

QList<TestVideo> TestVideos::allKinds() {
    return {TestVideo::Hd1080WithAudio, TestVideo::Hd1080Silent,    TestVideo::TinyWithAudio,
            TestVideo::TinySilent,      TestVideo::RotatedPortrait, TestVideo::AudioOnly,
            TestVideo::AudioWithCover,  TestVideo::TextNamedMov,    TestVideo::Short1_5s,
            TestVideo::Long10s,         TestVideo::NoExtension,     TestVideo::MyHolidayMp4,
            TestVideo::ClipUpperMov,    TestVideo::FourByThree};
}

TestVideoInfo TestVideos::info(TestVideo kind) {
    const QSize small(320, 180);
    switch (kind) {
    case TestVideo::Hd1080WithAudio:
        return {u"hd1080-audio.mp4"_s, true, 2.0, QSize(1920, 1080)};
    case TestVideo::Hd1080Silent:
        return {u"hd1080.mp4"_s, true, 2.0, QSize(1920, 1080)};
    case TestVideo::TinyWithAudio:
        return {u"tiny-audio.mp4"_s, true, 2.0, QSize(160, 90)};
    case TestVideo::TinySilent:
        return {u"tiny.mp4"_s, true, 2.0, QSize(160, 90)};
    case TestVideo::RotatedPortrait:
        return {u"portrait.mp4"_s, true, 2.0, QSize(180, 320)};
    case TestVideo::AudioOnly:
        return {u"audio-only.m4a"_s, false, 2.0, {}};
    case TestVideo::AudioWithCover:
        return {u"song-with-cover.mp3"_s, false, 2.0, {}};
    case TestVideo::TextNamedMov:
        return {u"notes.mov"_s, false, 0.0, {}};
    case TestVideo::Short1_5s:
        return {u"short.mp4"_s, true, 1.5, small};
    case TestVideo::Long10s:
        return {u"long.mp4"_s, true, 10.0, small};
    case TestVideo::NoExtension:
        return {u"clip"_s, true, 2.0, small};
    case TestVideo::MyHolidayMp4:
        return {u"my.holiday.mp4"_s, true, 2.0, small};
    case TestVideo::ClipUpperMov:
        return {u"Clip.MOV"_s, true, 2.0, small};
    case TestVideo::FourByThree:
        return {u"four-by-three.mp4"_s, true, 2.0, QSize(640, 480)};
    }
    return {};
}

QString TestVideos::path(TestVideo kind) {
    if (const auto made = m_made.constFind(kind); made != m_made.cend())
        return *made;
    QString target = m_dir.filePath(info(kind).fileName);
    if (!m_dir.isValid() || !make(kind, target))
        return {};
    m_made.insert(kind, target);
    return target;
}

QString TestVideos::makeCustom(const QString& fileName, const QStringList& ffmpegArgs) {
    const QString target = m_dir.filePath(fileName);
    return m_dir.isValid() && runFfmpeg(ffmpegArgs, target) ? target : QString();
}

bool TestVideos::make(TestVideo kind, const QString& target) {
    const QString hd = u"1920x1080"_s;
    const QString tiny = u"160x90"_s;
    switch (kind) {
    case TestVideo::Hd1080WithAudio:
        return runFfmpeg(testPattern(hd, 2) + tone(2) + h264() + aac(), target);
    case TestVideo::Hd1080Silent:
        return runFfmpeg(testPattern(hd, 2) + h264(), target);
    case TestVideo::TinyWithAudio:
        return runFfmpeg(testPattern(tiny, 2) + tone(2) + h264() + aac(), target);
    case TestVideo::TinySilent:
        return runFfmpeg(testPattern(tiny, 2) + h264(), target);
    case TestVideo::RotatedPortrait: {
        // ffmpeg 5.1 only writes the display matrix when copying a stream, so this takes two runs. It
        // stores "rotate=270" as a -90° matrix (a clockwise quarter turn), what phones write for portrait.
        if (!QDir(m_dir.path()).mkpath(u"parts"_s))
            return false;
        const QString coded = m_dir.filePath(u"parts/portrait-coded.mp4"_s);
        return runFfmpeg(smallClip(), coded) &&
               runFfmpeg({u"-i"_s, coded, u"-c"_s, u"copy"_s, u"-metadata:s:v:0"_s, u"rotate=270"_s}, target);
    }
    case TestVideo::AudioOnly:
        return runFfmpeg(tone(2) + aac(), target);
    case TestVideo::AudioWithCover:
        return runFfmpeg(tone(2) + QStringList{u"-f"_s, u"lavfi"_s, u"-i"_s,
                                               u"color=c=red:size=64x64:rate=1:duration=1"_s, u"-map"_s,
                                               u"0:a"_s, u"-map"_s, u"1:v"_s, u"-c:a"_s, u"libmp3lame"_s,
                                               u"-c:v"_s, u"mjpeg"_s, u"-disposition:v"_s, u"attached_pic"_s},
                         target);
    case TestVideo::TextNamedMov: {
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("Holiday plans\n- pack\n- water the plants\n") < 0) {
            qWarning("TestVideos: cannot write %s: %s", qPrintable(target), qPrintable(file.errorString()));
            return false;
        }
        return true;
    }
    case TestVideo::Short1_5s:
        // The hue turns with time, so frames at different times differ everywhere.
        return runFfmpeg(testPattern(u"320x180"_s, 1.5, u",hue=H=2*PI*t/1.5"_s) + h264(), target);
    case TestVideo::Long10s:
        return runFfmpeg(testPattern(u"320x180"_s, 10) + h264() + QStringList{u"-g"_s, u"30"_s}, target);
    case TestVideo::NoExtension:
        return runFfmpeg(smallClip() + QStringList{u"-f"_s, u"mp4"_s}, target);
    case TestVideo::MyHolidayMp4:
        return runFfmpeg(smallClip(), target);
    case TestVideo::ClipUpperMov:
        return runFfmpeg(smallClip() + QStringList{u"-f"_s, u"mov"_s}, target);
    case TestVideo::FourByThree:
        return runFfmpeg(
            QStringList{u"-f"_s, u"lavfi"_s, u"-i"_s, u"smptebars=size=640x480:rate=30:duration=2"_s} +
                h264(),
            target);
    }
    return false;
}

bool TestVideos::runFfmpeg(const QStringList& args, const QString& target) const {
    QProcess ffmpeg;
    const QStringList common{u"-hide_banner"_s, u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-y"_s};
    ffmpeg.start(u"ffmpeg"_s, common + args + QStringList{target});
    if (!ffmpeg.waitForStarted()) {
        qWarning("TestVideos: cannot start ffmpeg: %s", qPrintable(ffmpeg.errorString()));
        return false;
    }
    if (!ffmpeg.waitForFinished(kFfmpegTimeoutMs)) {
        ffmpeg.kill();
        ffmpeg.waitForFinished();
        qWarning("TestVideos: ffmpeg took too long making %s", qPrintable(target));
        return false;
    }
    const QByteArray output = ffmpeg.readAllStandardError() + ffmpeg.readAllStandardOutput();
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0 ||
        QFileInfo(target).size() <= 0) {
        qWarning("TestVideos: ffmpeg failed making %s (exit code %d):\n%s", qPrintable(target),
                 ffmpeg.exitCode(), output.constData());
        return false;
    }
    return true;
}
