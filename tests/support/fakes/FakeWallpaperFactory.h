// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SharedPlayer.h"
#include "engine/WallpaperFactory.h"
#include "engine/WallpaperWindow.h"

#include <QFileInfo>
#include <QList>
#include <QStringList>

// A player that only records what it is told, in its factory's journal. Its rate is 1 while playing.
class FakePlayer : public SharedPlayer {
public:
    FakePlayer(QList<FakePlayer*>& live, QStringList& journal, QString file)
        : m_live(live), m_journal(journal), m_file(std::move(file)) {
        m_live.append(this);
        note("new");
    }
    ~FakePlayer() override {
        m_live.removeOne(this);
        note("gone");
    }

    void play() override {
        m_rate = 1.0;
        note("play");
    }
    void pause() override {
        m_rate = 0.0;
        note("pause");
    }
    [[nodiscard]] double rate() const override { return m_rate; }
    void unload() override { note("unload"); }

    // The wallpaper id: the file's name without its extension.
    [[nodiscard]] QString id() const { return QFileInfo(m_file).completeBaseName(); }
    [[nodiscard]] bool isPlaying() const { return m_rate != 0.0; }

private:
    void note(const char* what) { m_journal.append(QLatin1String(what) + ' ' + id()); }

    QList<FakePlayer*>& m_live;
    QStringList& m_journal;
    QString m_file;
    double m_rate = 0.0;
};

// A window that only records what it is told, in its factory's journal. It starts visible, as on a
// desktop with nothing open.
class FakeWindow : public WallpaperWindow {
public:
    FakeWindow(QList<FakeWindow*>& live, QStringList& journal, const ScreenInfo& screen,
               std::function<void()> visibilityChanged)
        : m_live(live), m_journal(journal), m_key(displayKey(screen)),
          m_visibilityChanged(std::move(visibilityChanged)), m_frame(screen.frame) {
        m_live.append(this);
        m_journal.append("new " + m_key);
    }
    ~FakeWindow() override {
        m_live.removeOne(this);
        m_journal.append("gone " + m_key);
    }

    [[nodiscard]] QRect frame() const override { return m_frame; }
    void setFrame(const QRect& frame) override {
        m_frame = frame;
        m_journal.append("frame " + m_key + ' ' + QString::number(frame.x()));
    }
    void orderFront() override {
        m_shown = true;
        m_journal.append("front " + m_key);
    }
    void orderOut() override {
        m_shown = false;
        m_journal.append("out " + m_key);
    }
    [[nodiscard]] SharedPlayer* player() const override { return m_player; }
    void setPlayer(SharedPlayer* player) override {
        m_player = player;
        m_journal.append(m_key + '>' + (player ? fakePlayer()->id() : QStringLiteral("none")));
    }
    [[nodiscard]] bool isVisible() const override { return m_visible; }
    void setVisibilityWatched(bool watched) override { m_watched = watched; }

    // As the platform would: stores the state and reports the change.
    void setVisible(bool visible) {
        m_visible = visible;
        m_visibilityChanged();
    }

    [[nodiscard]] const QString& key() const { return m_key; }
    [[nodiscard]] FakePlayer* fakePlayer() const { return static_cast<FakePlayer*>(m_player); }
    [[nodiscard]] bool isShown() const { return m_shown; }
    [[nodiscard]] bool isWatched() const { return m_watched; }

private:
    QList<FakeWindow*>& m_live;
    QStringList& m_journal;
    QString m_key;
    std::function<void()> m_visibilityChanged;
    QRect m_frame;
    SharedPlayer* m_player = nullptr;
    bool m_visible = true;
    bool m_shown = false;
    bool m_watched = true;
};

// Makes fake windows and players and keeps the live ones.
class FakeWallpaperFactory : public WallpaperFactory {
public:
    [[nodiscard]] std::unique_ptr<WallpaperWindow>
    makeWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged) override {
        return std::make_unique<FakeWindow>(m_windows, journal, screen, std::move(visibilityChanged));
    }
    [[nodiscard]] std::unique_ptr<SharedPlayer> makePlayer(const QString& file) override {
        return std::make_unique<FakePlayer>(m_players, journal, file);
    }

    // The live window made for the display key, or null.
    [[nodiscard]] FakeWindow* window(const QString& key) const {
        const auto found = std::find_if(m_windows.cbegin(), m_windows.cend(),
                                        [&](const FakeWindow* window) { return window->key() == key; });
        return found == m_windows.cend() ? nullptr : *found;
    }
    [[nodiscard]] const QList<FakeWindow*>& windows() const { return m_windows; }
    [[nodiscard]] const QList<FakePlayer*>& players() const { return m_players; }

    // Every call on the fakes in order: "new A" and "gone A" for windows and players alike, "frame A
    // X" (the left edge), "front A", "out A", "A>a" (A shows a's player, or "none"), "play a", "pause a",
    // "unload a"; windows by display key, players by wallpaper id.
    QStringList journal;

private:
    QList<FakeWindow*> m_windows;
    QList<FakePlayer*> m_players;
};
