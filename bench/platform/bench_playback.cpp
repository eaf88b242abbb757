// SPDX-License-Identifier: GPL-3.0-or-later
// Plays one video file as the wallpaper through the real engine, screens, window list, wallpaper
// windows and libmpv players of one backend, the way the application does. The system's power and
// session state read as quiet. Usage:
//   bench_playback FILE [--backend x11|wayland] [--on SCREEN]... [--paused] [--seconds N] [--covers N]
// Without --on the file goes on every display ("*"). Prints a line when the first frame is on every
// display; at the end, how many frames each player rendered and each window showed, and per second.
// With --covers N, a full-screen mpv covers the first display N times: the time until its player is
// paused, and until it plays again once the window is gone.
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
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreenSource.h"
#include "platform/wayland/WaylandWallpaperFactory.h"
#include "platform/wayland/WaylandWallpaperWindow.h"
#include "platform/wayland/WaylandWindowList.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace {

class QuietConditions final : public SystemConditions {
public:
    [[nodiscard]] bool isOnBattery() const override { return false; }
    [[nodiscard]] bool isLowPowerModeEnabled() const override { return false; }
    [[nodiscard]] ThermalLevel thermalLevel() const override { return ThermalLevel::Nominal; }
};

// One backend's platform services, and what the benchmark reads of its windows.
struct Backend {
    virtual ~Backend() = default;
    virtual ScreenSource& screens() = 0;
    virtual WindowList& windowList() = 0;
    virtual WallpaperFactory& factory() = 0;
    struct Shown {
        QString display;
        quint64 frames = 0;
        SharedPlayer* player = nullptr;
    };
    // Each wallpaper window: its display's name, the frames it showed and its player.
    [[nodiscard]] virtual QList<Shown> windows() const = 0;
    [[nodiscard]] virtual QList<MpvSharedPlayer*> players() const = 0;

    [[nodiscard]] QList<std::pair<QString, quint64>> framesShown() const {
        QList<std::pair<QString, quint64>> frames;
        for (const Shown& window : windows())
            frames.append({window.display, window.frames});
        return frames;
    }
    [[nodiscard]] SharedPlayer* playerOn(const QString& display) const {
        for (const Shown& window : windows())
            if (window.display == display)
                return window.player;
        return nullptr;
    }
    // A full-screen window over the display, as a user's video or game.
    [[nodiscard]] virtual QStringList coverCommand(const QString& display, const QString& file) const = 0;
};

template <class Window>
QList<Backend::Shown> shownBy(const QList<Window*>& windows, QString (*name)(const Window&)) {
    QList<Backend::Shown> shown;
    for (const Window* window : windows)
        shown.append({name(*window), window->framesShown(), window->player()});
    return shown;
}

struct X11Backend final : Backend {
    X11ScreenSource x11Screens;
    X11WindowList x11Windows;
    X11MpvWallpaperFactory x11Factory;
    ScreenSource& screens() override { return x11Screens; }
    WindowList& windowList() override { return x11Windows; }
    WallpaperFactory& factory() override { return x11Factory; }
    [[nodiscard]] QList<Shown> windows() const override {
        return shownBy<X11WallpaperWindow>(x11Factory.windows(),
                                           [](const X11WallpaperWindow& w) { return w.screenName(); });
    }
    [[nodiscard]] QList<MpvSharedPlayer*> players() const override { return x11Factory.players(); }
    [[nodiscard]] QStringList coverCommand(const QString& display, const QString& file) const override {
        const QRect frame = x11Screens.screens().value(0).frame;
        Q_UNUSED(display);
        return {"mpv",
                "--no-config",
                "--really-quiet",
                "--no-audio",
                "--loop-file=inf",
                "--vo=x11",
                QStringLiteral("--geometry=%1x%2+%3+%4")
                    .arg(frame.width())
                    .arg(frame.height())
                    .arg(frame.x())
                    .arg(frame.y()),
                "--fs",
                file};
    }
};

struct WaylandBackend final : Backend {
    explicit WaylandBackend(std::unique_ptr<WaylandConnection> connection)
        : connection(std::move(connection)), wlScreens(*this->connection), wlWindows(*this->connection),
          wlFactory(*this->connection) {}
    std::unique_ptr<WaylandConnection> connection;
    WaylandScreenSource wlScreens;
    WaylandWindowList wlWindows;
    WaylandWallpaperFactory wlFactory;
    ScreenSource& screens() override { return wlScreens; }
    WindowList& windowList() override { return wlWindows; }
    WallpaperFactory& factory() override { return wlFactory; }
    [[nodiscard]] QList<Shown> windows() const override {
        return shownBy<WaylandWallpaperWindow>(
            wlFactory.windows(), [](const WaylandWallpaperWindow& w) { return w.outputName(); });
    }
    [[nodiscard]] QList<MpvSharedPlayer*> players() const override { return wlFactory.players(); }
    // sway opens the window on the focused output.
    [[nodiscard]] QStringList coverCommand(const QString& display, const QString& file) const override {
        QProcess::execute("swaymsg", {"focus", "output", display});
        return {"mpv",  "--no-config", "--really-quiet", "--no-audio", "--loop-file=inf", "--vo=wlshm",
                "--fs", file};
    }
};

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values[values.size() / 2];
}

