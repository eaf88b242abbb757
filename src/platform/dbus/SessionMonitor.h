// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DBusPropertyWatch.h"
#include "DBusService.h"
#include "ScreenSaverWatch.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QDBusMessage;

// Whether the screens sleep, the screen is locked and our session is inactive, each combined from
// every source that can tell, with a signal whenever a combined value flips:
// - asleep: logind's PrepareForSleep, Mutter's PowerSaveMode, or the displays-off hook (DPMS);
// - locked: our logind session's LockedHint, or either screen saver service being active;
// - inactive: our logind session's Active being false (another user's session is in front).
// A source that is absent counts as false.
class SessionMonitor : public QObject {
    Q_OBJECT

public:
    // Whether the displays are off, or nothing when that cannot be told. Polled while watched.
    using DisplaysOff = std::function<std::optional<bool>()>;

    SessionMonitor(const QDBusConnection& systemBus, const QDBusConnection& sessionBus,
                   DisplaysOff displaysOff, std::chrono::milliseconds displaysOffInterval,
                   QObject* parent = nullptr);

    [[nodiscard]] bool screensAsleep() const { return m_asleep; }
    [[nodiscard]] bool locked() const { return m_locked; }
    [[nodiscard]] bool sessionInactive() const { return m_inactive; }
    // Polling the displays costs a round trip every interval; it runs only while something is shown
    // that their state could pause. Unwatched, they count as on.
    void setDisplaysWatched(bool watched);

Q_SIGNALS:
    void screensDidSleep();
    void screensDidWake();
    void screenLocked();
    void screenUnlocked();
    void sessionDidResignActive();
    void sessionDidBecomeActive();

private Q_SLOTS:
    void onPrepareForSleep(const QDBusMessage& message);

private:
    void findSession();
    void pollDisplays();
    void update();

    DBusService m_logind;
    std::unique_ptr<DBusPropertyWatch> m_session;
    bool m_preparingForSleep = false;

    ScreenSaverWatch m_freedesktopScreenSaver;
    ScreenSaverWatch m_gnomeScreenSaver;

    DBusService m_mutter;
    DBusPropertyWatch m_mutterProperties;

    DisplaysOff m_displaysOff;
    QTimer m_displaysTimer;
    bool m_displaysAreOff = false;

    bool m_asleep = false;
    bool m_locked = false;
    bool m_inactive = false;
};
