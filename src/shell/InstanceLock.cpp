// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/InstanceLock.h"

#include "core/AppPaths.h"
#include "shell/ShellLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString InstanceLock::defaultPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime) + QStringLiteral("/lumivale.lock");
    return QFileInfo(AppPaths::preferencesFile()).absolutePath() + QStringLiteral("/instance.lock");
}

InstanceLock::InstanceLock(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(lcShell) << "No instance lock at" << path << ":" << std::strerror(errno);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_taken = errno == EWOULDBLOCK;
        if (!m_taken)
            qCWarning(lcShell) << "No instance lock at" << path << ":" << std::strerror(errno);
        ::close(fd);
        return;
    }
    m_fd = fd;
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}
