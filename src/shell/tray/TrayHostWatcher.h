// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <memory>

class QDBusServiceWatcher;

// Tells whether something on the desktop can show a tray icon: a StatusNotifierItem host on the session
// bus, or an XEmbed system tray on the X display. Qt chooses between the two once per process, when
// the first tray icon is made, so the icon is made only once a host is known to exist.
class TrayHostWatcher : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit TrayHostWatcher(QObject* parent = nullptr);
    ~TrayHostWatcher() override;

    [[nodiscard]] bool hostPresent() const { return m_statusNotifierHost || m_xembedTray; }
    // Both kinds of host have answered at least once.
    [[nodiscard]] bool settled() const { return m_statusNotifierSettled && m_xembedSettled; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void hostPresentChanged();
    void settledChanged();

private Q_SLOTS:
    void checkStatusNotifierHost();

private:
    void watchXEmbedTray();
    [[nodiscard]] bool xembedTrayOwned() const;
    void setStatusNotifierHost(bool present);
    void setXEmbedTray(bool present);
    void settleStatusNotifier();

    std::unique_ptr<QDBusServiceWatcher> m_serviceWatcher;
    bool m_statusNotifierHost = false;
    bool m_xembedTray = false;
    bool m_statusNotifierSettled = false;
    bool m_xembedSettled = false;
    std::uint32_t m_trayAtom = 0;
    std::uint32_t m_managerAtom = 0;
};
