// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DBusSandbox.h"

#include <QFile>
#include <QJsonDocument>

namespace {
constexpr int waitMs = 10'000;

// No service directories: nothing is ever activated on these buses.
constexpr const char* daemonConfig =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

QString indented(const QString& lines) {
    QString result;
    for (const QString& line : lines.split(QLatin1Char('\n')))
        result += QStringLiteral("    ") + line + QLatin1Char('\n');
    return result;
}

QString pythonText(const QString& text) {
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

int sandboxes = 0;
} // namespace

DBusSandbox::DBusSandbox()
    : m_oldSystemAddress(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")),
      m_oldSessionAddress(qgetenv("DBUS_SESSION_BUS_ADDRESS")),
      m_hadSystemAddress(qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS")),
      m_hadSessionAddress(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) {
    const QString configFile = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile config(configFile);
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write(QString::fromLatin1(daemonConfig).arg(m_dir.path()).toUtf8());
    config.close();
    if (!startDaemon(m_systemDaemon, configFile) || !startDaemon(m_sessionDaemon, configFile))
        return;

    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_systemDaemon.address.toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_sessionDaemon.address.toUtf8());
    const int id = ++sandboxes;
    m_systemName = QStringLiteral("sandbox-system-%1").arg(id);
    m_sessionName = QStringLiteral("sandbox-session-%1").arg(id);
    m_system = QDBusConnection::connectToBus(m_systemDaemon.address, m_systemName);
    m_session = QDBusConnection::connectToBus(m_sessionDaemon.address, m_sessionName);
}

DBusSandbox::~DBusSandbox() {
    m_mocks.clear();
    if (!m_systemName.isEmpty()) {
        m_system = QDBusConnection(QString());
        m_session = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(m_systemName);
        QDBusConnection::disconnectFromBus(m_sessionName);
    }
    for (Daemon* daemon : {&m_systemDaemon, &m_sessionDaemon}) {
        if (!daemon->process)
            continue;
        daemon->process->terminate();
        daemon->process->waitForFinished(waitMs);
    }
    const auto restore = [](const char* name, bool had, const QByteArray& value) {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    };
    restore("DBUS_SYSTEM_BUS_ADDRESS", m_hadSystemAddress, m_oldSystemAddress);
    restore("DBUS_SESSION_BUS_ADDRESS", m_hadSessionAddress, m_oldSessionAddress);
}

bool DBusSandbox::startDaemon(Daemon& daemon, const QString& config) {
    daemon.process = std::make_unique<QProcess>();
    // It complains about fd limits it may not raise; its failures show as no address.
    daemon.process->setStandardErrorFile(QProcess::nullDevice());
    daemon.process->start(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
    if (!daemon.process->waitForStarted(waitMs))
        return false;
    while (!daemon.process->canReadLine()) {
        if (!daemon.process->waitForReadyRead(waitMs))
            return false;
    }
    daemon.address = QString::fromUtf8(daemon.process->readLine()).trimmed();
    return !daemon.address.isEmpty();
}

QString DBusSandbox::writeTemplate(const QString& stem, const QString& source) {
    const QString path = m_dir.filePath(QStringLiteral("%1_%2.py").arg(stem).arg(++m_templates));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(source.toUtf8());
    return path;
}

DBusMock* DBusSandbox::startTemplate(Bus bus, const QString& service, const QString& templateName,
                                     const QString& setup, const QJsonObject& parameters) {
    if (setup.isEmpty())
        return startMock(bus, service, templateName, parameters);
    const QString source = QStringLiteral("import dbus\n"
                                          "from dbusmock.templates.%1 import *\n"
                                          "from dbusmock.templates import %1 as stock\n\n"
                                          "def load(mock, parameters):\n"
                                          "    stock.load(mock, parameters)\n")
                               .arg(templateName) +
                           indented(setup);
    return startMock(bus, service, writeTemplate(templateName, source), parameters);
}

DBusMock* DBusSandbox::startObject(Bus bus, const Object& object, const QJsonObject& properties,
                                   const QString& setup) {
    const QString source =
        QStringLiteral("import dbus\n\n"
                       "BUS_NAME = %1\nMAIN_OBJ = %2\nMAIN_IFACE = %3\nSYSTEM_BUS = %4\n\n"
                       "def load(mock, parameters):\n"
                       "    mock.AddProperties(MAIN_IFACE, dbus.Dictionary(parameters, "
                       "signature='sv'))\n")
            .arg(pythonText(object.service), pythonText(object.path), pythonText(object.interface),
                 bus == Bus::System ? QStringLiteral("True") : QStringLiteral("False")) +
        indented(setup);
    return startMock(bus, object.service, writeTemplate(QStringLiteral("object"), source), properties);
}

DBusMock* DBusSandbox::startMock(Bus bus, const QString& service, const QString& templatePath,
                                 const QJsonObject& parameters) {
    if (!isReady() || templatePath.isEmpty())
        return nullptr;
    const QStringList arguments{bus == Bus::System ? QStringLiteral("--system") : QStringLiteral("--session"),
                                QStringLiteral("--template"), templatePath, QStringLiteral("--parameters"),
                                QString::fromUtf8(QJsonDocument(parameters).toJson(QJsonDocument::Compact))};
    auto mock = std::make_unique<DBusMock>(bus == Bus::System ? m_system : m_session, service, arguments,
                                           QProcessEnvironment::systemEnvironment());
    if (!mock->start())
        return nullptr;
    m_mocks.push_back(std::move(mock));
    return m_mocks.back().get();
}
