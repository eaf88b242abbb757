// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

class AppDelegate;
class ScreenSource;
struct Wallpaper;

// org.lumivale.Lumivale.Control: the status menu's actions and a card's click for scripts and keyboard
// bindings, and the state they change. Each method does what its menu item or click does. The interface
// is data/org.lumivale.Lumivale.Control.xml; the adaptor generated from it calls these slots.
class ControlAdaptor : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    ControlAdaptor(QObject* parent, QDBusConnection bus);

    void serve(AppDelegate& delegate, const ScreenSource& screens);

public Q_SLOTS:
    void Pause();
    void Resume();
    void TogglePause();
    void Next();
    void Stop();
    // Replies once the wallpaper is on the displays, after its download when it is not on disk yet.
    void Use(const QString& id, const QString& displayChoice);
    QVariantMap Status();
    // intervalSeconds 0 turns the rotation off; order "shuffled", "in-order", or empty to keep it.
    void SetRotation(qlonglong intervalSeconds, const QString& order);

private:
    [[nodiscard]] bool isReady() const { return m_delegate && m_screens; }
    void use(const QString& id, const QString& displayChoice, const QDBusMessage& message);
    void downloadAndUse(const Wallpaper& wallpaper, const QString& displayChoice,
                        const QDBusMessage& message);
    void replyError(const QDBusMessage& message, QLatin1StringView name, const QString& text);

    QDBusConnection m_bus;
    AppDelegate* m_delegate = nullptr;
    const ScreenSource* m_screens = nullptr;
};
