#include "shell/tray/TrayHostWatcher.h"

#include "shell/ShellNames.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* x11Connection() {
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        return x11->connection();
    return nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* connection) {
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

std::uint32_t internAtom(xcb_connection_t* connection, const QByteArray& name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.constData());
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
}

// The X screen that DISPLAY names (":0.1" is screen 1); the tray selection is per screen.
int displayScreenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (colon < 0 || dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok ? screen : 0;
}

} // namespace

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
    xcb_connection_t* connection = x11Connection();
    if (connection) {
        m_trayAtom = internAtom(connection, QByteArray(ShellNames::xembedTraySelectionPrefix.data()) +
                                                QByteArray::number(displayScreenNumber()));
        m_managerAtom = internAtom(connection, QByteArrayLiteral("MANAGER"));
    }
    if (m_trayAtom != XCB_ATOM_NONE && m_managerAtom != XCB_ATOM_NONE) {
        // A tray that starts later announces itself with a MANAGER message to the root window, which
        // only clients listening for structure changes there receive. Add that to what Qt listens for.
        const xcb_window_t root = rootWindow(connection);
        const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr),
            &std::free);
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
    xcb_connection_t* connection = x11Connection();
    if (!connection || m_trayAtom == XCB_ATOM_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, m_trayAtom), nullptr),
        &std::free);
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
    m_statusNotifierHost = present;
    if (hostPresent() != before)
        Q_EMIT hostPresentChanged();
}

void TrayHostWatcher::setXEmbedTray(bool present) {
    const bool before = hostPresent();
    m_xembedTray = present;
    if (hostPresent() != before)
        Q_EMIT hostPresentChanged();
}
