// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <array>
#include <optional>

class Preferences;
class RotationClock;

// Changes the wallpaper by itself after an interval of playing time: the countdown, which runs only
// while the engine says something plays, and the choice of the next wallpapers, in the library's order
// or as a shuffled cycle. The countdown's time left is kept with the preferences across restarts;
// stored values that make no sense read as off and stay on disk until a new choice is saved.
class WallpaperRotation : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 intervalSeconds READ intervalSeconds NOTIFY choiceChanged)
    Q_PROPERTY(bool shuffled READ shuffled NOTIFY choiceChanged)

public:
    static constexpr qint64 minimumSeconds = 10;
    static constexpr qint64 maximumSeconds = qint64(366) * 24 * 60 * 60;
    // The intervals the settings offer, off first: 5, 15 and 30 minutes, an hour, a day.
    static constexpr std::array<qint64, 6> presetSeconds{0, 300, 900, 1800, 3600, 86400};

    WallpaperRotation(Preferences& preferences, RotationClock& clock, QObject* parent = nullptr);
    ~WallpaperRotation() override;
    WallpaperRotation(const WallpaperRotation&) = delete;
    WallpaperRotation& operator=(const WallpaperRotation&) = delete;

    // 0 when off.
    [[nodiscard]] qint64 intervalSeconds() const { return m_intervalSeconds; }
    [[nodiscard]] bool isOn() const { return m_intervalSeconds > 0; }
    [[nodiscard]] bool shuffled() const { return m_shuffled; }
    [[nodiscard]] static bool isValidInterval(qint64 seconds);
    // "90s", "5m", "1h30m", "1d": whole numbers with units s, m, h and d, largest first; the text
    // form the command line takes and the status shows.
    [[nodiscard]] static std::optional<qint64> parseDuration(const QString& text);
    [[nodiscard]] static QString durationText(qint64 seconds);
    // Playing time until the next change; nothing when off.
    [[nodiscard]] std::optional<qint64> timeLeftMs() const;
    [[nodiscard]] bool isCounting() const { return m_counting; }

    // A new choice from the user: stored, and the countdown starts from the full interval. An invalid
    // interval is refused (returns false) and changes nothing.
    Q_INVOKABLE bool setChoice(qint64 intervalSeconds, bool shuffled);
    // The full interval again, from now: after a change by hand or by the rotation itself.
    void restart();
    // Whether a wallpaper plays now; the countdown runs only then, and keeps its place meanwhile.
    void setPlaying(bool playing);

    // The map after one change: every entry moves on, in order (the one after it in the list, wrapping)
    // or shuffled (never the one it shows, every wallpaper once before any repeats, and different
    // entries get different wallpapers where there are enough). Needs at least two ids.
    [[nodiscard]] QMap<QString, QString> next(const QMap<QString, QString>& assignments,
                                              const QStringList& downloaded);

Q_SIGNALS:
    // The countdown reached its end while playing; the engine changes the wallpaper.
    void due();
    void choiceChanged();

private:
    void alarmFired();
    void saveTimeLeft();
    [[nodiscard]] QString pickShuffled(const QString& current, const QStringList& downloaded,
                                       const QSet<QString>& taken);

    Preferences& m_preferences;
    RotationClock& m_clock;
    qint64 m_intervalSeconds = 0;
    bool m_shuffled = false;
    // Time left when the countdown last started or stopped, and when it started.
    qint64 m_leftMs = 0;
    qint64 m_sinceMs = 0;
    bool m_counting = false;
    bool m_playing = false;
    // Wallpapers shown in the current shuffled cycle.
    QSet<QString> m_cycle;
};
