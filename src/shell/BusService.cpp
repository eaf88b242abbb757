#include "shell/BusService.h"

#include "shell/AppDelegate.h"
#include "shell/ApplicationAdaptor.h"
#include "shell/ControlAdaptor.h"
#include "shell/ShellNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

BusService::BusService(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)),
      m_application(new ApplicationAdaptor(this,
                                           [this](const QString& activationToken) {
                                               if (m_delegate)
                                                   m_delegate->applicationShouldHandleReopen(activationToken);
                                           })),
      m_control(new ControlAdaptor(this, m_bus)) {}

BusService::~BusService() {
    if (m_owned)
        m_bus.unregisterService(QString(ShellNames::busName));
    if (m_exported)
        m_bus.unregisterObject(QString(ShellNames::objectPath));
}

BusService::Claim BusService::claim() {
    if (!m_bus.isConnected() || !m_bus.interface())
        return Claim::NoBus;
    m_exported = m_bus.registerObject(QString(ShellNames::objectPath), this, QDBusConnection::ExportAdaptors);
    if (!m_exported)
        return Claim::NoBus;
    // Answered before any window exists: whether this process is the application decides everything
    // that follows.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(QString(ShellNames::busName),
                                           QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return Claim::NoBus;
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
    return bus.call(call).type() == QDBusMessage::ReplyMessage;
}
