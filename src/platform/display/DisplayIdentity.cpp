// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display/DisplayIdentity.h"

#include <QHash>

QUuid DisplayIdentity::namespaceUuid() {
    return QUuid(QStringLiteral("{3b0f6c0e-8d4a-4f7e-9a51-2c6e1d7b9f40}"));
}

QList<std::optional<QString>> DisplayIdentity::uuids(const QList<Output>& displays) {
    QHash<QByteArray, int> seen;
    for (const Output& display : displays) {
        if (display.edid)
            ++seen[display.edid->identity()];
    }
    QList<std::optional<QString>> result;
    result.reserve(displays.size());
    for (const Output& display : displays) {
        if (!display.edid) {
            result.append(std::nullopt);
            continue;
        }
        QByteArray identity = display.edid->identity();
        if (seen.value(identity) > 1)
            identity += "|@" + display.connector.toUtf8();
        result.append(uuidText(identity));
    }
    return result;
}

QString DisplayIdentity::uuidText(const QByteArray& identity) {
    return QUuid::createUuidV5(namespaceUuid(), identity).toString(QUuid::WithoutBraces).toUpper();
}