// Waits, running the event loop, until the condition holds; the time it took in ms, or -1.
double msUntil(const std::function<bool()>& condition, int timeoutMs = 30'000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool wayland = [&] {
        for (int i = 1; i + 1 < argc; ++i)
            if (QByteArray(argv[i]) == "--backend")
                return QByteArray(argv[i + 1]) == "wayland";
        return false;
    }();
    // The wallpaper windows are our own connection's on Wayland; Qt needs no display there.
    if (wayland)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else
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
    const QCommandLineOption backendOption(QStringLiteral("backend"), QStringLiteral("x11 or wayland."),
                                           QStringLiteral("name"), QStringLiteral("x11"));
    const QCommandLineOption covers(QStringLiteral("covers"),
                                    QStringLiteral("Cover the first display this many times."),
                                    QStringLiteral("n"));
    parser.addOptions({on, paused, seconds, backendOption, covers});
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
    QuietConditions conditions;
    std::unique_ptr<Backend> backend;
    if (wayland) {
        std::unique_ptr<WaylandConnection> connection = WaylandConnection::connect();
        if (!connection) {
            QTextStream(stderr) << "no Wayland compositor with the layer shell" << Qt::endl;
            return 1;
        }
        backend = std::make_unique<WaylandBackend>(std::move(connection));
    } else {
        backend = std::make_unique<X11Backend>();
    }
    WallpaperEngine engine(store, preferences,
                           {.screens = backend->screens(),
                            .factory = backend->factory(),
                            .conditions = conditions,
                            .windowList = backend->windowList()});
    if (auto* wl = dynamic_cast<WaylandBackend*>(backend.get()))
        QObject::connect(wl->connection.get(), &WaylandConnection::toplevelsChanged, &engine,
                         &WallpaperEngine::refreshCover, Qt::QueuedConnection);
    engine.start();

    QTextStream out(stdout);
    const auto allShowing = [&] {
        const QList<std::pair<QString, quint64>> shown = backend->framesShown();
        return !shown.isEmpty() &&
               std::all_of(shown.cbegin(), shown.cend(), [](const auto& w) { return w.second > 0; });
    };
    if (msUntil(allShowing, 60'000) < 0 && !parser.isSet(paused)) {
        out << "no frame on some display" << Qt::endl;
        return 1;
    }
    out << "ready" << Qt::endl;

    // Frames over the stretch, after a second of settling. Not the application's own loop: its end
    // announces a quit, on which the X11 windows go.
    const auto runFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    runFor(1000);
    QList<quint64> rendered;
    for (const MpvSharedPlayer* player : backend->players())
        rendered.append(player->framesRendered());
    const QList<std::pair<QString, quint64>> shownBefore = backend->framesShown();
    QElapsedTimer stretch;
    stretch.start();
    runFor(parser.isSet(seconds) ? int(parser.value(seconds).toDouble() * 1000) : 10'000);
    const double elapsed = double(stretch.elapsed()) / 1000.0;
    for (qsizetype i = 0; i < backend->players().size(); ++i) {
        const MpvSharedPlayer* player = backend->players()[i];
        const quint64 frames = player->framesRendered() - rendered.value(i);
        out << "player " << player->file() << ": " << frames << " frames rendered, "
            << QString::number(frames / elapsed, 'f', 1) << " per second\n";
    }
    const QList<std::pair<QString, quint64>> shownAfter = backend->framesShown();
    for (qsizetype i = 0; i < shownAfter.size(); ++i) {
        const quint64 frames = shownAfter[i].second - shownBefore.value(i).second;
        out << "window " << shownAfter[i].first << ": " << frames << " frames shown, "
            << QString::number(frames / elapsed, 'f', 1) << " per second\n";
    }
    out.flush();

    const QString first = backend->framesShown().value(0).first;
    QList<double> toPause;
    QList<double> toPlay;
    for (int cover = 0; cover < parser.value(covers).toInt(); ++cover) {
        const QStringList command =
            backend->coverCommand(first, store.localURL(QStringLiteral("bench")).value_or(QString()));
        QProcess window;
        window.start(command.first(), command.mid(1));
        const auto rate = [&] { return backend->playerOn(first) ? backend->playerOn(first)->rate() : -1.0; };
        toPause.append(msUntil([&] { return rate() == 0.0; }));
        window.kill();
        window.waitForFinished();
        toPlay.append(msUntil([&] { return rate() == 1.0; }));
        msUntil([] { return false; }, 1000);
    }
    if (!toPause.isEmpty())
        out << "covered " << toPause.size() << " times: paused after " << median(toPause)
            << " ms, playing again " << median(toPlay) << " ms after the window went (medians)\n";
    out.flush();
    return 0;
}
