// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SharedPlayer.h"
#include "engine/WallpaperFactory.h"
#include "engine/WallpaperWindow.h"

#include <QList>
#include <QStringList>

class FakeWallpaperFactory;

// A player that only records what it is told. Its rate is 1 while playing.
class FakePlayer : public SharedPlayer {
public:
    FakePlayer(FakeWallpaperFactory& factory, QString file);
    ~FakePlayer() override;

    void play() override;
    void pause() override;
    [[nodiscard]] double rate() const override { return m_rate; }
    void unload() override;

    [[nodiscard]] const QString& file() const { return m_file; }
    [[nodiscard]] bool isPlaying() const { return m_rate != 0.0; }
    [[nodiscard]] bool isUnloaded() const { return m_unloaded; }

private:
    FakeWallpaperFactory& m_factory;
    QString m_file;
    double m_rate = 0.0;
    bool m_unloaded = false;
};

// A window that only records what it is told. It starts visible, as on a desktop with nothing open.
class FakeWindow : public WallpaperWindow {
public:
    FakeWindow(FakeWallpaperFactory& factory, ScreenInfo screen, std::function<void()> visibilityChanged);
    ~FakeWindow() override;

    [[nodiscard]] QRect frame() const override { return m_frame; }
    void setFrame(const QRect& frame) override;
    void orderFront() override;
    void orderOut() override;
    [[nodiscard]] SharedPlayer* player() const override { return m_player; }
    void setPlayer(SharedPlayer* player) override;
    [[nodiscard]] bool isVisible() const override { return m_visible; }

    // As the platform would: stores the state and reports the change.
    void setVisible(bool visible);

    [[nodiscard]] const ScreenInfo& screen() const { return m_screen; }
    [[nodiscard]] FakePlayer* fakePlayer() const { return static_cast<FakePlayer*>(m_player); }
    [[nodiscard]] bool isShown() const { return m_shown; }
    // Distinguishes windows across releases, where addresses may be reused.
    [[nodiscard]] int serial() const { return m_serial; }

    int setFrameCalls = 0;
    int setPlayerCalls = 0;
    int orderFrontCalls = 0;

private:
    FakeWallpaperFactory& m_factory;
    ScreenInfo m_screen;
    std::function<void()> m_visibilityChanged;
    QRect m_frame;
    SharedPlayer* m_player = nullptr;
    bool m_visible = true;
    bool m_shown = false;
    int m_serial;
};

// Makes fake windows and players, keeps track of the live ones and journals every call made on
// them, so tests can check what happened and in which order.
class FakeWallpaperFactory : public WallpaperFactory {
public:
    [[nodiscard]] std::unique_ptr<WallpaperWindow>
    makeWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged) override;
    [[nodiscard]] std::unique_ptr<SharedPlayer> makePlayer(const QString& file) override;

    // The live window made for the display key, or null.
    [[nodiscard]] FakeWindow* window(const QString& key) const;
    // The live player of the file, or null.
    [[nodiscard]] FakePlayer* player(const QString& file) const;

    [[nodiscard]] const QList<FakeWindow*>& windows() const { return m_windows; }
    [[nodiscard]] const QList<FakePlayer*>& players() const { return m_players; }

    // Counters of creations and releases since the last reset.
    int windowsMade = 0;
    int windowsReleased = 0;
    int playersMade = 0;
    int playersReleased = 0;
    void resetCounters();

    // Calls in order, as "<what> <display key or file>".
    QStringList journal;
    // Runs before each player is made, with its file.
    std::function<void(const QString&)> beforeMakePlayer;

private:
    friend class FakeWindow;
    friend class FakePlayer;

    QList<FakeWindow*> m_windows;
    QList<FakePlayer*> m_players;
    int m_nextSerial = 1;
};
