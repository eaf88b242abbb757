// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WallpaperEngine.h"

#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/CoverScan.h"
#include "engine/EngineLog.h"
#include "engine/EngineTexts.h"
#include "engine/PausePolicy.h"
#include "engine/RotationClock.h"
#include "engine/ScreenSource.h"
#include "engine/SharedPlayer.h"
#include "engine/SystemConditions.h"
#include "engine/WallpaperFactory.h"
#include "engine/WallpaperRotation.h"
#include "engine/WallpaperWindow.h"
#include "engine/WindowList.h"
#include "library/LibraryStore.h"

#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace {

QPointer<WallpaperEngine>& sharedEngine() {
    static QPointer<WallpaperEngine> engine;
    return engine;
}

// A stored map that is not an object, or holds one value that is not text, is rejected whole.
WallpaperEngine::AssignmentMap loadAssignments(const Preferences& preferences) {
    const QJsonValue stored = preferences.value(PreferenceKeys::assignments);
    if (!stored.isObject())
        return {};
    const QJsonObject object = stored.toObject();
    WallpaperEngine::AssignmentMap map;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isString())
            return {};
        map.insert(it.key(), it.value().toString());
    }
    return map;
}

} // namespace

WallpaperEngine::WallpaperEngine(LibraryStore& store, Preferences& preferences,
                                 const EnginePlatform& platform, QObject* parent)
    : QObject(parent), m_assignments(loadAssignments(preferences)),
      m_userPaused(preferences.boolValue(PreferenceKeys::userPaused).value_or(false)),
      m_pauseOnBattery(preferences.boolValue(PreferenceKeys::pauseOnBattery).value_or(true)),
      m_pauseWhenCovered(preferences.boolValue(PreferenceKeys::pauseWhenCovered).value_or(true)),
      m_store(store), m_preferences(preferences), m_platform(platform), m_statusLine(statusLine()) {
    if (!m_platform.clock)
        m_ownClock = std::make_unique<SteadyRotationClock>();
    m_rotation =
        std::make_unique<WallpaperRotation>(preferences, m_platform.clock ? *m_platform.clock : *m_ownClock);
    connect(m_rotation.get(), &WallpaperRotation::due, this, &WallpaperEngine::rotate);
}

WallpaperEngine::~WallpaperEngine() {
    if (m_store.wallpaperTarget() == this)
        m_store.setWallpaperTarget(nullptr);
    // Windows point at players, so they go first.
    m_windows.clear();
    m_players.clear();
}

WallpaperEngine& WallpaperEngine::shared() {
    if (!sharedEngine())
        qFatal("WallpaperEngine::shared: the composition root has not registered the engine");
    return *sharedEngine();
}

void WallpaperEngine::setShared(WallpaperEngine* engine) {
    sharedEngine() = engine;
}

