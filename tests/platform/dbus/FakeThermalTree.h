// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QSaveFile>
#include <QString>
#include <QTemporaryDir>

// A folder laid out like /sys/class/thermal. Files are replaced whole, so a scan running meanwhile
// never reads half a value.
class FakeThermalTree {
public:
    struct Trip {
        QByteArray type;
        qint64 millidegrees;
    };

    [[nodiscard]] QString root() const { return m_dir.path(); }

    void addZone(int zone, qint64 millidegrees, const QList<Trip>& trips, bool enabled = true) {
        QDir().mkpath(zonePath(zone));
        write(zone, "mode", enabled ? "enabled" : "disabled");
        for (qsizetype i = 0; i < trips.size(); ++i) {
            write(zone, QStringLiteral("trip_point_%1_type").arg(i), trips[i].type);
            write(zone, QStringLiteral("trip_point_%1_temp").arg(i),
                  QByteArray::number(trips[i].millidegrees));
        }
        setTemperature(zone, millidegrees);
    }

    void setTemperature(int zone, qint64 millidegrees) {
        write(zone, QStringLiteral("temp"), QByteArray::number(millidegrees));
    }

private:
    [[nodiscard]] QString zonePath(int zone) const {
        return m_dir.filePath(QStringLiteral("thermal_zone%1").arg(zone));
    }

    void write(int zone, const QString& name, const QByteArray& value) {
        QSaveFile file(zonePath(zone) + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(value + '\n');
            file.commit();
        }
    }

    QTemporaryDir m_dir;
};
