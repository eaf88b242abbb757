// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SystemConditions.h"

// Conditions a test sets directly; it emits the signals itself.
class FakeSystemConditions : public SystemConditions {
    Q_OBJECT

public:
    using SystemConditions::SystemConditions;

    [[nodiscard]] bool isOnBattery() const override { return onBattery; }
    [[nodiscard]] bool isLowPowerModeEnabled() const override { return lowPowerMode; }
    [[nodiscard]] ThermalLevel thermalLevel() const override { return thermal; }

    bool onBattery = false;
    bool lowPowerMode = false;
    ThermalLevel thermal = ThermalLevel::Nominal;
};
