// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/PausePolicy.h"

#include "engine/EngineTexts.h"
#include "engine/SystemConditions.h"

std::optional<QString> PausePolicy::conditionReason(const Flags& flags, const SystemConditions& system) {
    if (flags.userPaused)
        return QString(EngineTexts::byYou);
    if (flags.screensAsleep || flags.locked || flags.sessionInactive)
        return QString(EngineTexts::screenOff);
    if (flags.pauseOnBattery && system.isOnBattery())
        return QString(EngineTexts::onBattery);
    if (system.isLowPowerModeEnabled())
        return QString(EngineTexts::lowPowerMode);
    const ThermalLevel thermal = system.thermalLevel();
    if (thermal == ThermalLevel::Serious || thermal == ThermalLevel::Critical)
        return QString(EngineTexts::hot);
    return std::nullopt;
}

PausePolicy::Decision PausePolicy::decide(const std::optional<QString>& conditionReason,
                                          bool pauseWhenCovered, const QList<PlayerState>& players,
                                          const QSet<QString>& covered) {
    Decision decision;
    decision.commands.reserve(players.size());
    bool running = false;
    for (const PlayerState& player : players) {
        bool showable = !pauseWhenCovered;
        for (qsizetype i = 0; !showable && i < player.windows.size(); ++i)
            showable = player.windows[i].visible && !covered.contains(player.windows[i].displayKey);

        if (!conditionReason && showable) {
            decision.commands.append(player.running ? Command::None : Command::Play);
            running = true;
        } else {
            decision.commands.append(player.running ? Command::Pause : Command::None);
        }
    }
    decision.reason = conditionReason;
    if (!conditionReason && !running && !players.isEmpty())
        decision.reason = QString(EngineTexts::covered);
    return decision;
}
