// SPDX-License-Identifier: GPL-3.0-or-later
// Soak: resident memory, open file descriptors and threads while the real engine, X11 windows and
// libmpv players loop a 2 s clip on two displays (Xvfb, openbox), then while the wallpaper changes
// back and forth. The figures should stay flat after the warm-up. Usage:
//   bench_soak [--loops N (1000)] [--changes N (200)] [--samples N (10)]
// Prints one line per sample: phase, loops played or changes made, RSS in KiB, descriptors, threads.
#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/SystemConditions.h"
#include "engine/WallpaperEngine.h"
#include "library/LibraryStore.h"
#include "platform/desktop/DesktopGl.h"
#include "platform/desktop/X11MpvWallpaperFactory.h"
#include "platform/desktop/X11WallpaperWindow.h"
#include "platform/mpv/MpvLocale.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"
#include "support/TestVideos.h"
#include "support/XvfbSession.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

class QuietConditions final : public SystemConditions {
public:
    [[nodiscard]] bool isOnBattery() const override { return false; }
    [[nodiscard]] bool isLowPowerModeEnabled() const override { return false; }
    [[nodiscard]] ThermalLevel thermalLevel() const override { return ThermalLevel::Nominal; }
};

qint64 statusValue(const QByteArray& key) {
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').constFirst().toLongLong();
    return -1;
}

void sample(const char* phase, int count) {
    const qsizetype fds =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
    std::printf("%-8s %6d %10lld %5lld %8lld\n", phase, count, statusValue("VmRSS"),
                static_cast<long long>(fds), statusValue("Threads"));
    std::fflush(stdout);
}

bool framesGoOn(const X11MpvWallpaperFactory& factory) {
    QList<quint64> before;
    const QList<X11WallpaperWindow*> windows = factory.windows();
    for (const X11WallpaperWindow* window : windows)
        before.append(window->framesShown());
    return QTest::qWaitFor(
        [&] {
            for (qsizetype i = 0; i < windows.size(); ++i)
                if (windows[i]->framesShown() <= before[i])
                    return false;
            return true;
        },
        20'000);
}

} // namespace

int main(int argc, char* argv[]) {
    XvfbSession session;
    if (!session.isReady()) {
        std::fputs("Run it on a test display: tests/support/on-xvfb.sh BENCHMARK\n", stderr);
        return 1;
    }
    DesktopGl::prepareApplication();
    QGuiApplication app(argc, argv);
    MpvLocale::useCNumeric();
    QCommandLineParser parser;
    const QCommandLineOption loops(QStringLiteral("loops"), QStringLiteral("Loops of the clip."),
                                   QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption changes(QStringLiteral("changes"), QStringLiteral("Wallpaper changes."),
                                     QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption samples(QStringLiteral("samples"), QStringLiteral("Samples per phase."),
                                     QStringLiteral("n"), QStringLiteral("10"));
    parser.addOptions({loops, changes, samples});
    parser.addHelpOption();
    parser.process(app);
    const int loopCount = parser.value(loops).toInt();
    const int changeCount = parser.value(changes).toInt();
    const int sampleCount = std::max(1, parser.value(samples).toInt());

    TestVideos videos;
    QTemporaryDir home;
    const QString root = home.filePath(QStringLiteral("Lumivale"));
    QDir().mkpath(root + QStringLiteral("/Library"));
    const std::pair<const char*, TestVideo> clips[] = {{"a", TestVideo::TinySilent},
                                                       {"b", TestVideo::MyHolidayMp4}};
    for (const auto& [id, kind] : clips)
        if (!QFile::copy(videos.path(kind),
                         root + QStringLiteral("/Library/%1.mp4").arg(QLatin1String(id)))) {
            std::fprintf(stderr, "cannot make the clips\n");
            return 1;
        }
    Preferences preferences(home.filePath(QStringLiteral("preferences.json")));
    preferences.setValue(PreferenceKeys::assignments,
                         QJsonObject{{QStringLiteral("*"), QStringLiteral("a")}});
    LibraryStore store(root);
    X11ScreenSource screens;
    QuietConditions conditions;
    X11WindowList windowList;
    X11MpvWallpaperFactory factory;
    WallpaperEngine engine(
        store, preferences,
        {.screens = screens, .factory = factory, .conditions = conditions, .windowList = windowList});
    engine.start();
    if (factory.windows().size() != 2 || !framesGoOn(factory)) {
        std::fprintf(stderr, "the wallpaper does not play on two displays\n");
        return 1;
    }

    std::printf("phase     count   rss(KiB)   fds  threads\n");
    sample("start", 0);
    // The clip is 2 s long: loops are counted by the clock.
    QElapsedTimer clock;
    clock.start();
    for (int s = 1; s <= sampleCount; ++s) {
        const qint64 until = qint64(loopCount) * 2000 * s / sampleCount;
        QTest::qWait(int(std::max<qint64>(0, until - clock.elapsed())));
        sample("loops", loopCount * s / sampleCount);
    }
    for (int change = 1; change <= changeCount; ++change) {
        engine.setAssignment(QStringLiteral("*"), QLatin1String(change % 2 ? "b" : "a"));
        engine.apply();
        if (!framesGoOn(factory)) {
            std::fprintf(stderr, "no frames after change %d\n", change);
            return 1;
        }
        if (change % std::max(1, changeCount / sampleCount) == 0)
            sample("changes", change);
    }
    return 0;
}
