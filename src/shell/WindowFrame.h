// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonValue>
#include <QList>
#include <QRect>
#include <QSize>
#include <optional>

// The library window's remembered frame: how it is stored in the preferences and how it comes back.
namespace WindowFrame {

// {"x":…, "y":…, "width":…, "height":…}
[[nodiscard]] QJsonValue toJson(const QRect& frame);
// Nothing unless every field is a whole number and the size is positive.
[[nodiscard]] std::optional<QRect> fromJson(const QJsonValue& value);

// Where the window goes: the remembered frame moved and shrunk until it lies on the connected screen it
// overlaps most (or the nearest one), never below the minimum size; without a frame, the initial size
// centred on the first screen. screens: their available areas, the primary first.
[[nodiscard]] QRect place(const std::optional<QRect>& remembered, const QList<QRect>& screens, QSize initial,
                          QSize minimum);

} // namespace WindowFrame
