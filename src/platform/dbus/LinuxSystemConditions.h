// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PowerMonitor.h"
#include "SessionMonitor.h"
#include "ThermalMonitor.h"
#include "engine/SystemConditions.h"

#include <QDBusConnection>
#include <QString>
#include <chrono>

// Where the conditions are read from; the defaults are the real system's.
struct LinuxSystemConditionsSetup {
    QDBusConnection systemBus = QDBusConnection::systemBus();
    QDBusConnection sessionBus = QDBusConnection::sessionBus();
    QString thermalRoot = QStringLiteral("/sys/class/thermal");
    std::chrono::milliseconds thermalInterval{10'000};
    // Supplied by the X11 side (DPMS); without it, only the bus sources tell that the screens sleep.
    SessionMonitor::DisplaysOff displaysOff;
    std::chrono::milliseconds displaysOffInterval{2'000};
};

// The engine's system conditions on Linux: UPower, power-profiles-daemon, the kernel's thermal zones,
// logind, the screen savers, Mutter and DPMS. Everything is read asynchronously after construction,
// so a condition that already holds is reported by its signal once the answer arrives.
class LinuxSystemConditions : public SystemConditions {
    Q_OBJECT

public:
    explicit LinuxSystemConditions(const LinuxSystemConditionsSetup& setup = {}, QObject* parent = nullptr);

    [[nodiscard]] bool isOnBattery() const override { return m_power.isOnBattery(); }
    [[nodiscard]] bool isLowPowerModeEnabled() const override { return m_power.isPowerSaving(); }
    [[nodiscard]] ThermalLevel thermalLevel() const override { return m_thermalLevel; }

    // The combined flags behind the screen signals, as last reported.
    [[nodiscard]] bool screensAsleep() const { return m_session.screensAsleep(); }
    [[nodiscard]] bool locked() const { return m_session.locked(); }
    [[nodiscard]] bool sessionInactive() const { return m_session.sessionInactive(); }
    // The displays-off hook is polled only while watched: while a wallpaper window exists.
    void setDisplaysWatched(bool watched) { m_session.setDisplaysWatched(watched); }

private:
    void updateThermalLevel();

    PowerMonitor m_power;
    ThermalMonitor m_thermal;
    SessionMonitor m_session;
    ThermalLevel m_thermalLevel = ThermalLevel::Nominal;
};
