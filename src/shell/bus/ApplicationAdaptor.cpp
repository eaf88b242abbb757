// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/bus/ApplicationAdaptor.h"

ApplicationAdaptor::ApplicationAdaptor(QObject* parent, std::function<void(const QString&)> reopen)
    : QDBusAbstractAdaptor(parent), m_reopen(std::move(reopen)) {}

void ApplicationAdaptor::Activate(const QVariantMap& platformData) {
    if (!m_reopen)
        return;
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    m_reopen(token.isEmpty() ? platformData.value(QStringLiteral("desktop-startup-id")).toString() : token);
}

// Lumivale opens no files and has no desktop actions; both just bring it up.
void ApplicationAdaptor::Open(const QStringList&, const QVariantMap& platformData) {
    Activate(platformData);
}

void ApplicationAdaptor::ActivateAction(const QString&, const QVariantList&,
                                        const QVariantMap& platformData) {
    Activate(platformData);
}
