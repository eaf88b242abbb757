// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantMap>
#include <functional>

// org.freedesktop.Application: launchers and a second launch of Lumivale reopen the running one.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    // reopen receives the activation token or startup id that the launcher handed to the caller.
    ApplicationAdaptor(QObject* parent, std::function<void(const QString&)> reopen);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData);

private:
    std::function<void(const QString&)> m_reopen;
};
