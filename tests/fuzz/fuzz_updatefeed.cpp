// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "shell/update/UpdateFeed.h"

void fuzzOne(const QByteArray& bytes) {
    if (const std::optional<UpdateFeed> feed = UpdateFeed::parse(bytes)) {
        const QString scheme = feed->page.scheme();
        require(scheme == QLatin1String("http") || scheme == QLatin1String("https"), "an http(s) page");
        require(UpdateFeed::compareVersions(feed->version, feed->version) == 0, "a version equals itself");
    }
    // The same text as a version against another.
    const QString text = QString::fromUtf8(bytes);
    const std::optional<int> order = UpdateFeed::compareVersions(text, QStringLiteral("1.2.3"));
    const std::optional<int> reverse = UpdateFeed::compareVersions(QStringLiteral("1.2.3"), text);
    require(order.has_value() == reverse.has_value(), "versions compare both ways");
    if (order)
        require((*order > 0) == (*reverse < 0) && (*order == 0) == (*reverse == 0),
                "comparison antisymmetric");
}
