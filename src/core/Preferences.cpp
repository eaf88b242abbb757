#include "core/Preferences.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

Preferences::Preferences(QString filePath) : m_path(std::move(filePath)) {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    file.close();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError && document.isObject()) {
        m_values = document.object();
        return;
    }
    if (!bytes.isEmpty())
        AtomicFile::moveAside(m_path);
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
    return AtomicFile::write(m_path, QJsonDocument(m_values).toJson(QJsonDocument::Indented));
}
