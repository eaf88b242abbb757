// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/PosterImage.h"

#include "interface/InterfaceServices.h"
#include "interface/PosterCache.h"
#include "interface/PosterLoad.h"

#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>
#include <algorithm>
#include <cmath>

namespace {
constexpr int resizeSettleMs = 300;
// How much bigger than the image a card may get before a sharper poster is asked for.
constexpr double resizeSlack = 1.25;

// The part of the texture that fills the target with its proportions kept: centred, cut on the sides
// that do not fit.
QRectF aspectFillSource(const QSizeF& texture, const QSizeF& target) {
    if (texture.isEmpty() || target.isEmpty())
        return QRectF(QPointF(), texture);
    const double scale = std::max(target.width() / texture.width(), target.height() / texture.height());
    const double width = std::min(texture.width(), target.width() / scale);
    const double height = std::min(texture.height(), target.height() / scale);
    return QRectF((texture.width() - width) / 2, (texture.height() - height) / 2, width, height);
}
} // namespace

PosterImage::PosterImage(QQuickItem* parent) : QQuickItem(parent) {
    setFlag(ItemHasContents);
    m_resizeSettle.setSingleShot(true);
    m_resizeSettle.setInterval(resizeSettleMs);
    connect(&m_resizeSettle, &QTimer::timeout, this, [this] {
        if (imageTooSmall() && !m_load)
            load();
    });
}

PosterImage::~PosterImage() = default;

void PosterImage::setSource(const QUrl& source) {
    if (source == m_source)
        return;
    m_source = source;
    m_load.reset();
    setImage({});
    Q_EMIT sourceChanged();
    if (isComponentComplete())
        load();
}

void PosterImage::setStatus(Status status) {
    if (status == m_status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

void PosterImage::setImage(const QImage& image) {
    m_image = image;
    m_imageChanged = true;
    update();
}

QSize PosterImage::pixelSize() const {
    const double ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    return QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
}

bool PosterImage::imageTooSmall() const {
    if (m_image.isNull())
        return false;
    const QSize needed = pixelSize();
    const double scale =
        std::max(double(needed.width()) / m_image.width(), double(needed.height()) / m_image.height());
    return scale > resizeSlack;
}

void PosterImage::componentComplete() {
    // Completing the anchors may already have started the load.
    QQuickItem::componentComplete();
    if (m_status == Null)
        load();
}

void PosterImage::load() {
    m_load.reset();
    if (m_source.isEmpty() || !window() || width() <= 0 || height() <= 0) {
        setStatus(Null);
        return;
    }
    const QSize needed = pixelSize();
    if (const std::optional<QImage> cached = PosterCache::shared().find(m_source, needed)) {
        setImage(*cached);
        setStatus(Ready);
        return;
    }
    m_load = std::make_unique<PosterLoad>(m_source, needed, InterfaceServices::network());
    connect(m_load.get(), &PosterLoad::attempted, this, [this](int attempts) {
        m_attempts = attempts;
        Q_EMIT attemptsChanged();
    });
    connect(m_load.get(), &PosterLoad::loaded, this, [this](const QImage& image, bool natural) {
        PosterCache::shared().insert(m_source, image, natural);
        setImage(image);
        setStatus(Ready);
        finishLoad();
    });
    connect(m_load.get(), &PosterLoad::failed, this, [this] {
        setStatus(Failed);
        finishLoad();
    });
    setStatus(Loading);
    m_load->start();
}

void PosterImage::finishLoad() {
    // Called from the load's own signals: it goes once they have returned.
    m_load->disconnect(this);
    m_load.release()->deleteLater();
}

void PosterImage::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() == oldGeometry.size())
        return;
    update();
    if (!isComponentComplete())
        return;
    if (m_status == Null)
        load();
    else if (imageTooSmall())
        m_resizeSettle.start();
}

void PosterImage::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange && value.window && isComponentComplete() && m_status == Null)
        load();
}

QSGNode* PosterImage::updatePaintNode(QSGNode* node, UpdatePaintNodeData*) {
    if (m_image.isNull() || width() <= 0 || height() <= 0) {
        delete node;
        m_imageChanged = false;
        return nullptr;
    }
    auto* imageNode = static_cast<QSGImageNode*>(node);
    if (!imageNode) {
        imageNode = window()->createImageNode();
        imageNode->setOwnsTexture(true);
        imageNode->setFiltering(QSGTexture::Linear);
        m_imageChanged = true;
    }
    if (m_imageChanged) {
        imageNode->setTexture(window()->createTextureFromImage(m_image));
        m_imageChanged = false;
    }
    imageNode->setRect(boundingRect());
    imageNode->setSourceRect(aspectFillSource(imageNode->texture()->textureSize(), size()));
    return imageNode;
}
