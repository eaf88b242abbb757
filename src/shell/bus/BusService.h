// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class AppDelegate;
class ControlAdaptor;
class ScreenSource;

// The running application on the session bus: it owns the name org.lumivale.Lumivale and serves
// org.freedesktop.Application and the control interface at /org/lumivale/Lumivale. Owning the name is
// what makes a launch the one instance.
class BusService : public QObject {
    Q_OBJECT

public:
    enum class Claim { Owned, Taken, NoBus };

    explicit BusService(QDBusConnection bus, QObject* parent = nullptr);
    ~BusService() override;

    // Exports the object, then asks for the name, so that whoever sees the name finds the object.
    [[nodiscard]] Claim claim();
    // Calls arriving before this are dropped; none are delivered before the event loop runs.
    void serve(AppDelegate& delegate, const ScreenSource& screens);

    // What the launcher handed to this process to pass on (startup id, activation token). Read before
    // the application object exists: Qt takes DESKTOP_STARTUP_ID out of the environment.
    [[nodiscard]] static QVariantMap launchPlatformData();
    // Asks the instance that owns the name to show itself; returns whether it answered.
    [[nodiscard]] static bool activateRunningInstance(QDBusConnection bus, const QVariantMap& platformData);

private:
    QDBusConnection m_bus;
    AppDelegate* m_delegate = nullptr;
    ControlAdaptor* m_control;
    bool m_exported = false;
    bool m_owned = false;
};
