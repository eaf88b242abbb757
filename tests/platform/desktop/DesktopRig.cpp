// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopRig.h"

#include "core/PreferenceKeys.h"
#include "platform/desktop/DesktopGl.h"
#include "platform/desktop/X11WallpaperWindow.h"
#include "platform/mpv/MpvLocale.h"
#include "platform/mpv/MpvSharedPlayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

namespace {

// Mesa unloads its GL driver when Qt closes the X connection at exit, and LeakSanitizer then cannot
// tell that the driver's own small leaks are the driver's (tests/lsan.supp names it). Keeping every
// loaded DRI driver mapped lets the suppression apply.
void keepGlDriversLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

} // namespace

DesktopRig::DesktopRig() {
    MpvLocale::useCNumeric();
    QDir().mkpath(home.libraryRoot() + QStringLiteral("/Library"));
    QDir().mkpath(QFileInfo(home.preferencesFile()).path());
}

DesktopRig::~DesktopRig() {
    // Windows and players go with the engine, before the factory.
    engine.reset();
    keepGlDriversLoaded();
}

void DesktopRig::addVideo(const QString& id, const QString& file) {
    QVERIFY2(
        QFile::link(file, home.libraryRoot() + QStringLiteral("/Library/") + id + QStringLiteral(".mp4")),
        qPrintable(file));
}

WallpaperEngine& DesktopRig::start(const QMap<QString, QString>& assignments) {
    preferences = std::make_unique<Preferences>(home.preferencesFile());
    QJsonObject stored;
    for (auto it = assignments.cbegin(); it != assignments.cend(); ++it)
        stored.insert(it.key(), it.value());
    preferences->setValue(PreferenceKeys::assignments, stored);
    store = std::make_unique<LibraryStore>(home.libraryRoot());
    engine = std::make_unique<WallpaperEngine>(
        *store, *preferences,
        EnginePlatform{
            .screens = screens, .factory = factory, .conditions = conditions, .windowList = windowList});
    store->setWallpaperTarget(engine.get());
    engine->start();
    return *engine;
}

QString DesktopRig::keyOf(const QString& screenName) const {
    const QList<ScreenInfo> all = screens.screens();
    for (const ScreenInfo& screen : all) {
        if (screen.platformName == screenName)
            return displayKey(screen);
    }
    return {};
}

X11WallpaperWindow* DesktopRig::window(const QString& screenName) const {
    const QList<X11WallpaperWindow*> windows = factory.windows();
    const auto found = std::find_if(windows.cbegin(), windows.cend(), [&](const X11WallpaperWindow* w) {
        return w->screenName() == screenName;
    });
    return found == windows.cend() ? nullptr : *found;
}

MpvSharedPlayer* DesktopRig::playerOf(const QString& id) const {
    const QList<MpvSharedPlayer*> players = factory.players();
    const auto found = std::find_if(players.cbegin(), players.cend(), [&](const MpvSharedPlayer* p) {
        return QFileInfo(p->file()).completeBaseName() == id;
    });
    return found == players.cend() ? nullptr : *found;
}

bool DesktopRig::waitForNewFrames(const QList<X11WallpaperWindow*>& windows) const {
    QList<quint64> before;
    for (const X11WallpaperWindow* w : windows)
        before.append(w->framesShown());
    return QTest::qWaitFor([&] {
        for (qsizetype i = 0; i < windows.size(); ++i) {
            if (windows[i]->framesShown() <= before[i])
                return false;
        }
        return true;
    });
}

XvfbSession::Options desktopSession() {
    XvfbSession::Options options;
    options.beforeApplication = &DesktopGl::prepareApplication;
    return options;
}

QImage screenshot(const QString& name) {
    XvfbSession* session = XvfbSession::current();
    const QString path = session->tempPath() + QLatin1Char('/') + name;
    if (!session->screenshot(path))
        return {};
    if (const QString keep = qEnvironmentVariable("LUMIVALE_SCREENSHOT_DIR"); !keep.isEmpty()) {
        QDir().mkpath(keep);
        QFile::remove(keep + QLatin1Char('/') + name);
        QFile::copy(path, keep + QLatin1Char('/') + name);
    }
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

qsizetype differingPixels(const QImage& a, const QImage& b, int tolerance) {
    if (a.size() != b.size())
        return std::max(a.width() * a.height(), b.width() * b.height());
    qsizetype count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* right = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (std::abs(qRed(left[x]) - qRed(right[x])) > tolerance ||
                std::abs(qGreen(left[x]) - qGreen(right[x])) > tolerance ||
                std::abs(qBlue(left[x]) - qBlue(right[x])) > tolerance)
                ++count;
        }
    }
    return count;
}

double meanBrightness(const QImage& image, const QRect& region) {
    double sum = 0;
    const QRect area = region & image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
            sum += qGray(line[x]);
    }
    return area.isEmpty() ? 0 : sum / (double(area.width()) * area.height());
}
