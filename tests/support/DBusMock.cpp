// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DBusMock.h"

#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QJsonDocument>
#include <QTest>

constexpr int waitMs = 10'000;

std::unique_ptr<DBusMock> DBusMock::startTemplate(Bus bus, const QString& service,
                                                  const QString& templateName,
                                                  const QJsonObject& parameters) {
    const QString json = QString::fromUtf8(QJsonDocument(parameters).toJson(QJsonDocument::Compact));
    auto mock = std::make_unique<DBusMock>(bus, service,
                                           QStringList{"--template", templateName, "--parameters", json});
    return onPrivateBuses() && mock->start() ? std::move(mock) : nullptr;
}

std::unique_ptr<DBusMock> DBusMock::startObject(Bus bus, const Object& object,
                                                const QVariantMap& properties) {
    auto mock = std::make_unique<DBusMock>(bus, object.service,
                                           QStringList{object.service, object.path, object.interface});
    if (!onPrivateBuses() || !mock->start())
        return nullptr;
    if (!properties.isEmpty() && mock->call(object.path, QStringLiteral("org.freedesktop.DBus.Mock"),
                                            QStringLiteral("AddProperties"), {object.interface, properties})
                                         .type() != QDBusMessage::ReplyMessage)
        return nullptr;
    return mock;
}

DBusMock::DBusMock(Bus bus, QString service, QStringList arguments)
    : m_bus(bus == Bus::System ? QDBusConnection::systemBus() : QDBusConnection::sessionBus()),
      m_service(std::move(service)),
      m_arguments(QStringList{bus == Bus::System ? "--system" : "--session"} + std::move(arguments)) {
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

bool DBusMock::isOnBus() const {
    return m_bus.interface()->isServiceRegistered(m_service);
}

bool DBusMock::start() {
    m_process.start(QStringLiteral("/usr/bin/python3"), QStringList{"-m", "dbusmock"} + m_arguments);
    return QTest::qWaitFor([this] { return isOnBus() || m_process.state() == QProcess::NotRunning; },
                           waitMs) &&
           isOnBus();
}

bool DBusMock::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate();
    if (!m_process.waitForFinished(waitMs))
        m_process.kill();
    m_process.waitForFinished(waitMs);
    return QTest::qWaitFor([this] { return !isOnBus(); }, waitMs);
}

QDBusMessage DBusMock::call(const QString& path, const QString& interface, const QString& method,
                            const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(m_service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, waitMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qWarning("%s.%s failed: %s", qPrintable(interface), qPrintable(method),
                 qPrintable(reply.errorMessage()));
    return reply;
}

bool DBusMock::setProperty(const QString& path, const QString& interface, const QString& name,
                           const QVariant& value) {
    return call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                {interface, name, QVariant::fromValue(QDBusVariant(value))})
               .type() == QDBusMessage::ReplyMessage;
}

bool DBusMock::emitSignal(const QString& path, const QString& interface, const QString& name,
                          const QString& signature, const QVariantList& arguments) {
    return call(path, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                {interface, name, signature, arguments})
               .type() == QDBusMessage::ReplyMessage;
}
