// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionMonitor.h"

#include "DBusNames.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>

SessionMonitor::SessionMonitor(const QDBusConnection& systemBus, const QDBusConnection& sessionBus,
                               DisplaysOff displaysOff, std::chrono::milliseconds displaysOffInterval,
                               QObject* parent)
    : QObject(parent), m_logind(systemBus, DBusNames::logindManager.service),
      m_freedesktopScreenSaver(sessionBus, DBusNames::freedesktopScreenSaver),
      m_gnomeScreenSaver(sessionBus, DBusNames::gnomeScreenSaver),
      m_mutter(sessionBus, DBusNames::mutterDisplayConfig.service),
      m_mutterProperties(m_mutter, DBusNames::mutterDisplayConfig.path,
                         DBusNames::mutterDisplayConfig.interface),
      m_displaysOff(std::move(displaysOff)) {
    m_logind.connectSignal(DBusNames::logindManager.path, DBusNames::logindManager.interface,
                           DBusNames::prepareForSleep, this, SLOT(onPrepareForSleep(QDBusMessage)));
    connect(&m_logind, &DBusService::appeared, this, &SessionMonitor::findSession);
    connect(&m_logind, &DBusService::vanished, this, [this] {
        m_preparingForSleep = false;
        update();
    });

    connect(&m_freedesktopScreenSaver, &ScreenSaverWatch::changed, this, &SessionMonitor::update);
    connect(&m_gnomeScreenSaver, &ScreenSaverWatch::changed, this, &SessionMonitor::update);
    connect(&m_mutterProperties, &DBusPropertyWatch::changed, this, &SessionMonitor::update);

    m_displaysTimer.setInterval(displaysOffInterval);
    connect(&m_displaysTimer, &QTimer::timeout, this, &SessionMonitor::pollDisplays);
}

void SessionMonitor::setDisplaysWatched(bool watched) {
    if (!m_displaysOff || watched == m_displaysTimer.isActive())
        return;
    if (watched) {
        m_displaysTimer.start();
        pollDisplays();
        return;
    }
    m_displaysTimer.stop();
    m_displaysAreOff = false;
    update();
}

void SessionMonitor::findSession() {
    m_logind.call(
        DBusNames::logindManager.path, DBusNames::logindManager.interface, DBusNames::getSession,
        {QString(DBusNames::autoSession)}, this, [this](const QDBusMessage& reply) {
            const QString path = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                                     ? qdbus_cast<QDBusObjectPath>(reply.arguments().constFirst()).path()
                                     : QString();
            if (m_session && m_session->path() == path)
                return; // it reads itself afresh when logind appears
            m_session.reset();
            if (!path.isEmpty()) {
                m_session = std::make_unique<DBusPropertyWatch>(m_logind, path, DBusNames::sessionInterface);
                connect(m_session.get(), &DBusPropertyWatch::changed, this, &SessionMonitor::update);
            }
            update();
        });
}

void SessionMonitor::onPrepareForSleep(const QDBusMessage& message) {
    if (!m_logind.isFromOwner(message) || message.arguments().isEmpty())
        return;
    m_preparingForSleep = message.arguments().constFirst().toBool();
    update();
}

void SessionMonitor::pollDisplays() {
    m_displaysAreOff = m_displaysOff().value_or(false);
    update();
}

void SessionMonitor::update() {
    // -1 means Mutter cannot tell; only the standby, suspend and off modes count.
    const bool mutterPowerSave = m_mutterProperties.value(DBusNames::powerSaveMode).toInt() > 0;
    const bool asleep = m_preparingForSleep || mutterPowerSave || m_displaysAreOff;
    const bool locked = (m_session && m_session->value(DBusNames::lockedHint).toBool()) ||
                        m_freedesktopScreenSaver.isActive() || m_gnomeScreenSaver.isActive();
    const QVariant active = m_session ? m_session->value(DBusNames::active) : QVariant();
    const bool inactive = active.isValid() && !active.toBool();

    if (asleep != m_asleep) {
        m_asleep = asleep;
        if (asleep)
            Q_EMIT screensDidSleep();
        else
            Q_EMIT screensDidWake();
    }
    if (locked != m_locked) {
        m_locked = locked;
        if (locked)
            Q_EMIT screenLocked();
        else
            Q_EMIT screenUnlocked();
    }
    if (inactive != m_inactive) {
        m_inactive = inactive;
        if (inactive)
            Q_EMIT sessionDidResignActive();
        else
            Q_EMIT sessionDidBecomeActive();
    }
}
