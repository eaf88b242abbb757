#include "shell/StatusReport.h"

#include "engine/EngineTexts.h"
#include "engine/ScreenSource.h"
#include "engine/WallpaperEngine.h"
#include "engine/WallpaperRotation.h"
#include "library/LibraryStore.h"
#include "shell/ShellNames.h"

#include <QDBusArgument>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace StatusReport {

namespace {
QString shownOn(const WallpaperEngine& engine, const LibraryStore& store, const QString& key) {
    const auto& assignments = engine.assignments();
    QString id = assignments.value(key);
    if (id.isEmpty())
        id = assignments.value(QString(EngineTexts::allDisplays));
    if (id.isEmpty() || !store.localURL(id))
        return {};
    return id;
}
} // namespace

QVariantMap collect(const WallpaperEngine& engine, const LibraryStore& store, const ScreenSource& screens) {
    QVariantMap assignments;
    for (auto it = engine.assignments().cbegin(); it != engine.assignments().cend(); ++it)
        assignments.insert(it.key(), it.value());

    struct Shown {
        QString key;
        QString name;
        QString id;
    };
    QList<Shown> shown;
    QHash<QString, bool> visibleSomewhere;
    for (const ScreenInfo& screen : screens.screens()) {
        const QString key = displayKey(screen);
        const QString id = shownOn(engine, store, key);
        shown.append({key, screen.localizedName, id});
        if (!id.isEmpty())
            visibleSomewhere[id] |= !engine.screensUnderAWindow().contains(key);
    }

    // A player runs while nothing pauses playback, and, when covered wallpapers pause, while one of the
    // displays that share it is not covered.
    const bool conditionsAllow = engine.statusLine() == EngineTexts::playing;
    QVariantList displays;
    for (const Shown& display : shown) {
        const bool running = !display.id.isEmpty() && conditionsAllow &&
                             (!engine.pauseWhenCovered() || visibleSomewhere.value(display.id));
        displays.append(QVariantMap{{QString(ShellNames::displayKey), display.key},
                                    {QString(ShellNames::displayName), display.name},
                                    {QString(ShellNames::displayWallpaper), display.id},
                                    {QString(ShellNames::displayRunning), running}});
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
            {QString(ShellNames::assignments), assignments},
            {QString(ShellNames::displays), displays},
            {QString(ShellNames::rotation), rotationState}};
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
            it.key() == EngineTexts::allDisplays ? QStringLiteral("all displays") : it.key();
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
        text += QLatin1Char('\n');
    }
    return text + rotationText(report) + QLatin1Char('\n');
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
        if (display.value(ShellNames::displayWallpaper).toString().isEmpty())
            display.insert(ShellNames::displayWallpaper, QJsonValue::Null);
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
