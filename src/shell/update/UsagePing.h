// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

// The anonymous usage ping: one GET of "<base>/v1/ping?e=<event>&v=<version>", sent and forgotten.
class UsagePing {
public:
    static constexpr int timeoutMs = 30'000;

    UsagePing(QNetworkAccessManager& network, QUrl endpoint, QString version);

    // The URL text of the ping, with the event and the version inserted unchanged.
    [[nodiscard]] QString urlText(const QString& event) const;
    // Returns at once; every failure is silent. May be called from any thread.
    void send(const QString& event) const;

private:
    QPointer<QNetworkAccessManager> m_network;
    QUrl m_endpoint;
    QString m_version;
};
