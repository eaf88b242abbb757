// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/bus/StatusReport.h"

#include "engine/EngineTexts.h"
#include "engine/WallpaperEngine.h"
#include "engine/WallpaperRotation.h"
#include "library/WallpaperTarget.h"
#include "shell/DisplayBackend.h"
#include "shell/ShellNames.h"

#include <QDBusArgument>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace StatusReport {

QVariantMap collect(const WallpaperEngine& engine) {
    QVariantList displays;
    for (const WallpaperEngine::DisplayState& display : engine.displayStates()) {
        displays.append(QVariantMap{{QString(ShellNames::displayKey), display.key},
                                    {QString(ShellNames::displayName), display.name},
                                    {QString(ShellNames::displayWallpaper), display.wallpaperId},
                                    {QString(ShellNames::displayRunning), display.playing},
                                    {QString(ShellNames::displayDecoder), display.decoder}});
    }

    const WallpaperRotation& rotation = engine.rotation();
    const std::optional<qint64> left = rotation.timeLeftMs();
    const QVariantMap rotationState{
        {QString(ShellNames::rotationInterval), rotation.intervalSeconds()},
        {QString(ShellNames::rotationOrder),
         QString(rotation.shuffled() ? ShellNames::rotationShuffled : ShellNames::rotationInOrder)},
        // Whole seconds, rounded up, so 0 only when the change is due; -1 when off (the bus has no null).
        {QString(ShellNames::rotationTimeLeft), left ? (*left + 999) / 1000 : qint64(-1)},
        {QString(ShellNames::rotationCounting), rotation.isCounting()}};

    return {{QString(ShellNames::statusLine), engine.statusLine()},
            {QString(ShellNames::pauseReason), engine.pauseReasonText()},
            {QString(ShellNames::userPaused), engine.userPaused()},
            {QString(ShellNames::assignments), engine.assignmentsVariant()},
            {QString(ShellNames::displays), displays},
            {QString(ShellNames::rotation), rotationState},
            {QString(DisplayBackend::reportKey), DisplayBackend::name(DisplayBackend::current())}};
}

QVariant fromBus(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return fromBus(value.value<QDBusVariant>().variant());
    if (value.userType() != qMetaTypeId<QDBusArgument>()) {
        if (value.userType() == QMetaType::QVariantMap) {
            QVariantMap map = value.toMap();
            for (auto it = map.begin(); it != map.end(); ++it)
                it.value() = fromBus(it.value());
            return map;
        }
        if (value.userType() == QMetaType::QVariantList) {
            QVariantList list = value.toList();
            for (QVariant& item : list)
                item = fromBus(item);
            return list;
        }
        return value;
    }
    const auto argument = value.value<QDBusArgument>();
    switch (argument.currentType()) {
    case QDBusArgument::MapType: {
        QVariantMap map;
        argument.beginMap();
        while (!argument.atEnd()) {
            argument.beginMapEntry();
            const QString key = fromBus(argument.asVariant()).toString();
            const QVariant item = fromBus(argument.asVariant());
            argument.endMapEntry();
            map.insert(key, item);
        }
        argument.endMap();
        return map;
    }
    case QDBusArgument::ArrayType: {
        QVariantList list;
        argument.beginArray();
        while (!argument.atEnd()) {
            list.append(fromBus(argument.asVariant()));
        }
        argument.endArray();
        return list;
    }
    default:
        return argument.asVariant();
    }
}

QString toText(const QVariantMap& report) {
    QString text = report.value(QString(ShellNames::statusLine)).toString() + QLatin1Char('\n');
    const QVariantMap assignments = report.value(QString(ShellNames::assignments)).toMap();
    for (auto it = assignments.cbegin(); it != assignments.cend(); ++it) {
        const QString where =
            it.key() == WallpaperTarget::allDisplays ? QStringLiteral("all displays") : it.key();
        text += QStringLiteral("assigned: ") + it.value().toString() + QStringLiteral(" on ") + where +
                QLatin1Char('\n');
    }
    for (const QVariant& item : report.value(QString(ShellNames::displays)).toList()) {
        const QVariantMap display = item.toMap();
        const QString id = display.value(QString(ShellNames::displayWallpaper)).toString();
        text += QStringLiteral("display ") + display.value(QString(ShellNames::displayName)).toString() +
                QStringLiteral(" [") + display.value(QString(ShellNames::displayKey)).toString() +
                QStringLiteral("]: ");
        if (id.isEmpty())
            text += QStringLiteral("nothing");
        else
            text += id + (display.value(QString(ShellNames::displayRunning)).toBool()
                              ? QStringLiteral(", playing")
                              : QStringLiteral(", paused"));
        if (const QString decoder = display.value(QString(ShellNames::displayDecoder)).toString();
            !id.isEmpty() && !decoder.isEmpty())
            text += QStringLiteral(", decoder ") + decoder;
        text += QLatin1Char('\n');
    }
    text += rotationText(report) + QLatin1Char('\n');
    if (const QString backend = report.value(QString(DisplayBackend::reportKey)).toString();
        !backend.isEmpty())
        text += QStringLiteral("backend: ") + backend + QLatin1Char('\n');
    return text;
}

QString rotationText(const QVariantMap& report) {
    const QVariantMap rotation = report.value(QString(ShellNames::rotation)).toMap();
    const qint64 interval = rotation.value(QString(ShellNames::rotationInterval)).toLongLong();
    if (interval <= 0)
        return QStringLiteral("rotation: off");
    const QString left =
        WallpaperRotation::durationText(rotation.value(QString(ShellNames::rotationTimeLeft)).toLongLong());
    return QStringLiteral("rotation: every ") + WallpaperRotation::durationText(interval) +
           (rotation.value(QString(ShellNames::rotationOrder)).toString() == ShellNames::rotationShuffled
                ? QStringLiteral(", shuffled")
                : QStringLiteral(", in order")) +
           (rotation.value(QString(ShellNames::rotationCounting)).toBool()
                ? QStringLiteral(", next change in ") + left
                : QStringLiteral(", next change after ") + left + QStringLiteral(" more of playing"));
}

QByteArray toJson(const QVariantMap& report) {
    QJsonObject object = QJsonObject::fromVariantMap(report);
    // Absent values are null in JSON rather than empty text.
    if (object.value(ShellNames::pauseReason).toString().isEmpty())
        object.insert(ShellNames::pauseReason, QJsonValue::Null);
    QJsonArray displays = object.value(ShellNames::displays).toArray();
    for (auto it = displays.begin(); it != displays.end(); ++it) {
        QJsonObject display = it->toObject();
        for (const QLatin1StringView key : {ShellNames::displayWallpaper, ShellNames::displayDecoder}) {
            if (display.value(key).toString().isEmpty())
                display.insert(key, QJsonValue::Null);
        }
        *it = display;
    }
    object.insert(ShellNames::displays, displays);
    QJsonObject rotation = object.value(ShellNames::rotation).toObject();
    if (rotation.value(ShellNames::rotationTimeLeft).toDouble() < 0)
        rotation.insert(ShellNames::rotationTimeLeft, QJsonValue::Null);
    object.insert(ShellNames::rotation, rotation);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

} // namespace StatusReport
