// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The kinds of media file tests need. Video clips are H.264 (yuv420p) in MP4 unless the kind says
// otherwise; "with audio" adds an AAC track.
enum class TestVideo {
    Hd1080WithAudio, // hd1080-audio.mp4: 1920x1080, 2 s
    Hd1080Silent,    // hd1080.mp4: 1920x1080, 2 s
    TinySilent,      // tiny.mp4: 160x90, 2 s
    RotatedPortrait, // portrait.mp4: coded 320x180 with a quarter-turn display matrix, shown 180x320, 2 s
    AudioOnly,       // audio-only.m4a: AAC, 2 s
    AudioWithCover,  // song-with-cover.mp3: MP3 with an attached cover picture (a video stream), 2 s
    TextNamedMov,    // notes.mov: plain text
    Short1_5s,       // short.mp4: 320x180, 1.5 s, colours turn all the way round the hue circle over the clip
    Long10s,         // long.mp4: 320x180, 10 s, a keyframe every second
    NoExtension,     // clip: MP4 without an extension, 320x180, 2 s
    MyHolidayMp4,    // my.holiday.mp4: 320x180, 2 s
    ClipUpperMov,    // Clip.MOV: QuickTime, 320x180, 2 s
    FourByThree,     // four-by-three.mp4: 640x480 SMPTE colour bars, 2 s
};

// What a kind is expected to be, for checking what the application derives from it.
struct TestVideoInfo {
    QString fileName;
    bool isVideo = false; // has a decodable video track (cover art does not count)
    double seconds = 0;   // duration; 0 for a text file
    QSize displaySize;    // upright size of a frame; empty without video
};

// Makes test media with the ffmpeg command-line tool into a temporary folder owned by the object.
// Each kind is made on first request and kept while the object lives. Not thread-safe.
class TestVideos {
public:
    // Absolute path of the file of that kind, made now if needed; empty (with a warning that carries
    // ffmpeg's output) when it could not be made.
    [[nodiscard]] QString path(TestVideo kind);
    // Runs "ffmpeg <ffmpegArgs> <folder>/<fileName>" and returns the absolute path of the result, or
    // empty with a warning. An existing file of that name is overwritten.
    [[nodiscard]] QString makeCustom(const QString& fileName, const QStringList& ffmpegArgs);
    [[nodiscard]] QString folder() const { return m_dir.path(); }

    [[nodiscard]] static TestVideoInfo info(TestVideo kind);
    [[nodiscard]] static QList<TestVideo> allKinds();

private:
    QTemporaryDir m_dir;
    QMap<TestVideo, QString> m_made;
};
