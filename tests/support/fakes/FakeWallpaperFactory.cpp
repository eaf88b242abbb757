// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FakeWallpaperFactory.h"

FakePlayer::FakePlayer(FakeWallpaperFactory& factory, QString file)
    : m_factory(factory), m_file(std::move(file)) {
    m_factory.m_players.append(this);
    ++m_factory.playersMade;
}

FakePlayer::~FakePlayer() {
    m_factory.m_players.removeOne(this);
    ++m_factory.playersReleased;
    m_factory.journal.append(QStringLiteral("release ") + m_file);
}

void FakePlayer::play() {
    m_rate = 1.0;
    m_factory.journal.append(QStringLiteral("play ") + m_file);
}

void FakePlayer::pause() {
    m_rate = 0.0;
    m_factory.journal.append(QStringLiteral("pause ") + m_file);
}

void FakePlayer::unload() {
    m_unloaded = true;
    m_factory.journal.append(QStringLiteral("unload ") + m_file);
}

FakeWindow::FakeWindow(FakeWallpaperFactory& factory, ScreenInfo screen,
                       std::function<void()> visibilityChanged)
    : m_factory(factory), m_screen(std::move(screen)), m_visibilityChanged(std::move(visibilityChanged)),
      m_frame(m_screen.frame), m_serial(factory.m_nextSerial++) {
    m_factory.m_windows.append(this);
    ++m_factory.windowsMade;
}

FakeWindow::~FakeWindow() {
    m_factory.m_windows.removeOne(this);
    ++m_factory.windowsReleased;
    m_factory.journal.append(QStringLiteral("release window ") + displayKey(m_screen));
}

void FakeWindow::setFrame(const QRect& frame) {
    m_frame = frame;
    ++setFrameCalls;
}

void FakeWindow::orderFront() {
    m_shown = true;
    ++orderFrontCalls;
}

void FakeWindow::orderOut() {
    m_shown = false;
    m_factory.journal.append(QStringLiteral("orderOut ") + displayKey(m_screen));
}

void FakeWindow::setPlayer(SharedPlayer* player) {
    m_player = player;
    ++setPlayerCalls;
    const auto* fake = static_cast<FakePlayer*>(player);
    m_factory.journal.append(QStringLiteral("setPlayer ") + displayKey(m_screen) + QLatin1Char(' ') +
                             (fake ? fake->file() : QStringLiteral("none")));
}

void FakeWindow::setVisible(bool visible) {
    m_visible = visible;
    if (m_visibilityChanged)
        m_visibilityChanged();
}

std::unique_ptr<WallpaperWindow> FakeWallpaperFactory::makeWindow(const ScreenInfo& screen,
                                                                  std::function<void()> visibilityChanged) {
    return std::make_unique<FakeWindow>(*this, screen, std::move(visibilityChanged));
}

std::unique_ptr<SharedPlayer> FakeWallpaperFactory::makePlayer(const QString& file) {
    if (beforeMakePlayer)
        beforeMakePlayer(file);
    return std::make_unique<FakePlayer>(*this, file);
}

FakeWindow* FakeWallpaperFactory::window(const QString& key) const {
    for (FakeWindow* window : m_windows) {
        if (displayKey(window->screen()) == key)
            return window;
    }
    return nullptr;
}

FakePlayer* FakeWallpaperFactory::player(const QString& file) const {
    for (FakePlayer* player : m_players) {
        if (player->file() == file)
            return player;
    }
    return nullptr;
}

void FakeWallpaperFactory::resetCounters() {
    windowsMade = windowsReleased = playersMade = playersReleased = 0;
    journal.clear();
}
