// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QNetworkReply>
#include <QNetworkRequest>

namespace ReplyChecks {
// Qt may finish a reply whose connection was cut mid-body as if nothing went wrong, so a body is
// complete only when it is as long as the server announced. Encoded bodies are decoded on the way
// and cannot be measured against the announced length; those are taken as they come.
[[nodiscard]] inline bool bodyComplete(const QNetworkReply* reply, qint64 bodyBytes) {
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity")
        return true;
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    return !announced.isValid() || announced.toLongLong() == bodyBytes;
}

// Only an answer of exactly 200 with all of its body counts as success.
[[nodiscard]] inline bool succeeded(const QNetworkReply* reply, qint64 bodyBytes) {
    return reply->error() == QNetworkReply::NoError &&
           reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 &&
           bodyComplete(reply, bodyBytes);
}
} // namespace ReplyChecks
