// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConditionsRig.h"

#include "core/PreferenceKeys.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

ConditionsRig::ConditionsRig() {
    QDir().mkpath(home.libraryRoot() + QStringLiteral("/Library"));
    QFile video(home.libraryRoot() + QStringLiteral("/Library/a.mp4"));
    if (video.open(QIODevice::WriteOnly))
        video.write("not really a video");
    fakes.screens.setScreens({FakeScreenSource::screen(QStringLiteral("A"), QRect(0, 0, 1920, 1080))});
}

LinuxSystemConditionsSetup ConditionsRig::setup() const {
    return {.systemBus = sandbox.systemBus(),
            .sessionBus = sandbox.sessionBus(),
            .thermalRoot = home.path() + QStringLiteral("/no-thermal-zones"),
            .thermalInterval = std::chrono::milliseconds(10'000),
            .displaysOff = {},
            .displaysOffInterval = std::chrono::milliseconds(2'000)};
}

void ConditionsRig::start(const LinuxSystemConditionsSetup& setup) {
    store = std::make_unique<LibraryStore>(home.libraryRoot());
    preferences = std::make_unique<Preferences>(home.preferencesFile());
    preferences->setValue(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
    conditions = std::make_unique<LinuxSystemConditions>(setup);
    engine = std::make_unique<WallpaperEngine>(*store, *preferences,
                                               EnginePlatform{.screens = fakes.screens,
                                                              .factory = fakes.factory,
                                                              .conditions = *conditions,
                                                              .windowList = fakes.windowList});
    engine->start();
}

bool ConditionsRig::playing() const {
    const QList<FakePlayer*>& players = fakes.factory.players();
    return players.size() == 1 && players.constFirst()->isPlaying();
}
