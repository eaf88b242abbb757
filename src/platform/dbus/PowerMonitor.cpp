// SPDX-License-Identifier: GPL-3.0-or-later
#include "PowerMonitor.h"

#include "DBusNames.h"

PowerMonitor::PowerMonitor(const QDBusConnection& systemBus, QObject* parent)
    : QObject(parent), m_upower(systemBus, DBusNames::upower.service),
      m_upowerProperties(m_upower, DBusNames::upower.path, DBusNames::upower.interface),
      m_profiles(systemBus, DBusNames::powerProfiles.service),
      m_profilesProperties(m_profiles, DBusNames::powerProfiles.path, DBusNames::powerProfiles.interface),
      m_legacyProfiles(systemBus, DBusNames::powerProfilesLegacy.service),
      m_legacyProfilesProperties(m_legacyProfiles, DBusNames::powerProfilesLegacy.path,
                                 DBusNames::powerProfilesLegacy.interface) {
    for (const DBusPropertyWatch* watch :
         {&m_upowerProperties, &m_profilesProperties, &m_legacyProfilesProperties})
        connect(watch, &DBusPropertyWatch::changed, this, &PowerMonitor::update);
}

const DBusPropertyWatch* PowerMonitor::answeringProfiles() const {
    if (m_profilesProperties.value(DBusNames::activeProfile).isValid())
        return &m_profilesProperties;
    if (m_legacyProfilesProperties.value(DBusNames::activeProfile).isValid())
        return &m_legacyProfilesProperties;
    return nullptr;
}

void PowerMonitor::update() {
    const bool onBattery = m_upowerProperties.value(DBusNames::onBattery).toBool();
    const DBusPropertyWatch* profiles = answeringProfiles();
    const bool powerSaving =
        profiles && profiles->value(DBusNames::activeProfile).toString() == DBusNames::powerSaver;
    const bool throttledByHeat = profiles && profiles->value(DBusNames::performanceDegraded).toString() ==
                                                 DBusNames::highOperatingTemperature;

    if (onBattery != m_onBattery) {
        m_onBattery = onBattery;
        Q_EMIT onBatteryChanged();
    }
    if (powerSaving != m_powerSaving) {
        m_powerSaving = powerSaving;
        Q_EMIT powerSavingChanged();
    }
    if (throttledByHeat != m_throttledByHeat) {
        m_throttledByHeat = throttledByHeat;
        Q_EMIT throttledByHeatChanged();
    }
}
