// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/update/UsagePing.h"

#include "shell/ShellLog.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

UsagePing::UsagePing(QNetworkAccessManager& network, QUrl endpoint, QString version)
    : m_network(&network), m_endpoint(std::move(endpoint)),
      m_version(version.isEmpty() ? QStringLiteral("?") : std::move(version)) {}

QString UsagePing::urlText(const QString& event) const {
    return m_endpoint.toString(QUrl::RemoveQuery | QUrl::RemoveFragment) + QStringLiteral("?e=") + event +
           QStringLiteral("&v=") + m_version;
}

void UsagePing::send(const QString& event) const {
    const QUrl url(urlText(event), QUrl::StrictMode);
    if (!url.isValid() || !m_network)
        return;
    // The network object lives on the main thread; the request is made there whoever calls.
    QMetaObject::invokeMethod(m_network.data(), [network = m_network, url] {
        if (!network)
            return;
        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        QNetworkReply* reply = network->get(request);
        // Only the request matters: the answer's body is never read, so none is let in. Queued: Qt is
        // still handling the answer's head (an error status, say) when it announces it.
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, &QNetworkReply::abort,
                         Qt::QueuedConnection);
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply] {
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError &&
                reply->error() != QNetworkReply::OperationCanceledError)
                qCInfo(lcShell).noquote() << "Usage ping not sent -" << reply->errorString();
        });
    });
}
