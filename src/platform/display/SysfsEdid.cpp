// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display/SysfsEdid.h"

#include <QDir>
#include <QFile>

namespace {
// Base block and extensions; the identity needs only the first 128 bytes.
constexpr qint64 maxEdidBytes = 32768;
} // namespace

QByteArray SysfsEdid::read(const QString& connector, const QString& root) {
    if (connector.isEmpty() || connector.contains(QLatin1Char('/')))
        return {};
    const QDir drm(root);
    const QStringList cards = drm.entryList({QStringLiteral("card*-") + connector}, QDir::Dirs, QDir::Name);
    for (const QString& card : cards) {
        // "card0-DP-1" also matches a pattern for "1"; the connector must be the whole rest.
        const qsizetype dash = card.indexOf(QLatin1Char('-'));
        if (dash < 0 || card.mid(dash + 1) != connector)
            continue;
        QFile file(drm.filePath(card + QStringLiteral("/edid")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.read(maxEdidBytes);
        if (!bytes.isEmpty())
            return bytes;
    }
    return {};
}
