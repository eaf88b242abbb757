// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TempXdgHome.h"

#include <QDir>
#include <QFile>

TempXdgHome::TempXdgHome() {
    for (const auto& [name, folder] : {std::pair("XDG_DATA_HOME", "/data"),
                                       {"XDG_CONFIG_HOME", "/config"},
                                       {"XDG_CACHE_HOME", "/cache"},
                                       {"XDG_RUNTIME_DIR", "/runtime"}}) {
        m_saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        QDir().mkpath(path() + QLatin1String(folder));
        qputenv(name, QFile::encodeName(path() + QLatin1String(folder)));
    }
    // Qt refuses a runtime folder that others may enter.
    QFile::setPermissions(path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TempXdgHome::~TempXdgHome() {
    for (const auto& [name, value] : m_saved) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
}
