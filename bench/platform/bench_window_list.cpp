// SPDX-License-Identifier: GPL-3.0-or-later
// Main-thread time of one cover scan on X11: X11WindowList::onScreenWindows() alone, and with the
// engine's cover test on top, with 10 and 50 ordinary windows over two monitors under Xvfb and
// openbox. The scan blocks the main thread while it waits for the server, so wall time is what the
// main thread spends; thread CPU time is our own share of it. Prints the median of 15 runs of 200
// scans, in microseconds per scan.
#include "engine/CoverScan.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"
#include "support/XvfbSession.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {
constexpr int runs = 15;
constexpr int scansPerRun = 200;

double threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

double wallNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Cost {
    double wallUs;
    double cpuUs;
};

Cost measure(const std::function<void()>& scan) {
    for (int i = 0; i < 20; ++i)
        scan();
    std::vector<double> wall, cpu;
    for (int run = 0; run < runs; ++run) {
        const double wall0 = wallNs(), cpu0 = threadCpuNs();
        for (int i = 0; i < scansPerRun; ++i)
            scan();
        wall.push_back((wallNs() - wall0) / scansPerRun / 1000.0);
        cpu.push_back((threadCpuNs() - cpu0) / scansPerRun / 1000.0);
    }
    return {median(wall), median(cpu)};
}
} // namespace

int main(int argc, char** argv) {
    XvfbSession session;
    if (!session.isReady()) {
        std::fputs("Run it on a test display: tests/support/on-xvfb.sh BENCHMARK\n", stderr);
        return 1;
    }
    QGuiApplication app(argc, argv);
    const X11ScreenSource screens;
    const X11WindowList list;

    std::printf("windows  listed  scan wall us  scan cpu us  scan+cover wall us  scan+cover cpu us\n");
    int made = 0;
    for (const int count : {10, 50}) {
        for (; made < count; ++made) {
            const int column = made / 2;
            const QRect bounds((made % 2) * 1920 + 40 * (column % 20), 40 + 15 * column, 800, 500);
            if (!session.createWindow({.bounds = bounds})) {
                std::fprintf(stderr, "cannot make window %d\n", made);
                return 1;
            }
        }
        const qsizetype listed = list.onScreenWindows().value_or(QList<WindowInfo>{}).size();
        const Cost scan = measure([&] { (void)list.onScreenWindows(); });
        const Cost cover = measure([&] {
            const std::optional<QList<WindowInfo>> windows = list.onScreenWindows();
            (void)CoverScan::coveredDisplays(windows.value_or(QList<WindowInfo>{}), screens.screens());
        });
        std::printf("%7d  %6lld  %12.1f  %11.1f  %18.1f  %17.1f\n", count, static_cast<long long>(listed),
                    scan.wallUs, scan.cpuUs, cover.wallUs, cover.cpuUs);
    }
    return 0;
}