QVariantMap WallpaperEngine::assignmentsVariant() const {
    QVariantMap map;
    for (auto it = m_assignments.cbegin(); it != m_assignments.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}

// Deliberately stricter than reading the map alone: with no player after the latest apply nothing
// plays, whatever the map holds, and "Playing" would be untrue.
QString WallpaperEngine::statusLine() const {
    if (m_assignments.isEmpty() || m_players.empty())
        return QString(EngineTexts::noWallpaperSet);
    if (m_pauseReason)
        return EngineTexts::pausedPrefix + *m_pauseReason;
    return QString(EngineTexts::playing);
}

void WallpaperEngine::setAssignments(AssignmentMap assignments) {
    m_assignments = std::move(assignments);
    Q_EMIT assignmentsChanged();
    publishStatusLine();
}

void WallpaperEngine::setAssignment(const QString& key, const QString& id) {
    m_assignments.insert(key, id);
    Q_EMIT assignmentsChanged();
    publishStatusLine();
}

void WallpaperEngine::saveAssignments() {
    QJsonObject object;
    for (auto it = m_assignments.cbegin(); it != m_assignments.cend(); ++it)
        object.insert(it.key(), it.value());
    m_preferences.setValue(PreferenceKeys::assignments, object);
}

void WallpaperEngine::setUserPaused(bool paused) {
    m_userPaused = paused;
    Q_EMIT userPausedChanged();
    m_preferences.setBool(PreferenceKeys::userPaused, m_userPaused);
    updatePlayback();
}

void WallpaperEngine::setPauseOnBattery(bool pause) {
    m_pauseOnBattery = pause;
    Q_EMIT pauseOnBatteryChanged();
    m_preferences.setBool(PreferenceKeys::pauseOnBattery, m_pauseOnBattery);
    updatePlayback();
}

void WallpaperEngine::setPauseWhenCovered(bool pause) {
    m_pauseWhenCovered = pause;
    Q_EMIT pauseWhenCoveredChanged();
    m_preferences.setBool(PreferenceKeys::pauseWhenCovered, m_pauseWhenCovered);
    updatePlayback();
}

void WallpaperEngine::useWallpaper(const QString& id, const QString& displayChoice) {
    if (displayChoice == WallpaperTarget::allDisplays)
        setAssignments({});
    setAssignment(displayChoice, id);
    saveAssignments();
    setUserPaused(false);
    m_rotation->restart();
    apply();
}

void WallpaperEngine::forgetWallpaper(const QString& id) {
    if (!std::any_of(m_assignments.cbegin(), m_assignments.cend(),
                     [&](const QString& value) { return value == id; }))
        return;
    setAssignments({});
    saveAssignments();
    apply();
}

void WallpaperEngine::stop() {
    setAssignments({});
    saveAssignments();
    apply();
}

void WallpaperEngine::advance() {
    const QList<Wallpaper> downloaded = m_store.downloaded();
    if (downloaded.isEmpty())
        return;

    std::optional<QString> current;
    if (const auto all = m_assignments.constFind(WallpaperTarget::allDisplays); all != m_assignments.cend())
        current = all.value();
    else if (!m_assignments.isEmpty())
        current = m_assignments.first();

    qsizetype position = -1;
    if (current) {
        const auto found = std::find_if(downloaded.cbegin(), downloaded.cend(),
                                        [&](const Wallpaper& wallpaper) { return wallpaper.id == *current; });
        if (found != downloaded.cend())
            position = found - downloaded.cbegin();
    }
    const Wallpaper& next = downloaded[(position + 1) % downloaded.size()];

    setAssignments({});
    setAssignment(WallpaperTarget::allDisplays, next.id);
    saveAssignments();
    setUserPaused(false);
    m_rotation->restart();
    apply();
}

void WallpaperEngine::rotate() {
    QStringList ids;
    for (const Wallpaper& wallpaper : m_store.downloaded())
        ids.append(wallpaper.id);
    // With fewer than two wallpapers there is nothing to change to: the rotation waits another interval.
    const bool change = ids.size() >= 2;
    if (change) {
        setAssignments(m_rotation->next(m_assignments, ids));
        saveAssignments();
    }
    m_rotation->restart();
    if (change)
        apply();
}

std::optional<QString> WallpaperEngine::resolve(const QString& key) const {
    if (const auto own = m_assignments.constFind(key); own != m_assignments.cend())
        return own.value();
    if (const auto all = m_assignments.constFind(WallpaperTarget::allDisplays); all != m_assignments.cend())
        return all.value();
    return std::nullopt;
}

std::unique_ptr<WallpaperWindow> WallpaperEngine::makeWindow(const ScreenInfo& screen) {
    // The window may report a change while its engine is gone or busy: the re-evaluation runs later,
    // as its own task, and only if the engine still exists.
    return m_platform.factory.makeWindow(screen, [engine = QPointer<WallpaperEngine>(this)] {
        if (engine)
            QMetaObject::invokeMethod(engine.data(), &WallpaperEngine::updatePlayback, Qt::QueuedConnection);
    });
}

void WallpaperEngine::apply() {
    struct Wanted {
        QString key;
        ScreenInfo screen;
        QString file;
        QString id;
    };

    // A later screen with the same key takes the earlier one's place.
    QList<Wanted> wanted;
    for (ScreenInfo& screen : m_platform.screens.screens()) {
        QString key = displayKey(screen);
        const std::optional<QString> id = resolve(key);
        if (!id)
            continue;
        std::optional<QString> file = m_store.localURL(*id);
        if (!file)
            continue;
        const auto same =
            std::find_if(wanted.begin(), wanted.end(), [&](const Wanted& w) { return w.key == key; });
        if (same != wanted.end())
            *same = Wanted{std::move(key), std::move(screen), std::move(*file), *id};
        else
            wanted.append(Wanted{std::move(key), std::move(screen), std::move(*file), *id});
    }
    const auto isWantedKey = [&](const QString& key) {
        return std::any_of(wanted.cbegin(), wanted.cend(), [&](const Wanted& w) { return w.key == key; });
    };
    const auto isWantedFile = [&](const QString& file) {
        return std::any_of(wanted.cbegin(), wanted.cend(), [&](const Wanted& w) { return w.file == file; });
    };

    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (isWantedKey(it->first)) {
            ++it;
            continue;
        }
        it->second->setPlayer(nullptr);
        it->second->orderOut();
        m_windowWallpapers.remove(it->first);
        it = m_windows.erase(it);
    }

    for (const Wanted& display : wanted) {
        std::unique_ptr<WallpaperWindow>& window = m_windows[display.key];
        if (!window)
            window = makeWindow(display.screen);
        if (!window) {
            // The platform could not make one: the display shows nothing until the next apply.
            qCWarning(lcEngine).noquote() << "No wallpaper window could be made for display" << display.key;
            m_windows.erase(display.key);
            continue;
        }
        if (window->frame() != display.screen.frame)
            window->setFrame(display.screen.frame);
        std::unique_ptr<SharedPlayer>& slot = m_players[display.file];
        if (!slot) {
            slot = m_platform.factory.makePlayer(display.file);
            if (slot)
                qCInfo(lcEngine).noquote() << "Player made for" << display.file;
        }
        SharedPlayer* player = slot.get();
        if (!player) {
            qCWarning(lcEngine).noquote()
                << "No player could be made for" << display.file << "on display" << display.key;
            m_players.erase(display.file);
        }
        if (window->player() != player)
            window->setPlayer(player);
        m_windowWallpapers.insert(display.key, display.id);
        window->orderFront();
    }

    for (auto it = m_players.begin(); it != m_players.end();) {
        if (isWantedFile(it->first)) {
            ++it;
            continue;
        }
        it->second->pause();
        it->second->unload();
        qCInfo(lcEngine).noquote() << "Player released for" << it->first;
        it = m_players.erase(it);
    }

    updatePlayback();
}

