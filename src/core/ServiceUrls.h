// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

namespace ServiceUrls {
// The catalog service's base URL: LUMIVALE_CATALOG_URL when set (self-hosting, the demo, tests),
// else the compiled-in host.
[[nodiscard]] QUrl base();
// The base with an absolute path such as "/v1/catalog" appended to whatever path the base has.
[[nodiscard]] QUrl endpoint(const QString& path);
} // namespace ServiceUrls
