// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/AddVideoDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

class TestAddVideoDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosesSeveralVideosWithAdd() {
        QTemporaryDir dir;
        for (const char* name : {"b.mp4", "a.webm", "notes.txt"}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QList<QUrl> chosen;
        int calls = 0;
        AddVideoDialog::open(nullptr, [&](const QList<QUrl>& urls) {
            chosen = urls;
            ++calls;
        });
        QTRY_VERIFY(QApplication::activeModalWidget());
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->labelText(QFileDialog::Accept), QStringLiteral("Add"));
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        const QString filter = dialog->nameFilters().join(' ');
        QVERIFY(filter.startsWith("Videos ("));
        QVERIFY(filter.contains("*.mp4") && filter.contains("*.webm") && filter.contains("*.mkv"));
        QVERIFY(!filter.contains("*.txt"));

        dialog->setDirectory(dir.path());
        dialog->selectFile("\"b.mp4\" \"a.webm\"");
        static_cast<QDialog*>(dialog)->accept();
        QTRY_COMPARE(calls, 1);
        QCOMPARE(chosen, (QList<QUrl>{QUrl::fromLocalFile(dir.filePath("b.mp4")),
                                      QUrl::fromLocalFile(dir.filePath("a.webm"))}));

        // Cancelling chooses nothing.
        AddVideoDialog::open(nullptr, [&](const QList<QUrl>&) { ++calls; });
        QTRY_VERIFY(QApplication::activeModalWidget());
        qobject_cast<QDialog*>(QApplication::activeModalWidget())->reject();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(calls, 1);
    }
};

QTEST_MAIN(TestAddVideoDialog)
#include "tst_addvideodialog.moc"