QList<WallpaperEngine::DisplayState> WallpaperEngine::displayStates() const {
    QList<DisplayState> states;
    for (const ScreenInfo& screen : m_platform.screens.screens()) {
        DisplayState state{.key = displayKey(screen),
                           .name = screen.localizedName,
                           .wallpaperId = {},
                           .playing = false,
                           .decoder = {}};
        if (const auto window = m_windows.find(state.key); window != m_windows.end()) {
            state.wallpaperId = m_windowWallpapers.value(state.key);
            if (const SharedPlayer* player = window->second->player()) {
                state.playing = player->rate() != 0.0;
                state.decoder = player->decoder();
            }
        }
        states.append(std::move(state));
    }
    return states;
}

std::optional<QString> WallpaperEngine::conditionReason() const {
    const PausePolicy::Flags flags{.userPaused = m_userPaused,
                                   .screensAsleep = m_screensAsleep,
                                   .locked = m_locked,
                                   .sessionInactive = m_sessionInactive,
                                   .pauseOnBattery = m_pauseOnBattery};
    return PausePolicy::conditionReason(flags, m_platform.conditions);
}

void WallpaperEngine::updatePlayback() {
    QList<PausePolicy::PlayerState> states;
    states.reserve(static_cast<qsizetype>(m_players.size()));
    for (const auto& [file, player] : m_players) {
        PausePolicy::PlayerState state{.running = player->rate() != 0.0, .windows = {}};
        for (const auto& [key, window] : m_windows) {
            if (window->player() == player.get())
                state.windows.append({.displayKey = key, .visible = window->isVisible()});
        }
        states.append(std::move(state));
    }

    const std::optional<QString> condition = conditionReason();
    const PausePolicy::Decision decision =
        PausePolicy::decide(condition, m_pauseWhenCovered, states, m_screensUnderAWindow);

    qsizetype index = 0;
    for (const auto& [file, player] : m_players) {
        switch (decision.commands[index++]) {
        case PausePolicy::Command::Play:
            player->play();
            break;
        case PausePolicy::Command::Pause:
            player->pause();
            break;
        case PausePolicy::Command::None:
            break;
        }
    }
    setPauseReason(decision.reason);
    m_rotation->setPlaying(!decision.reason && !m_players.empty());
    scanCoverWhileItMatters(!condition);
}

