// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/bus/CommandLine.h"

#include <QDBusConnection>

class QTextStream;

// The command-line side of the control interface: sends one command to the running instance and prints
// the state it leaves, as plain text or JSON.
namespace ControlClient {

// Waiting for a wallpaper to download can take long; the instance answers when it is shown.
inline constexpr int useTimeoutMs = 60 * 60 * 1000;

// Exit status: 0 done, 1 not running or the command failed.
[[nodiscard]] int run(const CommandLine& command, QDBusConnection bus, QTextStream& out, QTextStream& err);

} // namespace ControlClient
