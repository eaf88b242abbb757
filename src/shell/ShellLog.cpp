// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ShellLog.h"

#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcShell, "lumivale.shell", QtWarningMsg)

void ShellLog::markPrioritiesForJournal() {
    // systemd names the stream it connected as "device:inode".
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat error {};
    if (stream.isEmpty() || fstat(STDERR_FILENO, &error) != 0 ||
        stream != QByteArray::number(quint64(error.st_dev)) + ':' + QByteArray::number(quint64(error.st_ino)))
        return;
    // Syslog priorities: 2 critical, 3 error, 4 warning, 6 info, 7 debug. QT_MESSAGE_PATTERN still wins.
    qSetMessagePattern(
        QStringLiteral("%{if-fatal}<2>%{endif}%{if-critical}<3>%{endif}%{if-warning}<4>%{endif}"
                       "%{if-info}<6>%{endif}%{if-debug}<7>%{endif}"
                       "%{if-category}%{category}: %{endif}%{message}"));
}
