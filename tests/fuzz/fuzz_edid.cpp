// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "platform/display/Edid.h"

#include <array>

// The input as it comes, then as a base block with a valid header and checksum so that the
// descriptors behind them are reached.
void fuzzOne(const QByteArray& input) {
    QByteArray bytes = input;
    if (const std::optional<Edid> edid = Edid::parse(bytes))
        require(!edid->identity().isEmpty(), "a display has an identity");
    if (bytes.size() < 128)
        return;
    constexpr std::array<uint8_t, 8> header{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(header.begin(), header.end(), bytes.begin());
    uint8_t sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = uint8_t(sum + uint8_t(bytes[i]));
    bytes[127] = char(uint8_t(0x100 - sum));
    const std::optional<Edid> edid = Edid::parse(bytes);
    require(edid.has_value(), "a well-formed base block parses");
    require(edid->manufacturer.size() == 3 && edid->serialText.size() <= 13 && edid->modelName.size() <= 13,
            "fields within their bounds");
    require(Edid::parse(bytes) == edid, "parsing is stable");
}
