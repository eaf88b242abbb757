// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/SettingsModel.h"

#include "engine/WallpaperEngine.h"
#include "engine/WallpaperRotation.h"
#include "interface/InterfaceLog.h"
#include "interface/InterfaceServices.h"
#include "interface/InterfaceTexts.h"
#include "interface/LoginItemControl.h"

#include <QCoreApplication>
#include <QDesktopServices>

SettingsModel::SettingsModel(QObject* parent)
    : SettingsModel(InterfaceServices::parts().engine, InterfaceServices::parts().loginItem, parent) {}

SettingsModel::SettingsModel(WallpaperEngine& engine, LoginItemControl& loginItem, QObject* parent)
    : QObject(parent), m_engine(engine), m_loginItem(loginItem), m_launchAtLogin(loginItem.isEnabled()) {
    connect(&m_engine, &WallpaperEngine::pauseOnBatteryChanged, this, &SettingsModel::pauseOnBatteryChanged);
    connect(&m_engine, &WallpaperEngine::pauseWhenCoveredChanged, this,
            &SettingsModel::pauseWhenCoveredChanged);
    connect(&m_engine.rotation(), &WallpaperRotation::choiceChanged, this, &SettingsModel::rotationChanged);
}

void SettingsModel::setLaunchAtLogin(bool launch) {
    if (launch == m_launchAtLogin)
        return;
    m_launchAtLogin = launch;
    if (!m_loginItem.setEnabled(launch)) {
        qCWarning(lcInterface) << "Start at login could not be turned" << (launch ? "on" : "off");
        m_launchAtLogin = m_loginItem.isEnabled();
    }
    // Also after a fallback to the old value, so that the switch shows the real state again.
    Q_EMIT launchAtLoginChanged();
}

bool SettingsModel::pauseOnBattery() const {
    return m_engine.pauseOnBattery();
}

void SettingsModel::setPauseOnBattery(bool pause) {
    m_engine.setPauseOnBattery(pause);
}

bool SettingsModel::pauseWhenCovered() const {
    return m_engine.pauseWhenCovered();
}

void SettingsModel::setPauseWhenCovered(bool pause) {
    m_engine.setPauseWhenCovered(pause);
}

qint64 SettingsModel::rotationInterval() const {
    return m_engine.rotation().intervalSeconds();
}

void SettingsModel::setRotationInterval(qint64 seconds) {
    m_engine.rotation().setChoice(seconds, rotationShuffled());
}

bool SettingsModel::rotationShuffled() const {
    return m_engine.rotation().shuffled();
}

void SettingsModel::setRotationShuffled(bool shuffled) {
    m_engine.rotation().setChoice(rotationInterval(), shuffled);
}

QVariantList SettingsModel::rotationIntervals() const {
    const std::array<QString, WallpaperRotation::presetSeconds.size()> titles{
        tr("Off"), tr("5 minutes"), tr("15 minutes"), tr("30 minutes"), tr("1 hour"), tr("1 day")};
    QVariantList items;
    for (size_t i = 0; i < titles.size(); ++i)
        items.append(QVariantMap{{"title", titles[i]}, {"seconds", WallpaperRotation::presetSeconds[i]}});
    const qint64 current = rotationInterval();
    if (std::find(WallpaperRotation::presetSeconds.cbegin(), WallpaperRotation::presetSeconds.cend(),
                  current) == WallpaperRotation::presetSeconds.cend())
        items.append(QVariantMap{{"title", tr("Custom (%1)").arg(WallpaperRotation::durationText(current))},
                                 {"seconds", current}});
    return items;
}

QString SettingsModel::rotationTitle() const {
    const qint64 current = rotationInterval();
    for (const QVariant& item : rotationIntervals()) {
        if (item.toMap().value("seconds").toLongLong() == current)
            return item.toMap().value("title").toString();
    }
    return {};
}

QString SettingsModel::version() {
    return QCoreApplication::applicationVersion();
}

QUrl SettingsModel::supportUrl() {
    return QUrl(InterfaceTexts::supportUrl.toString());
}

void SettingsModel::getHelp() const {
    if (!QDesktopServices::openUrl(supportUrl()))
        qCWarning(lcInterface).noquote() << "No browser opened" << supportUrl().toString();
}
