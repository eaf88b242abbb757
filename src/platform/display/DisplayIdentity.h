// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/display/Edid.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

// Turns the EDIDs of the connected displays into their display UUIDs.
class DisplayIdentity {
public:
    struct Output {
        std::optional<Edid> edid;
        // The output the display is connected to, e.g. "DP-1".
        QString connector;
    };

    // The fixed namespace of our name-based UUIDs.
    [[nodiscard]] static QUuid namespaceUuid();

    // For each display, in order: the uppercase 36-character UUID text, or nothing without EDID.
    // Displays whose identities are equal (twins without serials) get their connector added, so
    // that they differ while both are connected.
    [[nodiscard]] static QList<std::optional<QString>> uuids(const QList<Output>& displays);

    [[nodiscard]] static QString uuidText(const QByteArray& identity);
};
