// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"
#include "core/Preferences.h"
#include "support/FileContents.h"
#include "support/TempXdgHome.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

class TestPreferences : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void unreadableFileReadsAsEmptyAndIsKeptAside_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: a folder stands in its place, which cannot be opened
        QTest::newRow("not JSON") << QByteArray("{\"userPaused\": tru");
        QTest::newRow("not an object") << QByteArray("[true]");
        QTest::newRow("cannot be opened") << QByteArray();
    }
    void unreadableFileReadsAsEmptyAndIsKeptAside() {
        QFETCH(QByteArray, bytes);
        TempXdgHome home;
        const QString path = home.preferencesFile();
        QVERIFY(
            AtomicFile::write(bytes.isEmpty() ? path + "/inside" : path, bytes.isEmpty() ? "kept" : bytes));
        Preferences prefs(path);
        QVERIFY(!prefs.contains("userPaused"_L1));
        QVERIFY(prefs.setBool("pauseWhenCovered"_L1, false));
        QVERIFY(prefs.setValue("count"_L1, 1) && prefs.setBool("gone"_L1, true) && prefs.remove("gone"_L1));

        const QDir folder = QFileInfo(path).dir();
        const QStringList aside = folder.entryList({"preferences.json.corrupt-*"});
        QCOMPARE(aside.size(), 1);
        const QString kept = folder.filePath(aside.first());
        QCOMPARE(fileContents(bytes.isEmpty() ? kept + "/inside" : kept), bytes.isEmpty() ? "kept" : bytes);
        // What is saved afterwards keeps its types; a value of another type is not a Boolean.
        const Preferences again(path);
        QCOMPARE(again.boolValue("pauseWhenCovered"_L1), std::optional(false));
        QCOMPARE(again.value("count"_L1), QJsonValue(1));
        QCOMPARE(again.boolValue("count"_L1), std::nullopt);
        QVERIFY(!again.contains("gone"_L1));
    }

    void failedWriteLeavesTheOldFile() {
        TempXdgHome home;
        const QString path = home.path() + "/doc.json";
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
        QCOMPARE(fileContents(path), QByteArray("old"));
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"doc.json"});
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
