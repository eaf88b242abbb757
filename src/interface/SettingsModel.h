// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class LoginItemControl;
class WallpaperEngine;

// What the settings sheet shows and changes. The pause switches and the rotation write through to the
// engine, which persists them; the login switch drives the login item and, after a failed change, shows the
// item's real state without trying again. Made anew each time the sheet opens.
class SettingsModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool pauseOnBattery READ pauseOnBattery WRITE setPauseOnBattery NOTIFY pauseOnBatteryChanged)
    Q_PROPERTY(
        bool pauseWhenCovered READ pauseWhenCovered WRITE setPauseWhenCovered NOTIFY pauseWhenCoveredChanged)
    Q_PROPERTY(qint64 rotationInterval READ rotationInterval WRITE setRotationInterval NOTIFY rotationChanged)
    Q_PROPERTY(bool rotationShuffled READ rotationShuffled WRITE setRotationShuffled NOTIFY rotationChanged)
    Q_PROPERTY(QVariantList rotationIntervals READ rotationIntervals NOTIFY rotationChanged)
    Q_PROPERTY(QString rotationTitle READ rotationTitle NOTIFY rotationChanged)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QUrl supportUrl READ supportUrl CONSTANT)

public:
    // Over the installed parts (InterfaceServices), as QML makes it.
    explicit SettingsModel(QObject* parent = nullptr);
    SettingsModel(WallpaperEngine& engine, LoginItemControl& loginItem, QObject* parent = nullptr);

    [[nodiscard]] bool launchAtLogin() const { return m_launchAtLogin; }
    void setLaunchAtLogin(bool launch);
    [[nodiscard]] bool pauseOnBattery() const;
    void setPauseOnBattery(bool pause);
    [[nodiscard]] bool pauseWhenCovered() const;
    void setPauseWhenCovered(bool pause);
    // Seconds, 0 for off.
    [[nodiscard]] qint64 rotationInterval() const;
    void setRotationInterval(qint64 seconds);
    [[nodiscard]] bool rotationShuffled() const;
    void setRotationShuffled(bool shuffled);
    // The offered intervals as {title, seconds}, with the current one when it is not among them.
    [[nodiscard]] QVariantList rotationIntervals() const;
    [[nodiscard]] QString rotationTitle() const;
    [[nodiscard]] static QString version();
    [[nodiscard]] static QUrl supportUrl();

    Q_INVOKABLE void getHelp() const;

Q_SIGNALS:
    void launchAtLoginChanged();
    void pauseOnBatteryChanged();
    void pauseWhenCoveredChanged();
    void rotationChanged();

private:
    WallpaperEngine& m_engine;
    LoginItemControl& m_loginItem;
    bool m_launchAtLogin = false;
};
