// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "core/Preferences.h"

// Any file text reads as preferences or is refused; what reads is written back and reads the same.
void fuzzOne(const QByteArray& bytes) {
    QString error;
    const std::optional<QJsonObject> values = Preferences::decode(bytes, &error);
    require(values.has_value() == error.isEmpty(), "a refusal has a reason");
    if (values)
        require(Preferences::decode(Preferences::encode(*values)) == values, "preferences round trip");
}
