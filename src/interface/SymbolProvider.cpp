// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/SymbolProvider.h"

#include <QFile>
#include <QIcon>
#include <QPainter>

namespace {
constexpr int defaultSide = 16;

QIcon iconFor(const QString& name) {
    const QString bundled = QStringLiteral(":/Lumivale/Interface/symbols/") + name + QStringLiteral(".svg");
    for (const QString& themed : {name + QStringLiteral("-symbolic"), name}) {
        if (QIcon::hasThemeIcon(themed))
            return QIcon::fromTheme(themed);
    }
    return QFile::exists(bundled) ? QIcon(bundled) : QIcon();
}
} // namespace

SymbolProvider::SymbolProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage SymbolProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    const QSize side(requestedSize.width() > 0 ? requestedSize.width() : defaultSide,
                     requestedSize.height() > 0 ? requestedSize.height() : defaultSide);
    QImage image(side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QIcon icon = iconFor(id);
    if (!icon.isNull()) {
        QPainter painter(&image);
        icon.paint(&painter, QRect(QPoint(), side));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), Qt::white);
    }
    if (size)
        *size = side;
    return image;
}
