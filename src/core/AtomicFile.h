// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace AtomicFile {
// Replaces the file at path in one step: a reader sees the old content or the new, never a part.
// On failure the old file is left as it was. Missing parent directories are created.
[[nodiscard]] bool write(const QString& path, const QByteArray& bytes);

// Moves a file that could not be read out of the way, so that a later write cannot destroy it.
// Returns the new path, or an empty string when nothing was moved.
QString moveAside(const QString& path);
} // namespace AtomicFile
