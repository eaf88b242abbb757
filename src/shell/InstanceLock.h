// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One application per user, with or without a session bus: an flock on a file, held for the life of
// the process and let go by the kernel however the process ends.
class InstanceLock {
public:
    // In $XDG_RUNTIME_DIR, or beside the preferences when there is no runtime folder.
    [[nodiscard]] static QString defaultPath();

    explicit InstanceLock(const QString& path = defaultPath());
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Another process holds it. A lock file that cannot be made at all locks nothing and is logged.
    [[nodiscard]] bool isTaken() const { return m_taken; }

private:
    int m_fd = -1;
    bool m_taken = false;
};
