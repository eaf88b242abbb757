// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QQuickFramebufferObject>
#include <QUrl>
#include <memory>

// A card's preview clip, played muted and looping and scaled to fill with the overflow cut off, while
// the pointer rests on the card. libmpv draws it into the item's framebuffer: its render context is
// made and freed on the render thread, and its core outlives that context. The card makes a new
// preview on each hover, so each one starts at the beginning. The library views register it in their
// QML module.
class HoverPreview : public QQuickFramebufferObject {
    Q_OBJECT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(bool playing READ playing WRITE setPlaying NOTIFY playingChanged)

public:
    // Shared by the item and its renderer: the libmpv core, and the way back to the item for mpv's
    // frame notifications.
    struct Core;

    explicit HoverPreview(QQuickItem* parent = nullptr);
    ~HoverPreview() override;
    HoverPreview(const HoverPreview&) = delete;
    HoverPreview& operator=(const HoverPreview&) = delete;

    [[nodiscard]] const QUrl& source() const { return m_source; }
    void setSource(const QUrl& source);
    [[nodiscard]] bool playing() const { return m_playing; }
    void setPlaying(bool playing);
    // Back to the first frame, playing.
    Q_INVOKABLE void restart();

    [[nodiscard]] Renderer* createRenderer() const override;
    // Read by the renderer while the GUI thread waits.
    [[nodiscard]] std::shared_ptr<Core> core() const { return m_core; }

Q_SIGNALS:
    void sourceChanged();
    void playingChanged();

protected:
    void componentComplete() override;

private:
    void startCore();
    void loadSource();
    void readEvents();

    QUrl m_source;
    bool m_playing = true;
    std::shared_ptr<Core> m_core;
};
