// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// A valid 128-byte EDID 1.4 base block with the given identity; empty texts leave their display
// descriptors out.
struct EdidBlock {
    quint16 productCode = 0xA0B1;
    quint32 serialNumber = 0;
    int week = 12;
    int year = 2021;
    QByteArray modelName = "DELL U2720Q";
    QByteArray serialText = "";

    [[nodiscard]] QByteArray bytes() const {
        QByteArray e(128, '\0');
        const auto set = [&e](int index, int value) { e[index] = static_cast<char>(value & 0xFF); };
        for (int i = 1; i < 7; ++i)
            set(i, 0xFF);
        set(8, 0x10); // "DEL", five bits a letter
        set(9, 0xAC);
        set(10, productCode);
        set(11, productCode >> 8);
        for (int i = 0; i < 4; ++i)
            set(12 + i, static_cast<int>(serialNumber >> (8 * i)));
        set(16, week);
        set(17, year - 1990);
        set(18, 1);
        set(19, 4);
        const auto descriptor = [&](int offset, int tag, const QByteArray& text) {
            set(offset + 3, tag);
            QByteArray field = text.left(13);
            if (field.size() < 13)
                field += '\n';
            field = field.leftJustified(13, ' ');
            for (int i = 0; i < 13; ++i)
                e[offset + 5 + i] = field[i];
        };
        descriptor(54, 0x10, ""); // a dummy descriptor first, as monitors often have a timing there
        if (!modelName.isEmpty())
            descriptor(72, 0xFC, modelName);
        if (!serialText.isEmpty())
            descriptor(90, 0xFF, serialText);
        int sum = 0;
        for (int i = 0; i < 127; ++i)
            sum += static_cast<quint8>(e[i]);
        set(127, (256 - sum % 256) % 256);
        return e;
    }
};
