// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcShell)

namespace ShellLog {
// Started by systemd, the process writes its standard error into the journal, which takes a "<N>"
// at the start of a line as the line's priority. Debian's Qt writes every message to standard error
// whatever it is connected to, so this marks each message with its level when, and only when,
// standard error is that journal stream.
void markPrioritiesForJournal();
} // namespace ShellLog
