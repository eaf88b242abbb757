// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/update/UpdateFeed.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QTimer;
class UpdateWindow;

// Looks for a newer Lumivale in the update feed: on its own at start and then daily, telling only of a
// newer version, and when the user asks, with a small window that shows every outcome.
class UpdateController : public QObject {
    Q_OBJECT

public:
    enum class Outcome { UpToDate, Available, Failed };
    struct Result {
        Outcome outcome = Outcome::Failed;
        std::optional<UpdateFeed> feed;
    };

    static constexpr std::chrono::hours checkInterval{24};
    static constexpr int requestTimeoutMs = 30'000;
    static constexpr qint64 maxFeedBytes = qint64{1024} * 1024;

    // Does nothing until startUpdater or checkForUpdates.
    UpdateController(QNetworkAccessManager& network, QUrl feedUrl, QString currentVersion,
                     QObject* parent = nullptr);
    ~UpdateController() override;

    void startUpdater();
    void checkForUpdates();

    [[nodiscard]] bool isStarted() const { return m_timer != nullptr; }
    // The window of the user's checks; null until the first one.
    [[nodiscard]] UpdateWindow* window() const { return m_window.get(); }

Q_SIGNALS:
    // A background check found a newer version.
    void updateFound(const UpdateFeed& feed);
    void checkFinished(UpdateController::Outcome outcome, bool userAsked);

private:
    void check(bool userAsked);
    [[nodiscard]] Result judge(const QByteArray& body) const;

    QPointer<QNetworkAccessManager> m_network;
    QUrl m_feedUrl;
    QString m_currentVersion;
    std::unique_ptr<QTimer> m_timer;
    std::unique_ptr<UpdateWindow> m_window;
};
