// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/tray/TrayHostWatcher.h"

#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/XcbReply.h"
#include "shell/ShellLog.h"
#include "shell/ShellNames.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <string_view>
#include <xcb/xcb.h>

TrayHostWatcher::TrayHostWatcher(QObject* parent) : QObject(parent) {
    watchXEmbedTray();
    checkStatusNotifierHost();
}

TrayHostWatcher::~TrayHostWatcher() {
    if (m_trayAtom != XCB_ATOM_NONE && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

void TrayHostWatcher::checkStatusNotifierHost() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        settleStatusNotifier();
        return;
    }
    const QString watcher(ShellNames::statusNotifierWatcher);
    if (!m_serviceWatcher) {
        m_serviceWatcher =
            std::make_unique<QDBusServiceWatcher>(watcher, bus, QDBusServiceWatcher::WatchForOwnerChange);
        connect(m_serviceWatcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    if (newOwner.isEmpty())
                        setStatusNotifierHost(false);
                    else
                        checkStatusNotifierHost();
                });
        bus.connect(watcher, QString(ShellNames::statusNotifierWatcherPath), watcher,
                    QString(ShellNames::statusNotifierHostSignal), this, SLOT(checkStatusNotifierHost()));
    }

    // The same question Qt asks before it picks the StatusNotifierItem tray.
    QDBusMessage get = QDBusMessage::createMethodCall(watcher, QString(ShellNames::statusNotifierWatcherPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcher << QString(ShellNames::statusNotifierHostRegistered);
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        setStatusNotifierHost(!reply.isError() && reply.value().variant().toBool());
        settleStatusNotifier();
    });
}

void TrayHostWatcher::settleStatusNotifier() {
    if (m_statusNotifierSettled)
        return;
    m_statusNotifierSettled = true;
    if (settled())
        Q_EMIT settledChanged();
}

void TrayHostWatcher::watchXEmbedTray() {
    const std::optional<X11Connection> x = X11Connection::fromQt();
    if (x) {
        // The tray selection is the screen's own.
        const QByteArray selection = QByteArray(ShellNames::xembedTraySelectionPrefix.data(),
                                                ShellNames::xembedTraySelectionPrefix.size()) +
                                     QByteArray::number(x->screen);
        m_trayAtom =
            X11Atoms::intern(x->connection, std::string_view(selection.constData(), selection.size()));
        m_managerAtom = X11Atoms::intern(x->connection, "MANAGER");
    }
    if (x && m_trayAtom != XCB_ATOM_NONE && m_managerAtom != XCB_ATOM_NONE) {
        // A tray that starts later announces itself with a MANAGER message to the root window, which
        // only clients listening for structure changes there receive. Add that to what Qt listens for.
        xcb_connection_t* connection = x->connection;
        const xcb_window_t root = x->root;
        const auto attributes = xcbReply(connection, xcb_get_window_attributes(connection, root),
                                         xcb_get_window_attributes_reply);
        if (attributes && !(attributes->your_event_mask & XCB_EVENT_MASK_STRUCTURE_NOTIFY)) {
            const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(connection);
        }
        qGuiApp->installNativeEventFilter(this);
        setXEmbedTray(xembedTrayOwned());
    }
    m_xembedSettled = true;
}

bool TrayHostWatcher::xembedTrayOwned() const {
    const std::optional<X11Connection> x = X11Connection::fromQt();
    if (!x || m_trayAtom == XCB_ATOM_NONE)
        return false;
    const auto owner = xcbReply(x->connection, xcb_get_selection_owner(x->connection, m_trayAtom),
                                xcb_get_selection_owner_reply);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

bool TrayHostWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != QByteArrayLiteral("xcb_generic_event_t"))
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->type == m_managerAtom && client->format == 32 && client->data.data32[1] == m_trayAtom)
        setXEmbedTray(true);
    return false;
}

void TrayHostWatcher::setStatusNotifierHost(bool present) {
    const bool before = hostPresent();
    if (present != m_statusNotifierHost)
        qCInfo(lcShell) << "StatusNotifierItem host" << (present ? "found" : "gone");
    m_statusNotifierHost = present;
    if (hostPresent() != before)
        Q_EMIT hostPresentChanged();
}

void TrayHostWatcher::setXEmbedTray(bool present) {
    const bool before = hostPresent();
    if (present != m_xembedTray)
        qCInfo(lcShell) << "XEmbed system tray" << (present ? "found" : "gone");
    m_xembedTray = present;
    if (hostPresent() != before)
        Q_EMIT hostPresentChanged();
}
