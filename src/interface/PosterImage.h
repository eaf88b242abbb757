// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QQuickItem>
#include <QTimer>
#include <QUrl>
#include <memory>

class PosterLoad;

// A card's poster: draws nothing until the image is there, then fills the item with it, proportions
// kept and the overflow cut off. Loads through the shared poster cache; the load is cancelled when the
// item goes away or its source changes.
class PosterImage : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(int attempts READ attempts NOTIFY attemptsChanged)
    Q_PROPERTY(QSize imageSize READ imageSize NOTIFY statusChanged)

public:
    enum Status { Null, Loading, Ready, Failed };
    Q_ENUM(Status)

    explicit PosterImage(QQuickItem* parent = nullptr);
    ~PosterImage() override;

    [[nodiscard]] const QUrl& source() const { return m_source; }
    void setSource(const QUrl& source);
    [[nodiscard]] Status status() const { return m_status; }
    // Requests made by the current load.
    [[nodiscard]] int attempts() const { return m_attempts; }
    [[nodiscard]] QSize imageSize() const { return m_image.size(); }

Q_SIGNALS:
    void sourceChanged();
    void statusChanged();
    void attemptsChanged();

protected:
    QSGNode* updatePaintNode(QSGNode* node, UpdatePaintNodeData* data) override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;
    void componentComplete() override;

private:
    void load();
    void finishLoad();
    void setStatus(Status status);
    void setImage(const QImage& image);
    [[nodiscard]] QSize pixelSize() const;
    [[nodiscard]] bool imageTooSmall() const;

    QUrl m_source;
    Status m_status = Null;
    int m_attempts = 0;
    QImage m_image;
    bool m_imageChanged = false;
    std::unique_ptr<PosterLoad> m_load;
    // A resize that makes the poster look soft asks for a bigger one once the size settles.
    QTimer m_resizeSettle;
};
