// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/AppDelegate.h"

#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "library/LibraryStore.h"
#include "shell/LibraryWindow.h"
#include "shell/ShellLog.h"
#include "shell/ShellNames.h"
#include "shell/ShellTexts.h"
#include "shell/tray/StatusItem.h"
#include "shell/tray/TrayHostWatcher.h"
#include "shell/update/UpdateController.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QTimer>

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment)),
      m_ping(m_network, m_environment.pingEndpoint, m_environment.version),
      m_updater(
          std::make_unique<UpdateController>(m_network, m_environment.updateFeed, m_environment.version)) {
    m_trayHostWait.setSingleShot(true);
    connect(&m_trayHostWait, &QTimer::timeout, this, &AppDelegate::showLibraryWithoutTray);
    connect(m_updater.get(), &UpdateController::updateFound, this, [this](const UpdateFeed& feed) {
        m_foundUpdatePage = feed.page;
        if (m_statusItem)
            m_statusItem->showMessage(QString(ShellNames::applicationName),
                                      ShellTexts::versionAvailable.toString().arg(feed.version));
    });
}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::shouldShowLibraryAtLaunch(bool loginItemEnabled, double uptimeSeconds) {
    return !loginItemEnabled || uptimeSeconds >= loginLaunchQuietSeconds;
}

// The launch sequence, in this order. The main menu takes no step here: its actions are shortcuts of the
// library window, installed when the window is made.
void AppDelegate::applicationDidFinishLaunching() {
    setUpStatusItem();
    WallpaperEngine::shared().start();
    // Runs after this sequence has returned, like a task bound to the main thread.
    QTimer::singleShot(0, &LibraryStore::shared(), [] { LibraryStore::shared().refresh(); });
    sendFirstRunPing();
    m_updater->startUpdater();
    // The uptime is read only when it can matter.
    const bool loginItemEnabled = m_environment.loginItem.isEnabled();
    const double uptime = loginItemEnabled ? m_environment.uptime() : 0.0;
    if (shouldShowLibraryAtLaunch(loginItemEnabled, uptime)) {
        showLibrary();
        return;
    }
    m_libraryHeldBack = true;
    if (!m_statusItem->hostWatcher().hostPresent())
        m_trayHostWait.start(m_environment.trayHostWaitAtLogin);
}

void AppDelegate::setUpStatusItem() {
    m_statusItem =
        std::make_unique<StatusItem>([] { return StatusMenu::stateOf(WallpaperEngine::shared()); });
    connect(m_statusItem.get(), &StatusItem::commandChosen, this, &AppDelegate::perform);
    connect(m_statusItem.get(), &StatusItem::messageClicked, this, [this] {
        if (m_foundUpdatePage.isValid() && !QDesktopServices::openUrl(m_foundUpdatePage))
            qCWarning(lcShell).noquote() << "No browser opened" << m_foundUpdatePage.toString();
    });
    connect(&m_statusItem->hostWatcher(), &TrayHostWatcher::settledChanged, this,
            &AppDelegate::showLibraryWithoutTray);
    connect(&m_statusItem->hostWatcher(), &TrayHostWatcher::hostPresentChanged, this, [this] {
        if (m_statusItem->hostWatcher().hostPresent())
            m_trayHostWait.stop();
    });
}

// Without a tray to hold its menu, the application would be unreachable: the window opens after all,
// once the tray host has had its time to appear.
void AppDelegate::showLibraryWithoutTray() {
    const TrayHostWatcher& hosts = m_statusItem->hostWatcher();
    if (m_libraryHeldBack && hosts.settled() && !hosts.hostPresent() && !m_trayHostWait.isActive()) {
        m_libraryHeldBack = false;
        showLibrary();
    }
}

void AppDelegate::sendFirstRunPing() {
    Preferences& preferences = m_environment.preferences;
    if (preferences.boolValue(PreferenceKeys::firstRunSent).value_or(false))
        return;
    // Written first, so that a ping that fails is never repeated.
    preferences.setBool(PreferenceKeys::firstRunSent, true);
    m_ping.send(QString(ShellNames::firstRunEvent));
}

void AppDelegate::applicationShouldHandleReopen(const QString& activationToken) {
    showLibrary(activationToken);
}

void AppDelegate::showLibrary(const QString& activationToken) {
    m_libraryHeldBack = false;
    if (!m_libraryWindow)
        m_libraryWindow = std::make_unique<LibraryWindow>(
            m_environment.preferences, m_environment.libraryView, m_environment.screenAreas);
    m_libraryWindow->present(activationToken);
}

void AppDelegate::togglePause() {
    WallpaperEngine& engine = WallpaperEngine::shared();
    engine.setUserPaused(!engine.userPaused());
}

void AppDelegate::nextWallpaper() {
    WallpaperEngine::shared().advance();
}

void AppDelegate::stopWallpaper() {
    WallpaperEngine::shared().stop();
}

void AppDelegate::checkForUpdates() {
    m_updater->checkForUpdates();
}

void AppDelegate::perform(StatusMenu::Command command) {
    switch (command) {
    case StatusMenu::Command::None:
        break;
    case StatusMenu::Command::ShowLibrary:
        showLibrary();
        break;
    case StatusMenu::Command::TogglePause:
        togglePause();
        break;
    case StatusMenu::Command::NextWallpaper:
        nextWallpaper();
        break;
    case StatusMenu::Command::StopWallpaper:
        stopWallpaper();
        break;
    case StatusMenu::Command::CheckForUpdates:
        checkForUpdates();
        break;
    case StatusMenu::Command::Quit:
        QCoreApplication::quit();
        break;
    }
}
