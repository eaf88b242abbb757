// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/bus/BusService.h"

#include "controlbusadaptor.h"
#include "shell/AppDelegate.h"
#include "shell/ShellLog.h"
#include "shell/ShellNames.h"
#include "shell/bus/ApplicationAdaptor.h"
#include "shell/bus/ControlAdaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

BusService::BusService(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_control(new ControlAdaptor(this, m_bus)) {
    // Both interfaces are served by the control object, the one object at the path.
    new ControlBusAdaptor(m_control);
    new ApplicationAdaptor(m_control, [this](const QString& activationToken) {
        if (m_delegate)
            m_delegate->applicationShouldHandleReopen(activationToken);
    });
}

BusService::~BusService() {
    if (m_owned)
        m_bus.unregisterService(QString(ShellNames::busName));
    if (m_exported)
        m_bus.unregisterObject(QString(ShellNames::objectPath));
}

BusService::Claim BusService::claim() {
    if (!m_bus.isConnected() || !m_bus.interface()) {
        qCWarning(lcShell).noquote() << "No session bus: the command line cannot reach this instance -"
                                     << m_bus.lastError().name() << m_bus.lastError().message();
        return Claim::NoBus;
    }
    m_exported =
        m_bus.registerObject(QString(ShellNames::objectPath), m_control, QDBusConnection::ExportAdaptors);
    if (!m_exported) {
        qCWarning(lcShell).noquote() << "Cannot serve" << ShellNames::objectPath << "on the session bus -"
                                     << m_bus.lastError().name() << m_bus.lastError().message();
        return Claim::NoBus;
    }
    // Answered before any window exists: whether this process is the application decides everything
    // that follows.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(QString(ShellNames::busName),
                                           QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        qCWarning(lcShell).noquote() << "Cannot own" << ShellNames::busName << "-" << reply.error().name()
                                     << reply.error().message();
        return Claim::NoBus;
    }
    m_owned = reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!m_owned) {
        m_bus.unregisterObject(QString(ShellNames::objectPath));
        m_exported = false;
        return Claim::Taken;
    }
    return Claim::Owned;
}

void BusService::serve(AppDelegate& delegate, const ScreenSource& screens) {
    m_delegate = &delegate;
    m_control->serve(delegate, screens);
}

QVariantMap BusService::launchPlatformData() {
    QVariantMap platformData;
    // Lets the running instance take the focus that the launcher handed to this process.
    if (const QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty())
        platformData.insert(QStringLiteral("desktop-startup-id"), id);
    if (const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        platformData.insert(QStringLiteral("activation-token"), token);
    return platformData;
}

bool BusService::activateRunningInstance(QDBusConnection bus, const QVariantMap& platformData) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString(ShellNames::busName), QString(ShellNames::objectPath),
                                       QString(ShellNames::applicationInterface), QStringLiteral("Activate"));
    call << platformData;
    const QDBusMessage reply = bus.call(call);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qCWarning(lcShell).noquote() << "The running instance did not answer Activate -" << reply.errorName()
                                     << reply.errorMessage();
    return reply.type() == QDBusMessage::ReplyMessage;
}
