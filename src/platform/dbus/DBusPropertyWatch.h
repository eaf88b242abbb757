// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class DBusService;
class QDBusMessage;

// The properties of one interface of one object of a service, as last known: read in full when the
// service appears, kept current from PropertiesChanged, and empty while the service is absent.
class DBusPropertyWatch : public QObject {
    Q_OBJECT

public:
    // The service must outlive the watch.
    DBusPropertyWatch(DBusService& service, const QString& path, const QString& interface,
                      QObject* parent = nullptr);

    [[nodiscard]] const QString& path() const { return m_path; }
    // Invalid while unknown.
    [[nodiscard]] QVariant value(const QString& name) const { return m_values.value(name); }

Q_SIGNALS:
    // Some value may have changed.
    void changed();

private Q_SLOTS:
    void onPropertiesChanged(const QDBusMessage& message);

private:
    void read();
    void forget();

    DBusService& m_service;
    QString m_path;
    QString m_interface;
    QVariantMap m_values;
};
