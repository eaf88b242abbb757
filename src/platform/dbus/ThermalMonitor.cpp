// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThermalMonitor.h"

#include "ThermalZones.h"

#include <QtConcurrent/QtConcurrentRun>

ThermalMonitor::ThermalMonitor(QString root, std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent), m_root(std::move(root)) {
    connect(&m_scan, &QFutureWatcher<ThermalLevel>::finished, this, [this] {
        const ThermalLevel level = m_scan.result();
        if (level == m_level)
            return;
        m_level = level;
        Q_EMIT levelChanged();
    });
    connect(&m_timer, &QTimer::timeout, this, &ThermalMonitor::scan);
    m_timer.start(interval);
    scan();
}

void ThermalMonitor::scan() {
    if (m_scan.isRunning())
        return;
    m_scan.setFuture(QtConcurrent::run(&ThermalZones::level, m_root));
}
