// SPDX-License-Identifier: GPL-3.0-or-later
// Plays one video file as the wallpaper through the real engine, screens, window list, X11 windows and
// libmpv players, the way the application does, for playback_cost.py to measure. The system's power
// and session state read as quiet. Usage:
//   bench_playback FILE [--on SCREEN]... [--paused] [--seconds N]
// Without --on the file goes on every display ("*"). Prints a line when the first frame is on
// screen and, at the end, how many frames were rendered and drawn.
#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/SystemConditions.h"
#include "engine/WallpaperEngine.h"
#include "library/LibraryStore.h"
#include "platform/desktop/DesktopGl.h"
#include "platform/desktop/X11MpvWallpaperFactory.h"
#include "platform/desktop/X11WallpaperWindow.h"
#include "platform/mpv/MpvLocale.h"
#include "platform/mpv/MpvSharedPlayer.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

class QuietConditions final : public SystemConditions {
public:
    [[nodiscard]] bool isOnBattery() const override { return false; }
    [[nodiscard]] bool isLowPowerModeEnabled() const override { return false; }
    [[nodiscard]] ThermalLevel thermalLevel() const override { return ThermalLevel::Nominal; }
};

} // namespace

int main(int argc, char* argv[]) {
    DesktopGl::prepareApplication();
    QGuiApplication app(argc, argv);
    MpvLocale::useCNumeric();

    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The video to play."));
    // Not "--display": Qt takes that one for the X server.
    const QCommandLineOption on(QStringLiteral("on"), QStringLiteral("A screen to play on."),
                                QStringLiteral("name"));
    const QCommandLineOption paused(QStringLiteral("paused"), QStringLiteral("Start paused by the user."));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("Quit after this long."),
                                     QStringLiteral("n"));
    parser.addOptions({on, paused, seconds});
    parser.addHelpOption();
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(1);

    QTemporaryDir home;
    const QString root = home.filePath(QStringLiteral("Lumivale"));
    QDir().mkpath(root + QStringLiteral("/Library"));
    const QString source = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    if (!QFile::link(source, root + QStringLiteral("/Library/bench.mp4"))) {
        QTextStream(stderr) << "cannot use " << source << Qt::endl;
        return 1;
    }
    Preferences preferences(home.filePath(QStringLiteral("preferences.json")));
    QJsonObject assignments;
    const QStringList displays = parser.values(on);
    if (displays.isEmpty())
        assignments.insert(QStringLiteral("*"), QStringLiteral("bench"));
    for (const QString& name : displays)
        assignments.insert(name, QStringLiteral("bench"));
    preferences.setValue(PreferenceKeys::assignments, assignments);
    preferences.setBool(PreferenceKeys::userPaused, parser.isSet(paused));

    LibraryStore store(root);
    X11ScreenSource screens;
    QuietConditions conditions;
    X11WindowList windowList;
    X11MpvWallpaperFactory factory;
    WallpaperEngine engine(
        store, preferences,
        {.screens = screens, .factory = factory, .conditions = conditions, .windowList = windowList});
    engine.start();

    QTextStream out(stdout);
    QTimer firstFrame;
    QObject::connect(&firstFrame, &QTimer::timeout, &app, [&] {
        const QList<X11WallpaperWindow*> windows = factory.windows();
        if (!windows.isEmpty() &&
            std::all_of(windows.cbegin(), windows.cend(),
                        [](const X11WallpaperWindow* w) { return w->framesShown() > 0; })) {
            out << "ready" << Qt::endl;
            firstFrame.stop();
        }
    });
    firstFrame.start(50);
    if (parser.isSet(seconds))
        QTimer::singleShot(int(parser.value(seconds).toDouble() * 1000), &app, &QCoreApplication::quit);

    const int status = QGuiApplication::exec();
    for (const MpvSharedPlayer* player : factory.players())
        out << "player " << player->file() << ": " << player->framesRendered() << " frames rendered\n";
    for (const X11WallpaperWindow* window : factory.windows())
        out << "window " << window->screenName() << ": " << window->framesShown() << " frames shown\n";
    out.flush();
    return status;
}
