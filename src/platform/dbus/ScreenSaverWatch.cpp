// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenSaverWatch.h"

#include <QDBusMessage>

ScreenSaverWatch::ScreenSaverWatch(const QDBusConnection& bus, const DBusNames::Object& names,
                                   QObject* parent)
    : QObject(parent), m_names(names), m_service(bus, names.service) {
    // Any path: KDE announces the change on /ScreenSaver as well as on the usual path.
    m_service.connectSignal(QString(), m_names.interface, DBusNames::activeChanged, this,
                            SLOT(onActiveChanged(QDBusMessage)));
    connect(&m_service, &DBusService::appeared, this, &ScreenSaverWatch::read);
    connect(&m_service, &DBusService::vanished, this, [this] { setActive(false); });
}

void ScreenSaverWatch::read() {
    m_service.call(m_names.path, m_names.interface, DBusNames::getActive, {}, this,
                   [this](const QDBusMessage& reply) {
                       setActive(reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                                 reply.arguments().constFirst().toBool());
                   });
}

void ScreenSaverWatch::onActiveChanged(const QDBusMessage& message) {
    if (m_service.isFromOwner(message) && !message.arguments().isEmpty())
        setActive(message.arguments().constFirst().toBool());
}

void ScreenSaverWatch::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    Q_EMIT changed();
}
