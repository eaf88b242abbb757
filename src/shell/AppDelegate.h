// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/xdg/LoginItem.h"
#include "shell/LibraryWindow.h"
#include "shell/tray/StatusMenu.h"
#include "shell/update/UsagePing.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

class Preferences;
class StatusItem;
class UpdateController;

// The application's one delegate: runs the launch sequence, owns the status item, the library window and
// the updater, and carries out the menu actions. The engine and the store are reached as the shared
// instances; the composition root makes them before the delegate runs.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // What differs between this session and a test.
    struct Environment {
        Preferences& preferences;
        LoginItem loginItem;
        std::function<double()> uptime;
        QUrl pingEndpoint;
        QUrl updateFeed;
        QString version;
        // At a login launch the panel may register its tray after Lumivale starts: how long to wait for
        // it before the window opens after all.
        std::chrono::milliseconds trayHostWaitAtLogin = std::chrono::seconds(30);
        // Where the library window may go; Qt's idea of the screens when empty.
        LibraryWindow::ScreenAreas screenAreas = {};
        // The library view; an empty window when none is given.
        LibraryWindow::ViewLoader libraryView = {};
    };

    static constexpr double loginLaunchQuietSeconds = 240.0;

    explicit AppDelegate(Environment environment, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Whether the library window opens at launch: not when the session started the application at login
    // less than four minutes after the system started.
    [[nodiscard]] static bool shouldShowLibraryAtLaunch(bool loginItemEnabled, double uptimeSeconds);

    void applicationDidFinishLaunching();
    // Opening the running application again, from a launcher or a second launch, with the activation
    // token or startup id that the launcher gave it.
    void applicationShouldHandleReopen(const QString& activationToken = {});

    void showLibrary(const QString& activationToken = {});
    void togglePause();
    void nextWallpaper();
    void stopWallpaper();
    void checkForUpdates();
    void perform(StatusMenu::Command command);

    [[nodiscard]] StatusItem* statusItem() const { return m_statusItem.get(); }
    [[nodiscard]] LibraryWindow* libraryWindow() const { return m_libraryWindow.get(); }
    [[nodiscard]] UpdateController& updater() const { return *m_updater; }
    [[nodiscard]] LoginItem& loginItem() { return m_environment.loginItem; }
    // A login launch is waiting for a tray host before it opens the window.
    [[nodiscard]] bool waitingForTrayHost() const { return m_trayHostWait.isActive(); }

private:
    void setUpStatusItem();
    void sendFirstRunPing();
    void showLibraryWithoutTray();

    Environment m_environment;
    QNetworkAccessManager m_network;
    UsagePing m_ping;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<LibraryWindow> m_libraryWindow;
    std::unique_ptr<UpdateController> m_updater;
    QUrl m_foundUpdatePage;
    QTimer m_trayHostWait;
    bool m_libraryHeldBack = false;
};
