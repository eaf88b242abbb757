// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/MediaInspector.h"

// MediaInspector on FFmpeg's libraries: every call opens the file afresh and keeps nothing, so calls
// from several threads at once are safe.
class FfmpegMediaInspector final : public MediaInspector {
public:
    FfmpegMediaInspector();

    [[nodiscard]] std::optional<double> probeVideo(const QString& path) const override;
    // A non-positive width or height in maxSize leaves that dimension unbounded.
    [[nodiscard]] std::optional<QByteArray> posterJpeg(const QString& path, double atSeconds, QSize maxSize,
                                                       int quality) const override;
};
