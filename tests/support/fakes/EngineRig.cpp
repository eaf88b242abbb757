// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/EngineRig.h"

#include "core/AtomicFile.h"
#include "support/FileContents.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

EngineRig::EngineRig() {
    QDir().mkpath(home.libraryRoot() + QStringLiteral("/Library"));
    QDir().mkpath(QFileInfo(home.preferencesFile()).path());
}

void EngineRig::setCatalog(const QStringList& ids) const {
    QJsonArray wallpapers;
    for (const QString& id : ids)
        wallpapers.append(QJsonObject{{"id", id}, {"title", id.toUpper()}, {"category", "Nature"}});
    QFile file(home.libraryRoot() + QStringLiteral("/catalog.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{"wallpapers", wallpapers}}).toJson());
}

void EngineRig::setStoredPreference(QLatin1StringView key, const QJsonValue& value) const {
    QJsonObject object = storedPreferences();
    object.insert(key, value);
    QVERIFY(AtomicFile::write(home.preferencesFile(), QJsonDocument(object).toJson()));
}

WallpaperEngine& EngineRig::build(const std::optional<EnginePlatform>& platform) {
    store = std::make_unique<LibraryStore>(home.libraryRoot());
    preferences = std::make_unique<Preferences>(home.preferencesFile());
    engine = std::make_unique<WallpaperEngine>(*store, *preferences, platform.value_or(fakes.platform()));
    store->setWallpaperTarget(engine.get());
    return *engine;
}

void EngineRig::addVideo(const QString& id) const {
    QFile file(home.libraryRoot() + QStringLiteral("/Library/") + id + QStringLiteral(".mp4"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not really a video");
}

QJsonObject EngineRig::storedPreferences() const {
    return QJsonDocument::fromJson(fileContents(home.preferencesFile())).object();
}

void EngineRig::setScreens(const QStringList& keys, bool notify) {
    QList<ScreenInfo> screens;
    for (qsizetype i = 0; i < keys.size(); ++i)
        screens.append(FakeScreenSource::screen(keys[i], QRect(int(i) * 1920, 0, 1920, 1080)));
    fakes.screens.setScreens(screens, notify);
}

QString EngineRig::shownOn(const QString& key) const {
    const FakeWindow* window = fakes.factory.window(key);
    if (!window || !window->fakePlayer() || !window->isShown())
        return {};
    return window->fakePlayer()->id();
}
