// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBusPropertyWatch.h"

#include "DBusNames.h"
#include "DBusService.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QStringList>

DBusPropertyWatch::DBusPropertyWatch(DBusService& service, const QString& path, const QString& interface,
                                     QObject* parent)
    : QObject(parent), m_service(service), m_path(path), m_interface(interface) {
    m_service.connectSignal(m_path, DBusNames::properties, DBusNames::propertiesChanged, this,
                            SLOT(onPropertiesChanged(QDBusMessage)), {m_interface});
    connect(&m_service, &DBusService::appeared, this, &DBusPropertyWatch::read);
    connect(&m_service, &DBusService::vanished, this, &DBusPropertyWatch::forget);
    read();
}

void DBusPropertyWatch::read() {
    m_service.call(m_path, DBusNames::properties, DBusNames::getAll, {m_interface}, this,
                   [this](const QDBusMessage& reply) {
                       if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                           m_values = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
                       else
                           m_values.clear();
                       Q_EMIT changed();
                   });
}

void DBusPropertyWatch::forget() {
    m_values.clear();
    Q_EMIT changed();
}

void DBusPropertyWatch::onPropertiesChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (!m_service.isFromOwner(message) || arguments.size() < 3)
        return;
    const QVariantMap values = qdbus_cast<QVariantMap>(arguments.at(1));
    for (auto it = values.begin(); it != values.end(); ++it)
        m_values.insert(it.key(), it.value());
    // Some services announce a change without its value.
    if (!qdbus_cast<QStringList>(arguments.at(2)).isEmpty())
        read();
    Q_EMIT changed();
}
