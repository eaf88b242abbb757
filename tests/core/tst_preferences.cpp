// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"
#include "core/Preferences.h"
#include "support/TempXdgHome.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}
QStringList corruptCopies(const QString& path) {
    const QFileInfo info(path);
    return QDir(info.absolutePath())
        .entryList({info.fileName() + QStringLiteral(".corrupt-*")}, QDir::Files | QDir::Dirs);
}
} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesKeepTheirTypesAcrossInstances() {
        TempXdgHome home;
        {
            Preferences prefs(home.preferencesFile());
            QVERIFY(!prefs.contains(QLatin1StringView("userPaused")));
            QVERIFY(prefs.setBool(QLatin1StringView("userPaused"), true));
            QVERIFY(prefs.setValue(QLatin1StringView("assignments"),
                                   QJsonObject{{QStringLiteral("*"), QStringLiteral("forest")}}));
            QVERIFY(prefs.setBool(QLatin1StringView("pauseOnBattery"), false));
        }
        Preferences again(home.preferencesFile());
        QCOMPARE(again.boolValue(QLatin1StringView("userPaused")), std::optional<bool>(true));
        QCOMPARE(again.boolValue(QLatin1StringView("pauseOnBattery")), std::optional<bool>(false));
        QCOMPARE(
            again.value(QLatin1StringView("assignments")).toObject().value(QStringLiteral("*")).toString(),
            QStringLiteral("forest"));
        // A value of another type is not a Boolean.
        QVERIFY(again.setValue(QLatin1StringView("firstRunSent"), QJsonValue(1)));
        QCOMPARE(again.boolValue(QLatin1StringView("firstRunSent")), std::nullopt);
        QVERIFY(again.remove(QLatin1StringView("firstRunSent")));
        QVERIFY(!Preferences(home.preferencesFile()).contains(QLatin1StringView("firstRunSent")));
    }

    void unreadableFileReadsAsEmptyAndIsKeptAside_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("openable");
        QTest::newRow("not JSON") << QByteArray("{\"userPaused\": tru") << true;
        QTest::newRow("not an object") << QByteArray("[true]") << true;
        // Something that exists but cannot be opened: a folder in its place.
        QTest::newRow("cannot be opened") << QByteArray() << false;
    }
    void unreadableFileReadsAsEmptyAndIsKeptAside() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, openable);
        TempXdgHome home;
        const QString path = home.preferencesFile();
        if (openable)
            writeFile(path, bytes);
        else
            writeFile(path + "/inside", "kept");
        Preferences prefs(path);
        QVERIFY(!prefs.contains(QLatin1StringView("userPaused")));
        QVERIFY(prefs.setBool(QLatin1StringView("pauseWhenCovered"), false));

        const QStringList aside = corruptCopies(path);
        QCOMPARE(aside.size(), 1);
        const QString kept = QFileInfo(path).absolutePath() + QLatin1Char('/') + aside.first();
        QCOMPARE(readAll(openable ? kept : kept + "/inside"), openable ? bytes : QByteArray("kept"));
        QCOMPARE(Preferences(path).boolValue(QLatin1StringView("pauseWhenCovered")),
                 std::optional<bool>(false));
    }

    void failedWriteLeavesTheOldFile() {
        TempXdgHome home;
        const QString path = home.path() + QStringLiteral("/doc.json");
        QVERIFY(AtomicFile::write(path, "old"));
        // A file-size limit makes the write fail even for root, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &tight);
        const bool written = AtomicFile::write(path, QByteArray(64 * 1024, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("doc.json")});
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
