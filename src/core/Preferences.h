// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

// The user's preferences: one typed JSON object, read once and rewritten atomically on every set.
// A file that cannot be opened or parsed reads as empty and is moved aside, so it is never silently
// overwritten; if it cannot be moved, nothing is written over it.
class Preferences {
public:
    explicit Preferences(QString filePath);
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // The file's text to values: nothing, and the reason in `error`, unless it holds one JSON object.
    [[nodiscard]] static std::optional<QJsonObject> decode(const QByteArray& bytes, QString* error = nullptr);
    [[nodiscard]] static QByteArray encode(const QJsonObject& values);

    // The process-wide preferences at the user's configuration folder, read on first use.
    static Preferences& shared();

    [[nodiscard]] QJsonValue value(QLatin1StringView key) const { return m_values.value(key); }
    [[nodiscard]] bool contains(QLatin1StringView key) const { return m_values.contains(key); }
    // The stored Boolean, or nothing when the key is absent or holds another type.
    [[nodiscard]] std::optional<bool> boolValue(QLatin1StringView key) const;

    // Stores the value and rewrites the file; returns whether the file was written.
    bool setValue(QLatin1StringView key, const QJsonValue& value);
    bool setBool(QLatin1StringView key, bool value) { return setValue(key, QJsonValue(value)); }
    bool remove(QLatin1StringView key);

private:
    bool save() const;
    void keepUnreadable(const QString& reason);

    QString m_path;
    QJsonObject m_values;
    bool m_writable = true;
};
