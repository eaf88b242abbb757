// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The identity of a display as its EDID base block gives it.
struct Edid {
    // Three-letter PNP manufacturer id, e.g. "DEL".
    QString manufacturer;
    quint16 productCode = 0;
    // 0 when the display gives none.
    quint32 serialNumber = 0;
    // Display descriptor 0xFF; empty when absent.
    QString serialText;
    // Display descriptor 0xFC; empty when absent.
    QString modelName;
    int week = 0;
    int year = 0;

    // Nothing unless the bytes start with a 128-byte base block with the fixed header and a correct
    // checksum; extension blocks are ignored.
    [[nodiscard]] static std::optional<Edid> parse(QByteArrayView bytes);

    [[nodiscard]] bool hasSerial() const { return serialNumber != 0 || !serialText.isEmpty(); }

    // The bytes that name this physical display: manufacturer, product and serials. Week and year
    // of manufacture are taken only without a serial, as the next best way to tell units apart.
    // Stored display keys derive from this text, so its form must never change.
    [[nodiscard]] QByteArray identity() const;

    friend bool operator==(const Edid&, const Edid&) = default;
};
