// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// The "[Desktop Entry]" group of a .desktop file: enough of the freedesktop format to read what decides
// whether an autostart entry runs, and to write our own entry.
class DesktopEntry {
public:
    // Nothing when the file cannot be read.
    [[nodiscard]] static std::optional<DesktopEntry> read(const QString& path);
    [[nodiscard]] static DesktopEntry parse(const QByteArray& text);

    [[nodiscard]] QString value(const QString& key) const { return m_values.value(key); }
    [[nodiscard]] bool contains(const QString& key) const { return m_values.contains(key); }
    // A Boolean key: "true" or "false"; anything else is nothing.
    [[nodiscard]] std::optional<bool> boolValue(const QString& key) const;
    // A list key such as "OnlyShowIn=GNOME;KDE;".
    [[nodiscard]] QStringList listValue(const QString& key) const;

    void setValue(const QString& key, const QString& value);
    // The group as file text, keys in the order they were first set.
    [[nodiscard]] QByteArray toText() const;

    // One argument of an Exec line, quoted where the format asks for it.
    [[nodiscard]] static QString execArgument(const QString& argument);

private:
    QHash<QString, QString> m_values;
    QStringList m_order;
};
