// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/update/UpdateController.h"

#include "shell/ShellLog.h"
#include "shell/update/UpdateWindow.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

UpdateController::UpdateController(QNetworkAccessManager& network, QUrl feedUrl, QString currentVersion,
                                   QObject* parent)
    : QObject(parent), m_network(&network), m_feedUrl(std::move(feedUrl)),
      m_currentVersion(std::move(currentVersion)) {}

UpdateController::~UpdateController() = default;

void UpdateController::startUpdater() {
    if (m_timer)
        return;
    m_timer = std::make_unique<QTimer>();
    m_timer->setInterval(checkInterval);
    connect(m_timer.get(), &QTimer::timeout, this, [this] { check(false); });
    m_timer->start();
    check(false);
}

void UpdateController::checkForUpdates() {
    if (!m_window) {
        m_window = std::make_unique<UpdateWindow>();
    }
    m_window->showChecking();
    check(true);
}

void UpdateController::check(bool userAsked) {
    if (!m_network)
        return;
    QNetworkRequest request(m_feedUrl);
    request.setTransferTimeout(requestTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = m_network->get(request);
    // A body past the limit is given up as soon as it is announced or arrives, not read whole first.
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received, qint64 total) {
        if (received > maxFeedBytes || total > maxFeedBytes) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, userAsked, tooLarge] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        Result result;
        if (!*tooLarge && reply->error() == QNetworkReply::NoError && status == 200 &&
            reply->bytesAvailable() <= maxFeedBytes)
            result = judge(reply->readAll());
        if (result.outcome == Outcome::Failed)
            qCWarning(lcShell).noquote() << "Update check at" << reply->url().toString()
                                         << "failed: HTTP status" << status << "-" << reply->errorString();
        if (userAsked && m_window)
            m_window->showResult(result);
        if (!userAsked && result.outcome == Outcome::Available)
            Q_EMIT updateFound(*result.feed);
        Q_EMIT checkFinished(result.outcome, userAsked);
    });
}

UpdateController::Result UpdateController::judge(const QByteArray& body) const {
    std::optional<UpdateFeed> feed = UpdateFeed::parse(body);
    if (!feed)
        return {};
    const std::optional<int> order = UpdateFeed::compareVersions(feed->version, m_currentVersion);
    if (!order)
        return {};
    return {.outcome = *order > 0 ? Outcome::Available : Outcome::UpToDate, .feed = std::move(feed)};
}
