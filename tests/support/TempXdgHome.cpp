// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TempXdgHome.h"

#include <QDir>
#include <QFile>

TempXdgHome::TempXdgHome() {
    const std::initializer_list<std::pair<const char*, QString>> homes{{"XDG_DATA_HOME", dataHome()},
                                                                       {"XDG_CONFIG_HOME", configHome()},
                                                                       {"XDG_CACHE_HOME", cacheHome()},
                                                                       {"XDG_RUNTIME_DIR", runtimeDir()}};
    for (const auto& [name, path] : homes) {
        m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        QDir().mkpath(path);
        qputenv(name, path.toLocal8Bit());
    }
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TempXdgHome::~TempXdgHome() {
    for (const Saved& saved : m_saved) {
        if (saved.had)
            qputenv(saved.name, saved.value);
        else
            qunsetenv(saved.name);
    }
}
