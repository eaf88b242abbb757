// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DBusPropertyWatch.h"
#include "DBusService.h"

#include <QObject>

// The power source from UPower, and Low Power Mode and heat throttling from power-profiles-daemon
// under either of its bus names, preferring the newer one when both answer. A service that is
// absent reads as mains power, no power saving and no throttling.
class PowerMonitor : public QObject {
    Q_OBJECT

public:
    explicit PowerMonitor(const QDBusConnection& systemBus, QObject* parent = nullptr);

    [[nodiscard]] bool isOnBattery() const { return m_onBattery; }
    [[nodiscard]] bool isPowerSaving() const { return m_powerSaving; }
    // The daemon reports that the machine slows down because it is too hot.
    [[nodiscard]] bool isThrottledByHeat() const { return m_throttledByHeat; }

Q_SIGNALS:
    void onBatteryChanged();
    void powerSavingChanged();
    void throttledByHeatChanged();

private:
    void update();
    [[nodiscard]] const DBusPropertyWatch* answeringProfiles() const;

    DBusService m_upower;
    DBusPropertyWatch m_upowerProperties;
    DBusService m_profiles;
    DBusPropertyWatch m_profilesProperties;
    DBusService m_legacyProfiles;
    DBusPropertyWatch m_legacyProfilesProperties;

    bool m_onBattery = false;
    bool m_powerSaving = false;
    bool m_throttledByHeat = false;
};
