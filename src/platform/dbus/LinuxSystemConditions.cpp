// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinuxSystemConditions.h"

#include "platform/dbus/DBusLog.h"

#include <QDBusError>
#include <algorithm>

LinuxSystemConditions::LinuxSystemConditions(const LinuxSystemConditionsSetup& setup, QObject* parent)
    : SystemConditions(parent), m_power(setup.systemBus), m_thermal(setup.thermalRoot, setup.thermalInterval),
      m_session(setup.systemBus, setup.sessionBus, setup.displaysOff, setup.displaysOffInterval) {
    for (const QDBusConnection* bus : {&setup.systemBus, &setup.sessionBus}) {
        if (!bus->isConnected())
            qCWarning(lcDbus).noquote()
                << "No" << (bus == &setup.systemBus ? "system" : "session")
                << "bus: power and session changes cannot pause playback -" << bus->lastError().message();
    }
    connect(&m_power, &PowerMonitor::onBatteryChanged, this, &SystemConditions::powerSourceChanged);
    connect(&m_power, &PowerMonitor::powerSavingChanged, this, &SystemConditions::lowPowerModeChanged);
    connect(&m_power, &PowerMonitor::throttledByHeatChanged, this,
            &LinuxSystemConditions::updateThermalLevel);
    connect(&m_thermal, &ThermalMonitor::levelChanged, this, &LinuxSystemConditions::updateThermalLevel);

    connect(&m_session, &SessionMonitor::screensDidSleep, this, &SystemConditions::screensDidSleep);
    connect(&m_session, &SessionMonitor::screensDidWake, this, &SystemConditions::screensDidWake);
    connect(&m_session, &SessionMonitor::screenLocked, this, &SystemConditions::screenLocked);
    connect(&m_session, &SessionMonitor::screenUnlocked, this, &SystemConditions::screenUnlocked);
    connect(&m_session, &SessionMonitor::sessionDidResignActive, this,
            &SystemConditions::sessionDidResignActive);
    connect(&m_session, &SessionMonitor::sessionDidBecomeActive, this,
            &SystemConditions::sessionDidBecomeActive);
}

void LinuxSystemConditions::updateThermalLevel() {
    const ThermalLevel level = std::max(
        m_thermal.level(), m_power.isThrottledByHeat() ? ThermalLevel::Serious : ThermalLevel::Nominal);
    if (level == m_thermalLevel)
        return;
    m_thermalLevel = level;
    Q_EMIT thermalStateChanged();
}
