// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

// One python3-dbusmock server that owns one name on one bus. It can be stopped and started again,
// fresh, as a service that goes away and comes back. The helpers block: they are for the test's side.
class DBusMock {
public:
    DBusMock(QDBusConnection bus, QString service, QStringList arguments);
    ~DBusMock() { (void)stop(); }
    DBusMock(const DBusMock&) = delete;
    DBusMock& operator=(const DBusMock&) = delete;

    // Starts the server and waits until its name is on the bus.
    [[nodiscard]] bool start();
    // Ends the server and waits until its name has left the bus.
    [[nodiscard]] bool stop();

    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {});
    // Through org.freedesktop.DBus.Properties.Set, which makes the mock emit PropertiesChanged.
    [[nodiscard]] bool setProperty(const QString& path, const QString& interface, const QString& name,
                                   const QVariant& value);
    [[nodiscard]] bool emitSignal(const QString& path, const QString& interface, const QString& name,
                                  const QString& signature, const QVariantList& arguments);

private:
    [[nodiscard]] bool isOnBus() const;

    QDBusConnection m_bus;
    QString m_service;
    QStringList m_arguments;
    QProcess m_process;
};
