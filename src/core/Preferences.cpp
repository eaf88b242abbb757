// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Preferences.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/CoreLog.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

Preferences::Preferences(QString filePath) : m_path(std::move(filePath)) {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (QFileInfo::exists(m_path))
            keepUnreadable(file.errorString());
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    QString error;
    if (std::optional<QJsonObject> values = decode(bytes, &error))
        m_values = std::move(*values);
    else if (!bytes.isEmpty())
        keepUnreadable(error);
}

std::optional<QJsonObject> Preferences::decode(const QByteArray& bytes, QString* error) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error == QJsonParseError::NoError && document.isObject())
        return document.object();
    if (error)
        *error = document.isNull() ? parseError.errorString() : QStringLiteral("not an object");
    return std::nullopt;
}

QByteArray Preferences::encode(const QJsonObject& values) {
    return QJsonDocument(values).toJson(QJsonDocument::Indented);
}

void Preferences::keepUnreadable(const QString& reason) {
    const QString aside = AtomicFile::moveAside(m_path);
    // What could not be moved is not overwritten either: the preferences stay as they are in memory.
    m_writable = !aside.isEmpty();
    if (m_writable)
        qCWarning(lcCore).noquote() << "Preferences" << m_path
                                    << "could not be read (" + reason + "); kept as" << aside;
    else
        qCWarning(lcCore).noquote() << "Preferences" << m_path
                                    << "could not be read (" + reason +
                                           ") nor moved aside; changes will not be saved";
}

Preferences& Preferences::shared() {
    static Preferences instance(AppPaths::preferencesFile());
    return instance;
}

std::optional<bool> Preferences::boolValue(QLatin1StringView key) const {
    const QJsonValue stored = m_values.value(key);
    if (!stored.isBool())
        return std::nullopt;
    return stored.toBool();
}

bool Preferences::setValue(QLatin1StringView key, const QJsonValue& value) {
    m_values.insert(key, value);
    return save();
}

bool Preferences::remove(QLatin1StringView key) {
    m_values.remove(key);
    return save();
}

bool Preferences::save() const {
    return m_writable && AtomicFile::write(m_path, encode(m_values));
}
