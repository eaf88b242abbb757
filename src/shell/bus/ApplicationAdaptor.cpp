#include "shell/bus/ApplicationAdaptor.h"

ApplicationAdaptor::ApplicationAdaptor(QObject* parent, std::function<void()> reopen)
    : QDBusAbstractAdaptor(parent), m_reopen(std::move(reopen)) {}

void ApplicationAdaptor::Activate(const QVariantMap&) {
    if (m_reopen)
        m_reopen();
}

// Lumivale opens no files and has no desktop actions; both just bring it up.
void ApplicationAdaptor::Open(const QStringList&, const QVariantMap& platformData) {
    Activate(platformData);
}

void ApplicationAdaptor::ActivateAction(const QString&, const QVariantList&,
                                        const QVariantMap& platformData) {
    Activate(platformData);
}
