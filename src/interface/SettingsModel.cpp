#include "interface/SettingsModel.h"

#include "engine/WallpaperEngine.h"
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
