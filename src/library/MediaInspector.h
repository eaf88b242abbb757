// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <optional>

// Looks into video files for the import. Implementations are called from the thread pool,
// several at once, and must keep no shared mutable state.
class MediaInspector {
public:
    virtual ~MediaInspector() = default;

    // The duration in seconds when the file has a decodable video track (NaN when the file reports
    // no finite duration); nothing when it cannot be used as a video.
    [[nodiscard]] virtual std::optional<double> probeVideo(const QString& path) const = 0;

    // The frame at the given time, upright, scaled down to fit maxSize, as JPEG of the given
    // quality (0 to 100); nothing when no frame could be made.
    [[nodiscard]] virtual std::optional<QByteArray> posterJpeg(const QString& path, double atSeconds,
                                                               QSize maxSize, int quality) const = 0;
};
