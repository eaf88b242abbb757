// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RotationClock.h"

#include <algorithm>
#include <limits>

SteadyRotationClock::SteadyRotationClock(QObject* parent) : RotationClock(parent) {
    m_elapsed.start();
    m_timer.setSingleShot(true);
    // Whole seconds are precise enough for intervals of ten seconds and more, and wake less.
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RotationClock::fired);
}

void SteadyRotationClock::arm(qint64 ms) {
    m_timer.start(static_cast<int>(std::clamp<qint64>(ms, 0, std::numeric_limits<int>::max())));
}
