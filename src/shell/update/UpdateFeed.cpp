// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/update/UpdateFeed.h"

#include "shell/ShellNames.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

std::optional<UpdateFeed> UpdateFeed::parse(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(ShellNames::feedVersion);
    const QJsonValue page = object.value(ShellNames::feedUrl);
    if (!version.isString() || !versionComponents(version.toString()) || !page.isString())
        return std::nullopt;
    const QUrl url(page.toString(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return std::nullopt;
    return UpdateFeed{
        .version = version.toString(), .page = url, .notes = object.value(ShellNames::feedNotes).toString()};
}

std::optional<QList<quint64>> UpdateFeed::versionComponents(const QString& version) {
    if (version.isEmpty())
        return std::nullopt;
    QList<quint64> components;
    for (const QString& part : version.split(QLatin1Char('.'))) {
        bool ok = false;
        // toULongLong accepts a sign and spaces; a version component is digits only.
        const bool digitsOnly = !part.isEmpty() && std::all_of(part.cbegin(), part.cend(), [](QChar c) {
            return c.isDigit() && c.unicode() < 128;
        });
        const quint64 value = part.toULongLong(&ok);
        if (!digitsOnly || !ok)
            return std::nullopt;
        components.append(value);
    }
    return components;
}

std::optional<int> UpdateFeed::compareVersions(const QString& a, const QString& b) {
    const std::optional<QList<quint64>> left = versionComponents(a);
    const std::optional<QList<quint64>> right = versionComponents(b);
    if (!left || !right)
        return std::nullopt;
    for (qsizetype i = 0; i < std::max(left->size(), right->size()); ++i) {
        const quint64 l = left->value(i, 0);
        const quint64 r = right->value(i, 0);
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}
