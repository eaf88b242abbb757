// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QQuickImageProvider>

// "image://symbol/NAME": a freedesktop icon, its symbolic variant preferred, else the bundled drawing
// of the same name, drawn white for the dark library window.
class SymbolProvider : public QQuickImageProvider {
public:
    static constexpr auto providerId = "symbol";

    SymbolProvider();

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};
