// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBusService.h"

#include "DBusNames.h"
#include "platform/dbus/DBusLog.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QPointer>

namespace {
// Takes one answer and hands it on. Answers come through callWithCallback because it delivers a reply
// in its place among the signals of the connection: a QDBusPendingCallWatcher may report a reply after
// signals that followed it on the bus, so an older GetAll would overwrite a newer PropertiesChanged.
class ReplyReceiver : public QObject {
    Q_OBJECT

public:
    ReplyReceiver(DBusService::ReplyHandler handler, QObject* parent)
        : QObject(parent), m_handler(std::move(handler)) {}

public Q_SLOTS:
    void onReply(const QDBusMessage& reply) { finish(reply); }
    void onError(const QDBusError& error, const QDBusMessage&) { finish(QDBusMessage::createError(error)); }

private:
    void finish(const QDBusMessage& answer) {
        deleteLater();
        if (DBusService::ReplyHandler handler = std::exchange(m_handler, {}))
            handler(answer);
    }

    DBusService::ReplyHandler m_handler;
};

void send(const QDBusConnection& bus, const QDBusMessage& message, QObject* context,
          DBusService::ReplyHandler handler) {
    auto* receiver = new ReplyReceiver(std::move(handler), context);
    if (!bus.callWithCallback(message, receiver, SLOT(onReply(QDBusMessage)),
                              SLOT(onError(QDBusError, QDBusMessage)))) {
        const QDBusError error = bus.lastError();
        QMetaObject::invokeMethod(
            receiver, [receiver, error] { receiver->onError(error, {}); }, Qt::QueuedConnection);
    }
}
} // namespace

DBusService::DBusService(const QDBusConnection& bus, const QString& name, QObject* parent)
    : QObject(parent), m_bus(bus), m_name(name),
      m_watcher(name, bus, QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { setOwner(newOwner); });

    // The watcher's match rule goes out first, so no change of owner falls between it and this answer.
    QDBusMessage question = QDBusMessage::createMethodCall(DBusNames::bus.service, DBusNames::bus.path,
                                                           DBusNames::bus.interface, DBusNames::getNameOwner);
    question << m_name;
    send(m_bus, question, this, [this, generation = m_generation](const QDBusMessage& reply) {
        if (generation == m_generation && reply.type() == QDBusMessage::ReplyMessage &&
            !reply.arguments().isEmpty())
            setOwner(reply.arguments().constFirst().toString());
    });
}

bool DBusService::isFromOwner(const QDBusMessage& message) const {
    return !m_owner.isEmpty() && message.service() == m_owner;
}

void DBusService::call(const QString& path, const QString& interface, const QString& method,
                       const QVariantList& arguments, QObject* context, ReplyHandler handler) {
    if (m_owner.isEmpty())
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(m_owner, path, interface, method);
    message.setArguments(arguments);
    send(m_bus, message, context,
         [self = QPointer(this), generation = m_generation, handler = std::move(handler),
          what = m_name + QLatin1Char(' ') + path + QLatin1Char(' ') + interface + QLatin1Char('.') +
                 method](const QDBusMessage& reply) {
             if (reply.type() == QDBusMessage::ErrorMessage)
                 qCWarning(lcDbus).noquote()
                     << what << "failed:" << reply.errorName() << reply.errorMessage();
             if (self && generation == self->m_generation)
                 handler(reply);
         });
}

bool DBusService::connectSignal(const QString& path, const QString& interface, const QString& name,
                                QObject* receiver, const char* slot, const QStringList& argumentMatch) {
    // No sender in the match rule: Qt would resolve a well-known sender with a blocking call.
    const bool connected =
        m_bus.connect(QString(), path, interface, name, argumentMatch, QString(), receiver, slot);
    // Without the bus at all, LinuxSystemConditions has said so once already.
    if (!connected && m_bus.isConnected())
        qCWarning(lcDbus).noquote() << "Cannot follow" << interface + QLatin1Char('.') + name << "of"
                                    << m_name << "-" << m_bus.lastError().name()
                                    << m_bus.lastError().message();
    return connected;
}

void DBusService::setOwner(const QString& owner) {
    if (owner == m_owner)
        return;
    ++m_generation;
    m_owner = owner;
    // A direct hand-over counts as appearing: the readers replace what they knew.
    if (m_owner.isEmpty())
        Q_EMIT vanished();
    else
        Q_EMIT appeared();
}

#include "DBusService.moc"
