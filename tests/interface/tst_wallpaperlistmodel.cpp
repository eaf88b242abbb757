// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/WallpaperListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {
QList<WallpaperListModel::Entry> entries(const QStringList& ids) {
    QList<WallpaperListModel::Entry> list;
    for (const QString& id : ids) {
        Wallpaper w;
        w.id = id;
        w.title = id.toUpper();
        w.category = "C";
        list.append({w, false, {}, {}});
    }
    return list;
}

QStringList ids(const WallpaperListModel& model) {
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list.append(model.index(row).data(WallpaperListModel::WallpaperIdRole).toString());
    return list;
}

// The rows named by the dataChanged signals caught so far.
QList<int> changedRows(const QSignalSpy& spy) {
    QList<int> rows;
    for (const QList<QVariant>& args : spy) {
        const auto first = args.at(0).value<QModelIndex>();
        const auto last = args.at(1).value<QModelIndex>();
        for (int row = first.row(); row <= last.row(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}
} // namespace

class TestWallpaperListModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listChangesMoveOnlyTheRowsConcerned() {
        WallpaperListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setEntries(entries({"a", "b", "c", "d"}), true);

        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        // An import goes in front, a download's record leaves the middle, one arrives at the end.
        model.setEntries(entries({"x", "a", "c", "d", "e"}), false);
        QCOMPARE(ids(model), (QStringList{"x", "a", "c", "d", "e"}));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(inserted.at(1).at(1).toInt(), 4);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(changed.size(), 0);

        // A record that stays but changes is updated in place.
        auto renamed = entries({"x", "a", "c", "d", "e"});
        renamed[2].wallpaper.title = "Renamed";
        model.setEntries(renamed, false);
        QCOMPARE(changedRows(changed), QList<int>{2});
        QCOMPARE(model.index(2).data(WallpaperListModel::TitleRole).toString(), QStringLiteral("Renamed"));

        // A new order or an explicit reset starts afresh.
        model.setEntries(entries({"e", "d"}), false);
        QCOMPARE(reset.size(), 1);
        model.setEntries(entries({"e", "d"}), true);
        QCOMPARE(reset.size(), 2);
        QCOMPARE(ids(model), (QStringList{"e", "d"}));
        QCOMPARE(model.rowOf("d"), 1);
        QCOMPARE(model.rowOf("a"), -1);
    }

    void stateChangesTouchOnlyTheirRows() {
        WallpaperListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setEntries(entries({"a", "b", "c", "d"}), true);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        model.setProgress({{"b", 0.25}});
        model.setProgress({{"b", 0.5}});
        QCOMPARE(changedRows(changed), (QList<int>{1, 1}));
        QCOMPARE(changed.at(0).at(2).value<QList<int>>(),
                 (QList<int>{WallpaperListModel::DownloadingRole, WallpaperListModel::ProgressRole}));
        QCOMPARE(model.index(1).data(WallpaperListModel::ProgressRole).toDouble(), 0.5);
        QCOMPARE(model.index(1).data(WallpaperListModel::DownloadingRole).toBool(), true);
        changed.clear();

        model.setProgress({});
        model.setDownloaded({"b"});
        model.setPlaying({"b"});
        QCOMPARE(changedRows(changed), (QList<int>{1, 1, 1}));
        QVERIFY(model.index(1).data(WallpaperListModel::PlayingRole).toBool());
        QVERIFY(!model.index(1).data(WallpaperListModel::DownloadingRole).toBool());
        changed.clear();

        // Another wallpaper replaces it: two rows change, the others stay untouched.
        model.setPlaying({"d"});
        QCOMPARE(changedRows(changed), (QList<int>{1, 3}));
        changed.clear();
        model.setPlaying({"d", "gone"});
        model.setDownloaded({"b"});
        QCOMPARE(changed.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWallpaperListModel)
#include "tst_wallpaperlistmodel.moc"
