// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

class SystemConditions;

// Decides which shared players run and why playback is paused. It reads state and returns
// commands; the engine carries them out.
class PausePolicy {
public:
    // The engine's own flags that feed the condition reason.
    struct Flags {
        bool userPaused = false;
        bool screensAsleep = false;
        bool locked = false;
        bool sessionInactive = false;
        bool pauseOnBattery = true;
    };

    struct WindowState {
        QString displayKey;
        bool visible = false;
    };

    // One shared player: whether it runs now (its rate is not 0) and the windows that show it.
    struct PlayerState {
        bool running = false;
        QList<WindowState> windows;
    };

    enum class Command { None, Play, Pause };

    struct Decision {
        // One command per player, in the order given.
        QList<Command> commands;
        std::optional<QString> reason;
    };

    // The first of "by you", "screen off", "on battery", "Low Power Mode" and the thermal text that
    // holds, or nothing. A system condition is queried only when every earlier one is false, and the
    // power source only when the flags ask to pause on battery.
    [[nodiscard]] static std::optional<QString> conditionReason(const Flags& flags,
                                                                const SystemConditions& system);

    // Given the condition reason, plays every player that may be seen and pauses the rest. A player
    // may be seen when pauseWhenCovered is off, or when one of its windows is visible and its display
    // is not covered. With no condition reason, players that exist and none running, the reason is
    // "covered".
    [[nodiscard]] static Decision decide(const std::optional<QString>& conditionReason, bool pauseWhenCovered,
                                         const QList<PlayerState>& players, const QSet<QString>& covered);
};
