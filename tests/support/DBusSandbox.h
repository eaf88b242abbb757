// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/DBusMock.h"

#include <QDBusConnection>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>
#include <vector>

// Two private message buses, one standing in for the system bus, with python3-dbusmock servers on
// them. While it exists, DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS name its buses, so
// nothing the test starts reaches the real ones. The buses activate no services.
class DBusSandbox {
public:
    enum class Bus { System, Session };

    struct Object {
        QString service;
        QString path;
        QString interface;
    };

    DBusSandbox();
    ~DBusSandbox();
    DBusSandbox(const DBusSandbox&) = delete;
    DBusSandbox& operator=(const DBusSandbox&) = delete;

    [[nodiscard]] bool isReady() const { return m_system.isConnected() && m_session.isConnected(); }
    [[nodiscard]] QDBusConnection systemBus() const { return m_system; }
    [[nodiscard]] QDBusConnection sessionBus() const { return m_session; }

    // A mock made from one of python3-dbusmock's templates ("upower", "logind", ...) with its
    // parameters, started and waited for; null when it did not come up.
    DBusMock* startTemplate(Bus bus, const QString& service, const QString& templateName,
                            const QJsonObject& parameters = {});
    // A mock serving one object with these properties on its interface. Started again, it is bare.
    DBusMock* startObject(Bus bus, const Object& object, const QVariantMap& properties = {});

private:
    DBusMock* startMock(Bus bus, const QString& service, const QStringList& arguments);

    QTemporaryDir m_dir;
    QProcess m_daemons[2];
    QDBusConnection m_system{QString()};
    QDBusConnection m_session{QString()};
    std::vector<std::unique_ptr<DBusMock>> m_mocks;
};
