// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DBusNames.h"
#include "DBusService.h"

#include <QObject>

class QDBusMessage;

// Whether one screen saver service says it is active (the screen is locked or blanked): asked when
// the service appears, then followed through its ActiveChanged signal; false while it is absent.
class ScreenSaverWatch : public QObject {
    Q_OBJECT

public:
    ScreenSaverWatch(const QDBusConnection& bus, const DBusNames::Object& names, QObject* parent = nullptr);

    [[nodiscard]] bool isActive() const { return m_active; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void onActiveChanged(const QDBusMessage& message);

private:
    void read();
    void setActive(bool active);

    DBusNames::Object m_names;
    DBusService m_service;
    bool m_active = false;
};
