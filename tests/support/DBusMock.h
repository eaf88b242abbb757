// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <memory>

// One python3-dbusmock server that owns one name on one of the private buses that
// tests/support/on-dbus.sh starts around a test. It can be stopped and started again, fresh, as a
// service that goes away and comes back. The helpers block: they are for the test's side.
class DBusMock {
public:
    enum class Bus { System, Session };

    struct Object {
        QString service;
        QString path;
        QString interface;
    };

    // Whether the buses are the private ones: a test that owns names must never reach the user's.
    [[nodiscard]] static bool onPrivateBuses() { return qEnvironmentVariableIsSet("LUMIVALE_PRIVATE_BUSES"); }
    // A mock made from one of python3-dbusmock's templates ("upower", "logind", ...) with its
    // parameters, started and waited for; null when it did not come up.
    static std::unique_ptr<DBusMock> startTemplate(Bus bus, const QString& service,
                                                   const QString& templateName,
                                                   const QJsonObject& parameters = {});
    // A mock serving one object with these properties on its interface. Started again, it is bare.
    static std::unique_ptr<DBusMock> startObject(Bus bus, const Object& object,
                                                 const QVariantMap& properties = {});

    DBusMock(Bus bus, QString service, QStringList arguments);
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
