// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's steady-state work against adapters that do nothing: apply() (which ends with
// updatePlayback()) with 6 displays and 3 files, updatePlayback() alone, and refreshCover() over
// 200 windows and 6 displays. Prints the median of several runs, in microseconds per call.
#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/ScreenSource.h"
#include "engine/SharedPlayer.h"
#include "engine/SystemConditions.h"
#include "engine/WallpaperEngine.h"
#include "engine/WallpaperFactory.h"
#include "engine/WallpaperWindow.h"
#include "engine/WindowList.h"
#include "library/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {
constexpr int displays = 6;
constexpr int windowCount = 200;
constexpr int callsPerRun = 5'000;
constexpr int runs = 15;

class Screens : public ScreenSource {
public:
    QList<ScreenInfo> list;
    [[nodiscard]] QList<ScreenInfo> screens() const override { return list; }
};

class Player : public SharedPlayer {
public:
    void play() override { m_rate = 1.0; }
    void pause() override { m_rate = 0.0; }
    [[nodiscard]] double rate() const override { return m_rate; }
    void unload() override {}

private:
    double m_rate = 0.0;
};

class Window : public WallpaperWindow {
public:
    explicit Window(const QRect& frame) : m_frame(frame) {}
    [[nodiscard]] QRect frame() const override { return m_frame; }
    void setFrame(const QRect& frame) override { m_frame = frame; }
    void orderFront() override {}
    void orderOut() override {}
    [[nodiscard]] SharedPlayer* player() const override { return m_player; }
    void setPlayer(SharedPlayer* player) override { m_player = player; }
    [[nodiscard]] bool isVisible() const override { return true; }

private:
    QRect m_frame;
    SharedPlayer* m_player = nullptr;
};

class Factory : public WallpaperFactory {
public:
    std::unique_ptr<WallpaperWindow> makeWindow(const ScreenInfo& screen, std::function<void()>) override {
        return std::make_unique<Window>(screen.frame);
    }
    std::unique_ptr<SharedPlayer> makePlayer(const QString&) override { return std::make_unique<Player>(); }
};

class Conditions : public SystemConditions {
public:
    [[nodiscard]] bool isOnBattery() const override { return false; }
    [[nodiscard]] bool isLowPowerModeEnabled() const override { return false; }
    [[nodiscard]] ThermalLevel thermalLevel() const override { return ThermalLevel::Nominal; }
};

class Windows : public WindowList {
public:
    QList<WindowInfo> list;
    [[nodiscard]] std::optional<QList<WindowInfo>> onScreenWindows() const override { return list; }
};

template <typename F> double medianMicrosPerCall(F&& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int call = 0; call < callsPerRun; ++call)
            work();
        times.push_back(double(timer.nsecsElapsed()) / 1e3 / callsPerRun);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    const QString root = home.path() + QStringLiteral("/Lumivale");
    LibraryStore store(root);
    for (const char* id : {"a", "b", "c"}) {
        QFile file(root + QStringLiteral("/Library/") + QLatin1String(id) + QStringLiteral(".mp4"));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
    }
    Preferences preferences(home.path() + QStringLiteral("/preferences.json"));
    preferences.setValue(PreferenceKeys::assignments,
                         QJsonObject{{"*", "a"}, {"D1", "b"}, {"D2", "b"}, {"D3", "c"}, {"D4", "c"}});

    Screens screens;
    for (int i = 0; i < displays; ++i) {
        const QRect frame(i * 1920, 0, 1920, 1080);
        screens.list.append({.uuid = QStringLiteral("D%1").arg(i),
                             .localizedName = QStringLiteral("Display %1").arg(i),
                             .frame = frame,
                             .visibleFrame = frame.adjusted(0, 32, 0, 0),
                             .platformName = QStringLiteral("DP-%1").arg(i)});
    }
    // Ordinary windows of all sizes, a few panels and translucent ones, and one maximised window
    // that covers display 3; the covered set is the same on every scan.
    Windows windows;
    for (int i = 0; i < windowCount; ++i) {
        const QRect bounds((i * 97) % (displays * 1920 - 800), (i * 53) % 600, 400 + i % 400, 300 + i % 300);
        windows.list.append({.layer = i % 17 == 0 ? 2 : 0,
                             .alpha = i % 11 == 0 ? std::optional<double>(0.5) : std::nullopt,
                             .bounds = bounds});
    }
    windows.list[150] = {.layer = 0, .alpha = 1.0, .bounds = screens.list[3].visibleFrame};

    Factory factory;
    Conditions conditions;
    WallpaperEngine engine(
        store, preferences,
        {.screens = screens, .factory = factory, .conditions = conditions, .windowList = windows});
    engine.apply();
    engine.refreshCover();

    const double apply = medianMicrosPerCall([&] { engine.apply(); });
    const double update = medianMicrosPerCall([&] { engine.updatePlayback(); });
    const double cover = medianMicrosPerCall([&] { engine.refreshCover(); });

    QTextStream out(stdout);
    out << "apply() + updatePlayback(), " << displays << " displays, 3 files: " << apply << " us/call\n";
    out << "updatePlayback() alone: " << update << " us/call\n";
    out << "refreshCover(), " << windowCount << " windows, " << displays << " displays: " << cover
        << " us/call (covered: " << engine.screensUnderAWindow().size() << ")\n";
    return 0;
}
