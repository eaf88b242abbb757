// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EnginePlatform.h"
#include "library/WallpaperTarget.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <map>
#include <memory>
#include <optional>

class LibraryStore;
class Preferences;
class QTimer;
class RotationClock;
class SharedPlayer;
class WallpaperRotation;
class WallpaperWindow;
struct ScreenInfo;

// Decides which video plays on which display, owns the wallpaper windows and the shared players,
// and pauses playback when nothing speaks for it. The platform only carries out what it decides.
// Main thread only; every assignment to a published field notifies, changed or not.
class WallpaperEngine : public QObject, public WallpaperTarget {
    Q_OBJECT
    Q_PROPERTY(QVariantMap assignments READ assignmentsVariant NOTIFY assignmentsChanged)
    Q_PROPERTY(bool userPaused READ userPaused WRITE setUserPaused NOTIFY userPausedChanged)
    Q_PROPERTY(bool pauseOnBattery READ pauseOnBattery WRITE setPauseOnBattery NOTIFY pauseOnBatteryChanged)
    Q_PROPERTY(
        bool pauseWhenCovered READ pauseWhenCovered WRITE setPauseWhenCovered NOTIFY pauseWhenCoveredChanged)
    Q_PROPERTY(QString pauseReason READ pauseReasonText NOTIFY pauseReasonChanged)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY statusLineChanged)
    Q_PROPERTY(WallpaperRotation* rotation READ rotationObject CONSTANT)
    Q_MOC_INCLUDE("engine/WallpaperRotation.h")

public:
    // Display key or "*" to wallpaper id.
    using AssignmentMap = QMap<QString, QString>;

    // What one connected display shows now.
    struct DisplayState {
        QString key;
        QString name;
        // Empty while the display has no wallpaper window.
        QString wallpaperId;
        // Its window's player runs.
        bool playing = false;
        // Its window's player's decoder, as SharedPlayer::decoder() says.
        QString decoder;

        friend bool operator==(const DisplayState&, const DisplayState&) = default;
    };

    static constexpr int coverScanIntervalMs = 2000;

    // Reads the assignments and the three preferences; applies nothing until start().
    WallpaperEngine(LibraryStore& store, Preferences& preferences, const EnginePlatform& platform,
                    QObject* parent = nullptr);
    ~WallpaperEngine() override;
    WallpaperEngine(const WallpaperEngine&) = delete;
    WallpaperEngine& operator=(const WallpaperEngine&) = delete;

    // The process-wide engine. The composition root makes it with the real adapters, owns it so that
    // it goes before the application object does, and registers it here.
    [[nodiscard]] static WallpaperEngine& shared();
    static void setShared(WallpaperEngine* engine);

    [[nodiscard]] const AssignmentMap& assignments() const { return m_assignments; }
    [[nodiscard]] QVariantMap assignmentsVariant() const;
    [[nodiscard]] bool userPaused() const { return m_userPaused; }
    [[nodiscard]] bool pauseOnBattery() const { return m_pauseOnBattery; }
    [[nodiscard]] bool pauseWhenCovered() const { return m_pauseWhenCovered; }
    [[nodiscard]] const std::optional<QString>& pauseReason() const { return m_pauseReason; }
    [[nodiscard]] QString pauseReasonText() const { return m_pauseReason.value_or(QString()); }
    [[nodiscard]] QString statusLine() const;
    [[nodiscard]] const QSet<QString>& screensUnderAWindow() const { return m_screensUnderAWindow; }
    // Every connected display, in the screen source's order, as the latest apply left its window and
    // the players are now.
    [[nodiscard]] QList<DisplayState> displayStates() const;
    // The automatic change of wallpaper; its countdown runs while something plays.
    [[nodiscard]] WallpaperRotation& rotation() const { return *m_rotation; }
    [[nodiscard]] WallpaperRotation* rotationObject() const { return m_rotation.get(); }

    // Change the map without saving or applying it; callers save, then apply.
    void setAssignments(AssignmentMap assignments);
    void setAssignment(const QString& key, const QString& id);
    void saveAssignments();

    // Each setter stores, persists and re-evaluates playback, also when the value does not change.
    void setUserPaused(bool paused);
    void setPauseOnBattery(bool pause);
    void setPauseWhenCovered(bool pause);

    // WallpaperTarget: the store's useWallpaper and removal.
    void useWallpaper(const QString& id, const QString& displayChoice) override;
    void forgetWallpaper(const QString& id) override;

    // Empties the map, saves and applies; the user pause stays.
    Q_INVOKABLE void stop();
    // Puts the wallpaper after the current one in the store's downloaded list on every display.
    Q_INVOKABLE void advance();

    // Puts the map on the screens: one window per display that resolves to a file, one player per
    // file, then re-evaluates playback.
    void apply();
    void updatePlayback();
    [[nodiscard]] std::optional<QString> conditionReason() const;

    // Connects the engine to the system and applies the map for the first time; a second call does
    // nothing.
    void start();
    // Records which displays one window covers; re-evaluates only when that set changes.
    void refreshCover();
    // mayPlay: no condition of the system or the user's pauses playback.
    void scanCoverWhileItMatters(bool mayPlay);

Q_SIGNALS:
    void assignmentsChanged();
    void userPausedChanged();
    void pauseOnBatteryChanged();
    void pauseWhenCoveredChanged();
    void pauseReasonChanged();
    void statusLineChanged();

private:
    [[nodiscard]] std::optional<QString> resolve(const QString& key) const;
    [[nodiscard]] std::unique_ptr<WallpaperWindow> makeWindow(const ScreenInfo& screen);
    void setPauseReason(std::optional<QString> reason);
    void rotate();
    void publishStatusLine();

    AssignmentMap m_assignments;
    bool m_userPaused = false;
    bool m_pauseOnBattery = true;
    bool m_pauseWhenCovered = true;
    std::optional<QString> m_pauseReason;
    std::map<QString, std::unique_ptr<WallpaperWindow>> m_windows;
    // The wallpaper each window was made to show, by display key.
    QHash<QString, QString> m_windowWallpapers;
    std::map<QString, std::unique_ptr<SharedPlayer>> m_players;
    bool m_screensAsleep = false;
    bool m_locked = false;
    bool m_sessionInactive = false;
    std::unique_ptr<QTimer> m_coverTimer;
    QSet<QString> m_screensUnderAWindow;

    LibraryStore& m_store;
    Preferences& m_preferences;
    EnginePlatform m_platform;
    QString m_statusLine;
    std::unique_ptr<RotationClock> m_ownClock;
    std::unique_ptr<WallpaperRotation> m_rotation;
};
