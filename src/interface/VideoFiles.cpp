// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/VideoFiles.h"

#include "interface/InterfaceTexts.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QStringList>

namespace VideoFiles {

bool isLocalVideo(const QUrl& url) {
    if (!url.isLocalFile())
        return false;
    const QFileInfo info(url.toLocalFile());
    if (!info.isFile())
        return false;
    return QMimeDatabase().mimeTypeForFile(info).name().startsWith(QLatin1String("video/"));
}

QList<QUrl> localVideos(const QList<QUrl>& urls) {
    QList<QUrl> videos;
    for (const QUrl& url : urls) {
        if (isLocalVideo(url))
            videos.append(url);
    }
    return videos;
}

QString nameFilter() {
    QStringList patterns;
    for (const QMimeType& type : QMimeDatabase().allMimeTypes()) {
        if (!type.name().startsWith(QLatin1String("video/")))
            continue;
        for (const QString& pattern : type.globPatterns()) {
            if (!patterns.contains(pattern))
                patterns.append(pattern);
        }
    }
    patterns.sort();
    return InterfaceTexts::videosFilter.toString() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

} // namespace VideoFiles
