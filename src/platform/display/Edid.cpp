// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display/Edid.h"

#include <array>

namespace {
constexpr qsizetype blockSize = 128;
constexpr std::array<quint8, 8> header{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::array<qsizetype, 4> descriptorOffsets{54, 72, 90, 108};
constexpr quint8 serialTextTag = 0xFF;
constexpr quint8 modelNameTag = 0xFC;

quint8 byteAt(QByteArrayView bytes, qsizetype index) {
    return static_cast<quint8>(bytes[index]);
}

// A display descriptor's text: up to 13 bytes, ended by a line feed and padded with spaces.
QString descriptorText(QByteArrayView bytes, quint8 tag) {
    for (const qsizetype offset : descriptorOffsets) {
        const QByteArrayView d = bytes.sliced(offset, 18);
        if (byteAt(d, 0) != 0 || byteAt(d, 1) != 0 || byteAt(d, 2) != 0 || byteAt(d, 3) != tag)
            continue;
        QByteArrayView text = d.sliced(5, 13);
        if (const qsizetype end = text.indexOf('\n'); end >= 0)
            text = text.first(end);
        QString result;
        for (const char c : text)
            result.append(c >= 0x20 && c < 0x7F ? QChar::fromLatin1(c) : QChar(u'?'));
        return result.trimmed();
    }
    return {};
}
} // namespace

std::optional<Edid> Edid::parse(QByteArrayView bytes) {
    if (bytes.size() < blockSize)
        return std::nullopt;
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (byteAt(bytes, static_cast<qsizetype>(i)) != header[i])
            return std::nullopt;
    }
    quint8 sum = 0;
    for (qsizetype i = 0; i < blockSize; ++i)
        sum = static_cast<quint8>(sum + byteAt(bytes, i));
    if (sum != 0)
        return std::nullopt;

    Edid edid;
    const quint16 pnp = static_cast<quint16>(byteAt(bytes, 8) << 8 | byteAt(bytes, 9));
    for (const int shift : {10, 5, 0}) {
        const int letter = (pnp >> shift) & 0x1F;
        edid.manufacturer.append(letter >= 1 && letter <= 26 ? QChar(u'A' + letter - 1) : QChar(u'?'));
    }
    edid.productCode = static_cast<quint16>(byteAt(bytes, 10) | byteAt(bytes, 11) << 8);
    edid.serialNumber =
        static_cast<quint32>(byteAt(bytes, 12)) | static_cast<quint32>(byteAt(bytes, 13)) << 8 |
        static_cast<quint32>(byteAt(bytes, 14)) << 16 | static_cast<quint32>(byteAt(bytes, 15)) << 24;
    edid.week = byteAt(bytes, 16);
    edid.year = 1990 + byteAt(bytes, 17);
    edid.serialText = descriptorText(bytes, serialTextTag);
    edid.modelName = descriptorText(bytes, modelNameTag);
    return edid;
}

QByteArray Edid::identity() const {
    QByteArray id =
        "EDID|" + manufacturer.toLatin1() + '|' + QByteArray::number(productCode, 16).rightJustified(4, '0');
    if (hasSerial())
        id += '|' + QByteArray::number(serialNumber, 16).rightJustified(8, '0') + '|' + serialText.toLatin1();
    else
        id += "|w" + QByteArray::number(week) + "|y" + QByteArray::number(year);
    return id;
}
