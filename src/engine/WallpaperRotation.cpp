// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WallpaperRotation.h"

#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/RotationClock.h"

#include <QJsonValue>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {
// The alarm keeps whole-second precision; closer than this to the end counts as the end.
constexpr qint64 dueToleranceMs = 1000;

// A whole number of seconds, or nothing.
std::optional<qint64> wholeSeconds(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || std::abs(number) > 1e15)
        return std::nullopt;
    return static_cast<qint64>(number);
}
} // namespace

WallpaperRotation::WallpaperRotation(Preferences& preferences, RotationClock& clock, QObject* parent)
    : QObject(parent), m_preferences(preferences), m_clock(clock) {
    connect(&m_clock, &RotationClock::fired, this, &WallpaperRotation::alarmFired);
    m_shuffled = preferences.boolValue(PreferenceKeys::rotationShuffled).value_or(false);
    const QJsonValue storedInterval = preferences.value(PreferenceKeys::rotationInterval);
    if (storedInterval.isUndefined())
        return;
    const std::optional<qint64> interval = wholeSeconds(storedInterval);
    if (!interval || !isValidInterval(*interval) || *interval == 0)
        return;
    qint64 leftMs = *interval * 1000;
    const QJsonValue storedLeft = preferences.value(PreferenceKeys::rotationTimeLeft);
    if (!storedLeft.isUndefined()) {
        if (!storedLeft.isDouble() || !std::isfinite(storedLeft.toDouble()) || storedLeft.toDouble() < 0)
            return;
        leftMs = static_cast<qint64>(std::min(double(leftMs), storedLeft.toDouble() * 1000));
    }
    m_intervalSeconds = *interval;
    m_leftMs = leftMs;
}

WallpaperRotation::~WallpaperRotation() {
    if (m_counting) {
        m_clock.disarm();
        saveTimeLeft();
    }
}

bool WallpaperRotation::isValidInterval(qint64 seconds) {
    return seconds == 0 || (seconds >= minimumSeconds && seconds <= maximumSeconds);
}

std::optional<qint64> WallpaperRotation::parseDuration(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(?:(\\d{1,9})d)?(?:(\\d{1,9})h)?(?:(\\d{1,9})m)?"
                                                        "(?:(\\d{1,9})s)?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (text.isEmpty() || !match.hasMatch())
        return std::nullopt;
    constexpr std::array<qint64, 4> unit{24 * 60 * 60, 60 * 60, 60, 1};
    qint64 seconds = 0;
    for (int i = 0; i < 4; ++i)
        seconds += match.captured(i + 1).toLongLong() * unit[static_cast<size_t>(i)];
    return seconds;
}

QString WallpaperRotation::durationText(qint64 seconds) {
    QString text;
    const std::array<std::pair<qint64, char>, 4> units{
        {{24 * 60 * 60, 'd'}, {60 * 60, 'h'}, {60, 'm'}, {1, 's'}}};
    for (const auto& [size, letter] : units) {
        if (seconds >= size) {
            text += QString::number(seconds / size) + QLatin1Char(letter);
            seconds %= size;
        }
    }
    return text.isEmpty() ? QStringLiteral("0s") : text;
}

std::optional<qint64> WallpaperRotation::timeLeftMs() const {
    if (!isOn())
        return std::nullopt;
    if (!m_counting)
        return m_leftMs;
    return std::max<qint64>(0, m_leftMs - (m_clock.nowMs() - m_sinceMs));
}

bool WallpaperRotation::setChoice(qint64 intervalSeconds, bool shuffled) {
    if (!isValidInterval(intervalSeconds))
        return false;
    if (m_counting) {
        m_clock.disarm();
        m_counting = false;
    }
    m_intervalSeconds = intervalSeconds;
    m_shuffled = shuffled;
    m_leftMs = intervalSeconds * 1000;
    m_cycle.clear();
    m_preferences.setValue(PreferenceKeys::rotationInterval, QJsonValue(intervalSeconds));
    m_preferences.setBool(PreferenceKeys::rotationShuffled, shuffled);
    if (isOn())
        saveTimeLeft();
    else
        m_preferences.remove(PreferenceKeys::rotationTimeLeft);
    setPlaying(m_playing);
    Q_EMIT choiceChanged();
    return true;
}

void WallpaperRotation::restart() {
    if (!isOn())
        return;
    m_leftMs = m_intervalSeconds * 1000;
    m_sinceMs = m_clock.nowMs();
    if (m_counting)
        m_clock.arm(m_leftMs);
    saveTimeLeft();
}

void WallpaperRotation::setPlaying(bool playing) {
    // The last playing state is remembered even while off, so that turning the rotation on while a
    // wallpaper plays starts the countdown at once.
    m_playing = playing;
    const bool counting = playing && isOn();
    if (counting == m_counting)
        return;
    if (counting) {
        m_sinceMs = m_clock.nowMs();
        m_counting = true;
        m_clock.arm(m_leftMs);
    } else {
        m_leftMs = *timeLeftMs();
        m_counting = false;
        m_clock.disarm();
        saveTimeLeft();
    }
}

void WallpaperRotation::alarmFired() {
    if (!m_counting)
        return;
    const qint64 left = *timeLeftMs();
    if (left > dueToleranceMs) {
        m_clock.arm(left);
        return;
    }
    Q_EMIT due();
}

void WallpaperRotation::saveTimeLeft() {
    if (const std::optional<qint64> left = timeLeftMs())
        m_preferences.setValue(PreferenceKeys::rotationTimeLeft, QJsonValue(double(*left) / 1000.0));
}

QMap<QString, QString> WallpaperRotation::next(const QMap<QString, QString>& assignments,
                                               const QStringList& downloaded) {
    QMap<QString, QString> result;
    if (!m_shuffled) {
        for (auto it = assignments.cbegin(); it != assignments.cend(); ++it)
            result.insert(it.key(), downloaded[(downloaded.indexOf(it.value()) + 1) % downloaded.size()]);
        return result;
    }

    // Wallpapers that left the library leave the cycle.
    const QSet<QString> available(downloaded.cbegin(), downloaded.cend());
    m_cycle.intersect(available);
    const QList<QString> values = assignments.values();
    const QSet<QString> showing(values.cbegin(), values.cend());
    m_cycle.unite(showing & available);

    QSet<QString> taken;
    for (auto it = assignments.cbegin(); it != assignments.cend(); ++it) {
        const QString pick = pickShuffled(it.value(), downloaded, taken);
        result.insert(it.key(), pick);
        taken.insert(pick);
        m_cycle.insert(pick);
    }
    return result;
}

QString WallpaperRotation::pickShuffled(const QString& current, const QStringList& downloaded,
                                        const QSet<QString>& taken) {
    const auto candidates = [&](const QSet<QString>& excluded) {
        QStringList list;
        for (const QString& id : downloaded)
            if (id != current && !excluded.contains(id))
                list.append(id);
        return list;
    };
    QStringList choices = candidates(m_cycle | taken);
    if (choices.isEmpty()) {
        // Every wallpaper was shown: a new cycle.
        m_cycle.clear();
        choices = candidates(taken);
    }
    // Fewer wallpapers than displays: displays may share one, but none keeps its own.
    if (choices.isEmpty())
        choices = candidates({});
    return choices[QRandomGenerator::global()->bounded(choices.size())];
}
