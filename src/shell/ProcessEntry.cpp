#include "shell/ProcessEntry.h"

#include "core/Preferences.h"
#include "core/ServiceUrls.h"
#include "engine/WallpaperEngine.h"
#include "interface/InterfaceServices.h"
#include "library/LibraryStore.h"
#include "platform/desktop/DesktopGl.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "shell/AppDelegate.h"
#include "shell/BusService.h"
#include "shell/CommandLine.h"
#include "shell/ControlClient.h"
#include "shell/DisplayBackend.h"
#include "shell/LinuxPlatform.h"
#include "shell/ShellNames.h"
#include "shell/SystemUptime.h"

#include <QApplication>
#include <QIcon>
#include <QQmlEngine>
#include <QQuickView>
#include <QTextStream>
#include <QTimer>
#include <clocale>
#include <cstdio>

namespace {

void nameTheApplication() {
    QCoreApplication::setApplicationName(QString(ShellNames::applicationName));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMIVALE_VERSION));
    QGuiApplication::setDesktopFileName(QString(ShellNames::applicationId));
}

// --help, --version and the commands for a running instance need no display.
int runWithoutWindows(int argc, char* argv[], const CommandLine& command) {
    QCoreApplication app(argc, argv);
    nameTheApplication();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!command.error.isEmpty()) {
        err << command.error << "\n\n" << CommandLine::usage();
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
    const DisplayBackend::Kind backend = DisplayBackend::prepare();
    nameTheApplication();
    // Before the application exists: shared GL contexts, and EGL where GLX would re-fault buffers.
    DesktopGl::prepareApplication();
    QApplication app(argc, argv);
    // libmpv refuses to run unless numbers use the C locale, which constructing the application undid.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lumivale/icons/app.svg")));
    QApplication::setQuitOnLastWindowClosed(false);

    BusService bus(QDBusConnection::sessionBus());
    if (bus.claim() == BusService::Claim::Taken)
        return BusService::activateRunningInstance(QDBusConnection::sessionBus()) ? 0 : 1;

    LinuxPlatform platform(backend);
    Preferences& preferences = Preferences::shared();
    LibraryStore& store = LibraryStore::shared();
    WallpaperEngine engine(store, preferences, platform.engine());
    WallpaperEngine::setShared(&engine);
    store.setWallpaperTarget(&engine);
    store.setMediaInspector(std::make_shared<FfmpegMediaInspector>());

    AppDelegate delegate({.preferences = preferences,
                          .loginItem = LoginItem::forThisSession(),
                          .uptime = &SystemUptime::seconds,
                          .pingEndpoint = ServiceUrls::endpoint(QString(ShellNames::pingPath)),
                          .updateFeed = ServiceUrls::endpoint(QString(ShellNames::updatePath)),
                          .version = QCoreApplication::applicationVersion(),
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
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine command = CommandLine::parse(arguments);
    if (command.action != CommandLine::Action::Launch || !command.error.isEmpty())
        return runWithoutWindows(argc, argv, command);
    return runApplication(argc, argv);
}
