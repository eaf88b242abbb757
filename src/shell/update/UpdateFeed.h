// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// The update feed on the catalog host: a JSON object with the latest version, the page to get it from
// and its release notes.
struct UpdateFeed {
    QString version;
    QUrl page;
    QString notes;

    // Nothing unless the text is an object with a numeric dotted version and an http(s) page.
    [[nodiscard]] static std::optional<UpdateFeed> parse(const QByteArray& json);

    // The numeric components of "1.10.2"; nothing when a component is not a number.
    [[nodiscard]] static std::optional<QList<quint64>> versionComponents(const QString& version);
    // Component by component, missing ones counting as 0: negative, zero or positive as a <, = or > b.
    // Nothing when either is not a version.
    [[nodiscard]] static std::optional<int> compareVersions(const QString& a, const QString& b);
};
