// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RotationClock.h"

#include <optional>

// Time that moves only when a test says so; an armed alarm fires once its moment is passed.
class FakeRotationClock : public RotationClock {
    Q_OBJECT

public:
    using RotationClock::RotationClock;

    [[nodiscard]] qint64 nowMs() const override { return m_now; }
    void arm(qint64 ms) override { alarmAt = m_now + ms; }
    void disarm() override { alarmAt.reset(); }

    void advance(qint64 ms) {
        m_now += ms;
        while (alarmAt && *alarmAt <= m_now) {
            alarmAt.reset();
            Q_EMIT fired();
        }
    }

    std::optional<qint64> alarmAt;

private:
    qint64 m_now = 0;
};
