// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Monotonic time and one single-shot alarm: what the rotation countdown needs, so that a test can
// drive it. An alarm may fire early (long waits are cut into pieces); the caller checks the time.
class RotationClock : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    [[nodiscard]] virtual qint64 nowMs() const = 0;
    // Replaces any pending alarm.
    virtual void arm(qint64 ms) = 0;
    virtual void disarm() = 0;

Q_SIGNALS:
    void fired();
};

// The real clock: a steady clock and a coarse single-shot timer that exists only while armed.
class SteadyRotationClock : public RotationClock {
    Q_OBJECT

public:
    explicit SteadyRotationClock(QObject* parent = nullptr);

    [[nodiscard]] qint64 nowMs() const override { return m_elapsed.elapsed(); }
    void arm(qint64 ms) override;
    void disarm() override { m_timer.stop(); }

private:
    QElapsedTimer m_elapsed;
    QTimer m_timer;
};
