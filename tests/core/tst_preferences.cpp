#include "core/AtomicFile.h"
#include "core/Preferences.h"
#include "support/TempXdgHome.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QThread>
#include <atomic>
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
    return QDir(info.absolutePath()).entryList({info.fileName() + QStringLiteral(".corrupt-*")}, QDir::Files);
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

    void corruptFileReadsAsEmptyAndIsKeptAside() {
        TempXdgHome home;
        const QByteArray garbage = "{\"userPaused\": tru";
        writeFile(home.preferencesFile(), garbage);
        Preferences prefs(home.preferencesFile());
        QVERIFY(!prefs.contains(QLatin1StringView("userPaused")));
        QVERIFY(prefs.setBool(QLatin1StringView("pauseWhenCovered"), false));

        const QStringList aside = corruptCopies(home.preferencesFile());
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(QFileInfo(home.preferencesFile()).absolutePath() + QLatin1Char('/') + aside.first()),
                 garbage);
        QCOMPARE(Preferences(home.preferencesFile()).boolValue(QLatin1StringView("pauseWhenCovered")),
                 std::optional<bool>(false));

        // A document that parses but is not an object is no preferences either.
        writeFile(home.preferencesFile(), "[true]");
        QVERIFY(!Preferences(home.preferencesFile()).contains(QLatin1StringView("pauseWhenCovered")));
        QCOMPARE(corruptCopies(home.preferencesFile()).size(), 2);
    }

    void readersNeverSeeHalfAFile() {
        TempXdgHome home;
        const QString path = home.path() + QStringLiteral("/doc.json");
        // Two documents large enough that a torn write would be visible.
        QByteArray small = QJsonDocument(QJsonArray{1, 2, 3}).toJson();
        QJsonArray big;
        for (int i = 0; i < 50'000; ++i)
            big.append(i);
        const QByteArray large = QJsonDocument(big).toJson(QJsonDocument::Compact);
        QVERIFY(AtomicFile::write(path, small));

        std::atomic<bool> done{false};
        std::atomic<int> torn{0};
        std::atomic<int> reads{0};
        QThread* reader = QThread::create([&] {
            while (!done) {
                const QByteArray seen = readAll(path);
                if (seen != small && seen != large)
                    ++torn;
                ++reads;
            }
        });
        reader->start();
        for (int i = 0; i < 200; ++i)
            QVERIFY(AtomicFile::write(path, i % 2 ? small : large));
        done = true;
        reader->wait();
        delete reader;
        QVERIFY(reads > 0);
        QCOMPARE(torn.load(), 0);
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
