// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SystemConditions.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

// The thermal level of the kernel's thermal zones, scanned on the thread pool at start and then at
// every interval (sysfs reads can wait on the firmware).
class ThermalMonitor : public QObject {
    Q_OBJECT

public:
    ThermalMonitor(QString root, std::chrono::milliseconds interval, QObject* parent = nullptr);

    [[nodiscard]] ThermalLevel level() const { return m_level; }

Q_SIGNALS:
    void levelChanged();

private:
    void scan();

    QString m_root;
    QTimer m_timer;
    QFutureWatcher<ThermalLevel> m_scan;
    ThermalLevel m_level = ThermalLevel::Nominal;
};