// Neither the cover scan nor the windows' own visibility checks run while their answer cannot change
// what plays: a paused engine would otherwise wake the machine for nothing.
void WallpaperEngine::scanCoverWhileItMatters(bool mayPlay) {
    const bool matters = mayPlay && m_pauseWhenCovered && !m_windows.empty();
    for (const auto& [key, window] : m_windows)
        window->setVisibilityWatched(matters);
    if (!m_coverTimer)
        return;
    if (matters == m_coverTimer->isActive())
        return;
    if (!matters) {
        m_coverTimer->stop();
        return;
    }
    m_coverTimer->start();
    // What covered the displays while nothing looked may have gone since.
    QMetaObject::invokeMethod(this, &WallpaperEngine::refreshCover, Qt::QueuedConnection);
}

void WallpaperEngine::setPauseReason(std::optional<QString> reason) {
    if (reason != m_pauseReason)
        qCInfo(lcEngine).noquote() << (reason ? QStringLiteral("Paused:")
                                              : QStringLiteral("Playback allowed"))
                                   << reason.value_or(QString());
    m_pauseReason = std::move(reason);
    Q_EMIT pauseReasonChanged();
    publishStatusLine();
}

void WallpaperEngine::publishStatusLine() {
    QString line = statusLine();
    if (line == m_statusLine)
        return;
    m_statusLine = std::move(line);
    Q_EMIT statusLineChanged();
}

void WallpaperEngine::start() {
    if (m_coverTimer)
        return;

    // Every handler is queued: its work runs as a task of its own on the engine's thread after the
    // event's delivery has returned, in the order the events came, and the connection's context drops
    // it once the engine is gone.
    const auto observe = [this](auto* sender, auto signal, auto work) {
        connect(sender, signal, this, std::move(work), Qt::QueuedConnection);
    };
    ScreenSource* screens = &m_platform.screens;
    SystemConditions* system = &m_platform.conditions;
    observe(screens, &ScreenSource::screensChanged, [this] { apply(); });
    observe(system, &SystemConditions::thermalStateChanged, [this] { updatePlayback(); });
    observe(system, &SystemConditions::lowPowerModeChanged, [this] { updatePlayback(); });
    observe(system, &SystemConditions::screensDidSleep, [this] {
        m_screensAsleep = true;
        updatePlayback();
    });
    observe(system, &SystemConditions::screensDidWake, [this] {
        m_screensAsleep = false;
        updatePlayback();
    });
    observe(system, &SystemConditions::sessionDidResignActive, [this] {
        m_sessionInactive = true;
        updatePlayback();
    });
    observe(system, &SystemConditions::sessionDidBecomeActive, [this] {
        m_sessionInactive = false;
        updatePlayback();
    });
    observe(system, &SystemConditions::screenLocked, [this] {
        m_locked = true;
        updatePlayback();
    });
    observe(system, &SystemConditions::screenUnlocked, [this] {
        m_locked = false;
        updatePlayback();
    });

    observe(system, &SystemConditions::powerSourceChanged, [this] { updatePlayback(); });

    m_coverTimer = std::make_unique<QTimer>();
    m_coverTimer->setInterval(coverScanIntervalMs);
    connect(
        m_coverTimer.get(), &QTimer::timeout, this, [this] { refreshCover(); }, Qt::QueuedConnection);

    // Only later values: a signal never replays the current one.
    observe(&m_store, &LibraryStore::revisionChanged, [this] { apply(); });

    apply();
}

void WallpaperEngine::refreshCover() {
    if (m_windows.empty())
        return;
    const std::optional<QList<WindowInfo>> windows = m_platform.windowList.onScreenWindows();
    if (!windows)
        return;
    QSet<QString> covered = CoverScan::coveredDisplays(*windows, m_platform.screens.screens());
    if (covered == m_screensUnderAWindow)
        return;
    m_screensUnderAWindow = std::move(covered);
    updatePlayback();
}
