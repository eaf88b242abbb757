// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ServiceUrls.h"

namespace {
constexpr auto defaultBase = "https://catalog.lumivale.org";
}

QUrl ServiceUrls::base() {
    const QString configured = qEnvironmentVariable("LUMIVALE_CATALOG_URL").trimmed();
    if (!configured.isEmpty()) {
        QUrl url(configured, QUrl::StrictMode);
        if (url.isValid() &&
            (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
            !url.host().isEmpty())
            return url;
    }
    return QUrl(QString::fromLatin1(defaultBase));
}

QUrl ServiceUrls::endpoint(const QString& path) {
    QUrl url = base();
    QString prefix = url.path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    url.setPath(prefix + path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}
