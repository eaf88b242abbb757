// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

// The thermal pressure of the machine; only Serious and Critical pause playback.
enum class ThermalLevel { Nominal, Fair, Serious, Critical };

// The system's power, session and thermal state. The queries answer from what the adapter already
// knows and never block; a service that is missing reads as the condition being false (not on
// battery, no low-power mode, Nominal). Signals are emitted on the main thread and carry nothing:
// the engine reads what it needs through the queries.
class SystemConditions : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    [[nodiscard]] virtual bool isOnBattery() const = 0;
    [[nodiscard]] virtual bool isLowPowerModeEnabled() const = 0;
    [[nodiscard]] virtual ThermalLevel thermalLevel() const = 0;

Q_SIGNALS:
    void thermalStateChanged();
    void lowPowerModeChanged();
    void screensDidSleep();
    void screensDidWake();
    void sessionDidResignActive();
    void sessionDidBecomeActive();
    void screenLocked();
    void screenUnlocked();
    // The source of power may have changed (battery or mains).
    void powerSourceChanged();
};
