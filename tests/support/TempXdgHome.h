// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <optional>
#include <utility>

// A fresh XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR for one test; the old
// values return when it goes away.
class TempXdgHome {
public:
    TempXdgHome();
    ~TempXdgHome();

    [[nodiscard]] QString path() const { return m_dir.path(); }
    [[nodiscard]] QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    [[nodiscard]] QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    // $XDG_DATA_HOME/Lumivale
    [[nodiscard]] QString libraryRoot() const { return dataHome() + QStringLiteral("/Lumivale"); }
    // $XDG_CONFIG_HOME/Lumivale/preferences.json
    [[nodiscard]] QString preferencesFile() const {
        return configHome() + QStringLiteral("/Lumivale/preferences.json");
    }

private:
    QTemporaryDir m_dir;
    QList<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};
