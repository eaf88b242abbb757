// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DBusSandbox.h"

#include <QFile>
#include <QJsonDocument>

namespace {
// No service folders: nothing is ever activated on these buses.
constexpr const char* daemonConfig = R"(<busconfig><type>session</type><listen>unix:dir=%1</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
)";
} // namespace

DBusSandbox::DBusSandbox() {
    QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QString::fromLatin1(daemonConfig).arg(m_dir.path()).toUtf8()) < 0)
        return;
    config.close();
    QStringList addresses;
    for (QProcess& daemon : m_daemons) {
        // It complains about fd limits it may not raise; its failures show as no address.
        daemon.setStandardErrorFile(QProcess::nullDevice());
        daemon.start(QStringLiteral("dbus-daemon"),
                     {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted())
            return;
        while (!daemon.canReadLine()) {
            if (!daemon.waitForReadyRead())
                return;
        }
        addresses.append(QString::fromUtf8(daemon.readLine()).trimmed());
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", addresses[0].toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", addresses[1].toUtf8());
    m_system = QDBusConnection::connectToBus(addresses[0], addresses[0]);
    m_session = QDBusConnection::connectToBus(addresses[1], addresses[1]);
}

DBusSandbox::~DBusSandbox() {
    m_mocks.clear();
    for (QDBusConnection* bus : {&m_system, &m_session}) {
        const QString name = bus->name();
        *bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(name);
    }
    for (QProcess& daemon : m_daemons) {
        daemon.terminate();
        daemon.waitForFinished();
    }
}

DBusMock* DBusSandbox::startTemplate(Bus bus, const QString& service, const QString& templateName,
                                     const QJsonObject& parameters) {
    return startMock(bus, service,
                     {"--template", templateName, "--parameters",
                      QString::fromUtf8(QJsonDocument(parameters).toJson(QJsonDocument::Compact))});
}

DBusMock* DBusSandbox::startObject(Bus bus, const Object& object, const QVariantMap& properties) {
    DBusMock* mock = startMock(bus, object.service, {object.service, object.path, object.interface});
    if (mock && !properties.isEmpty() &&
        mock->call(object.path, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddProperties"),
                   {object.interface, properties})
                .type() != QDBusMessage::ReplyMessage)
        return nullptr;
    return mock;
}

DBusMock* DBusSandbox::startMock(Bus bus, const QString& service, const QStringList& arguments) {
    if (!isReady())
        return nullptr;
    const bool system = bus == Bus::System;
    m_mocks.push_back(std::make_unique<DBusMock>(system ? m_system : m_session, service,
                                                 QStringList{system ? "--system" : "--session"} + arguments));
    return m_mocks.back()->start() ? m_mocks.back().get() : nullptr;
}
