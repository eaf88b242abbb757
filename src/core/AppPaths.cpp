// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString xdgHome(const char* variable, const QString& fallbackBelowHome) {
    // QStandardPaths would do, but reading the variable ourselves keeps the answer fresh when tests
    // change the environment between cases.
    QString value = qEnvironmentVariable(variable);
    if (value.isEmpty() || !QDir::isAbsolutePath(value))
        value = QDir::homePath() + fallbackBelowHome;
    return QDir::cleanPath(value);
}
} // namespace

QString AppPaths::libraryRoot() {
    return xdgHome("XDG_DATA_HOME", QStringLiteral("/.local/share")) + QStringLiteral("/Lumivale");
}

QString AppPaths::preferencesFile() {
    return xdgHome("XDG_CONFIG_HOME", QStringLiteral("/.config")) +
           QStringLiteral("/Lumivale/preferences.json");
}
