// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// Which files the library takes as videos: local files whose type is video/*.
namespace VideoFiles {
[[nodiscard]] bool isLocalVideo(const QUrl& url);
// The local video files among the URLs, in order.
[[nodiscard]] QList<QUrl> localVideos(const QList<QUrl>& urls);
// A file dialog name filter that lists every video file pattern the system knows.
[[nodiscard]] QString nameFilter();
} // namespace VideoFiles
