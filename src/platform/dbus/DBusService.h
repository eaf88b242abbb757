// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

class QDBusMessage;

// One well-known name on one bus, followed as its owner comes and goes. Calls go to the current
// owner only, so a service that is not running is never activated; replies from an earlier owner
// and signals from anyone else are dropped. Nothing here blocks.
class DBusService : public QObject {
    Q_OBJECT

public:
    using ReplyHandler = std::function<void(const QDBusMessage& reply)>;

    DBusService(const QDBusConnection& bus, const QString& name, QObject* parent = nullptr);

    [[nodiscard]] const QDBusConnection& bus() const { return m_bus; }
    [[nodiscard]] bool isFromOwner(const QDBusMessage& message) const;

    // Calls a method of the current owner. The handler gets the reply or the error, unless the owner
    // has changed meanwhile or the context is gone. Does nothing while the service is absent.
    void call(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, QObject* context, ReplyHandler handler);

    // Delivers a signal of any path (when path is empty) to the receiver's slot, which takes a
    // QDBusMessage and checks isFromOwner().
    bool connectSignal(const QString& path, const QString& interface, const QString& name, QObject* receiver,
                       const char* slot, const QStringList& argumentMatch = {});

Q_SIGNALS:
    // The service has an owner: at start when it runs, and whenever it (re)starts.
    void appeared();
    void vanished();

private:
    void setOwner(const QString& owner);

    QDBusConnection m_bus;
    QString m_name;
    QString m_owner;
    // Grows with every change of owner; replies carry the value they were sent with.
    quint64 m_generation = 0;
    QDBusServiceWatcher m_watcher;
};
