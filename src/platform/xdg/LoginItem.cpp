// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xdg/LoginItem.h"

#include "core/AtomicFile.h"
#include "platform/xdg/DesktopEntry.h"
#include "shell/ShellNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {
QString autostartPath(const QString& configDir) {
    return QDir::cleanPath(configDir + QStringLiteral("/autostart/") + QString(ShellNames::desktopFileName));
}

QStringList pathList(const QByteArray& variable, const QString& fallback) {
    QStringList dirs;
    for (const QString& dir :
         qEnvironmentVariable(variable.constData()).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            dirs.append(dir);
    if (dirs.isEmpty() && !fallback.isEmpty())
        dirs.append(fallback);
    return dirs;
}
} // namespace

LoginItem::LoginItem(QString configHome, QStringList configDirs, QStringList currentDesktops,
                     QString executable)
    : m_configHome(std::move(configHome)), m_configDirs(std::move(configDirs)),
      m_currentDesktops(std::move(currentDesktops)), m_executable(std::move(executable)) {}

LoginItem LoginItem::forThisSession() {
    const QStringList home = pathList("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
    return LoginItem(home.first(), pathList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")),
                     qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts),
                     QCoreApplication::applicationFilePath());
}

QString LoginItem::userEntryPath() const {
    return autostartPath(m_configHome);
}

QString LoginItem::mostImportantEntry() const {
    if (QFileInfo::exists(userEntryPath()))
        return userEntryPath();
    for (const QString& dir : m_configDirs)
        if (QFileInfo::exists(autostartPath(dir)))
            return autostartPath(dir);
    return {};
}

bool LoginItem::systemEntryExists() const {
    return std::any_of(m_configDirs.cbegin(), m_configDirs.cend(),
                       [](const QString& dir) { return QFileInfo::exists(autostartPath(dir)); });
}

bool LoginItem::isEnabled() const {
    const QString path = mostImportantEntry();
    if (path.isEmpty())
        return false;
    const std::optional<DesktopEntry> entry = DesktopEntry::read(path);
    if (!entry || entry->value(QStringLiteral("Type")) != QLatin1String("Application"))
        return false;
    if (entry->boolValue(QStringLiteral("Hidden")).value_or(false))
        return false;
    if (!entry->boolValue(QStringLiteral("X-GNOME-Autostart-enabled")).value_or(true))
        return false;
    const auto isCurrent = [this](const QString& desktop) { return m_currentDesktops.contains(desktop); };
    const QStringList onlyShowIn = entry->listValue(QStringLiteral("OnlyShowIn"));
    if (!onlyShowIn.isEmpty() && std::none_of(onlyShowIn.cbegin(), onlyShowIn.cend(), isCurrent))
        return false;
    const QStringList notShowIn = entry->listValue(QStringLiteral("NotShowIn"));
    return std::none_of(notShowIn.cbegin(), notShowIn.cend(), isCurrent);
}

bool LoginItem::registerItem() {
    DesktopEntry entry;
    entry.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
    entry.setValue(QStringLiteral("Name"), QString(ShellNames::applicationName));
    entry.setValue(QStringLiteral("Comment"), QStringLiteral("Live video wallpapers"));
    entry.setValue(QStringLiteral("Exec"), DesktopEntry::execArgument(m_executable));
    entry.setValue(QStringLiteral("Icon"), QString(ShellNames::iconName));
    entry.setValue(QStringLiteral("Terminal"), QStringLiteral("false"));
    entry.setValue(QStringLiteral("X-GNOME-Autostart-enabled"), QStringLiteral("true"));
    return AtomicFile::write(userEntryPath(), entry.toText());
}

bool LoginItem::unregisterItem() {
    // A system-wide entry of the same name can only be switched off by a user entry that hides it.
    if (systemEntryExists()) {
        DesktopEntry entry;
        entry.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
        entry.setValue(QStringLiteral("Name"), QString(ShellNames::applicationName));
        entry.setValue(QStringLiteral("Hidden"), QStringLiteral("true"));
        return AtomicFile::write(userEntryPath(), entry.toText());
    }
    QFile file(userEntryPath());
    return !file.exists() || file.remove();
}
