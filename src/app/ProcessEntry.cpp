// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProcessEntry.h"

#include "app/LinuxPlatform.h"
#include "core/Preferences.h"
#include "core/ServiceUrls.h"
#include "engine/ScreenSource.h"
#include "engine/WallpaperEngine.h"
#include "interface/InterfaceServices.h"
#include "library/LibraryStore.h"
#include "platform/desktop/DesktopGl.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "platform/mpv/MpvLocale.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/xdg/SystemUptime.h"
#include "shell/AppDelegate.h"
#include "shell/DisplayBackend.h"
#include "shell/InstanceLock.h"
#include "shell/ShellLog.h"
#include "shell/ShellNames.h"
#include "shell/ShellTexts.h"
#include "shell/bus/BusService.h"
#include "shell/bus/CommandLine.h"
#include "shell/bus/ControlClient.h"
#include "shell/bus/TerminalText.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QQmlEngine>
#include <QQuickView>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

namespace {

constexpr unsigned long reopenRetryDelayMs = 500;

void nameTheApplication() {
    QCoreApplication::setApplicationName(QString(ShellNames::applicationName));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMIVALE_VERSION));
    QGuiApplication::setDesktopFileName(QString(ShellNames::applicationId));
}

// The texts in the user's language, where Lumivale has a translation for it; English otherwise.
void installTranslation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(), QStringLiteral("lumivale"), QStringLiteral("_"),
                         QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(translator);
}

// --help, --version and the commands for a running instance need no display.
int runWithoutWindows(int argc, char* argv[], const CommandLine& command) {
    QCoreApplication app(argc, argv);
    nameTheApplication();
    installTranslation(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!command.error.isEmpty()) {
        err << TerminalText::printable(command.error) << "\n\n" << CommandLine::usage();
        return 2;
    }
    switch (command.action) {
    case CommandLine::Action::Help:
        out << CommandLine::usage();
        return 0;
    case CommandLine::Action::Version:
        out << ShellNames::applicationName << ' ' << QCoreApplication::applicationVersion() << '\n';
        return 0;
    default:
        return ControlClient::run(command, QDBusConnection::sessionBus(), out, err);
    }
}

int runApplication(int argc, char* argv[]) {
    const DisplayBackend::Kind backend = DisplayBackend::prepare(&WaylandConnection::offersLayerShell);
    nameTheApplication();
    const QVariantMap launchData = BusService::launchPlatformData();
    // Before the application exists: shared GL contexts, and EGL where GLX would re-fault buffers.
    DesktopGl::prepareApplication();
    QApplication app(argc, argv);
    installTranslation(app);
    MpvLocale::useCNumeric();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lumivale/icons/app.svg")));
    QApplication::setQuitOnLastWindowClosed(false);

    BusService bus(QDBusConnection::sessionBus());
    if (bus.claim() == BusService::Claim::Taken) {
        // The running one may still be starting; either way this launch has done what it could.
        if (!BusService::activateRunningInstance(QDBusConnection::sessionBus(), launchData)) {
            QThread::msleep(reopenRetryDelayMs);
            if (!BusService::activateRunningInstance(QDBusConnection::sessionBus(), launchData))
                qCWarning(lcShell) << "The running Lumivale did not answer; it was not brought to the front.";
        }
        return 0;
    }
    // Without a bus, or with another bus over the same home, the lock is what keeps a second
    // instance from writing over the first one's files.
    const InstanceLock lock;
    if (lock.isTaken()) {
        QTextStream(stderr) << ShellTexts::alreadyRunning.toString() << Qt::endl;
        return 0;
    }

    LinuxPlatform platform(backend);
    Preferences& preferences = Preferences::shared();
    LibraryStore& store = LibraryStore::shared();
    WallpaperEngine engine(store, preferences, platform.engine());
    platform.followWindowChanges(engine);
    WallpaperEngine::setShared(&engine);
    store.setWallpaperTarget(&engine);
    store.setMediaInspector(std::make_shared<FfmpegMediaInspector>());

    // Qt 6.4's available geometries are wrong with several monitors on X11.
    const auto visibleFrames = [&platform] {
        QList<QRect> areas;
        for (const ScreenInfo& screen : platform.screens().screens())
            areas.append(screen.visibleFrame);
        return areas;
    };
    AppDelegate delegate({.preferences = preferences,
                          .loginItem = LoginItem::forThisSession(),
                          .uptime = &SystemUptime::seconds,
                          .pingEndpoint = ServiceUrls::endpoint(QString(ShellNames::pingPath)),
                          .updateFeed = ServiceUrls::endpoint(QString(ShellNames::updatePath)),
                          .version = QCoreApplication::applicationVersion(),
                          .screenAreas = visibleFrames,
                          .libraryView = [&](QQuickView& view) {
                              InterfaceServices::install(*view.engine(), {.store = store,
                                                                          .engine = engine,
                                                                          .screens = platform.screens(),
                                                                          .loginItem = delegate.loginItem(),
                                                                          .network = nullptr});
                              view.setSource(InterfaceServices::libraryViewUrl());
                          }});
    bus.serve(delegate, platform.screens());
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    QApplication::exec();

    store.setWallpaperTarget(nullptr);
    WallpaperEngine::setShared(nullptr);
    InterfaceServices::uninstall();
    return 0;
}

} // namespace

int ProcessEntry::run(int argc, char* argv[]) {
    ShellLog::markPrioritiesForJournal();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine command = CommandLine::parse(arguments);
    if (command.action != CommandLine::Action::Launch || !command.error.isEmpty())
        return runWithoutWindows(argc, argv, command);
    return runApplication(argc, argv);
}
