// SPDX-License-Identifier: GPL-3.0-or-later
#include "InterfaceRig.h"
#include "interface/LibraryViewModel.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "support/HttpTestServer.h"
#include "support/TestVideos.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using EmptyState = LibraryViewModel::EmptyState;

namespace {
QStringList shownIds(LibraryViewModel& view) {
    QStringList list;
    for (const auto& e : view.wallpapers()->entries())
        list.append(e.wallpaper.id);
    return list;
}

QList<int> changedRows(const QSignalSpy& spy) {
    QList<int> rows;
    for (const QList<QVariant>& args : spy) {
        for (int row = args.at(0).value<QModelIndex>().row(); row <= args.at(1).value<QModelIndex>().row();
             ++row) {
            if (!rows.contains(row))
                rows.append(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList titles(const QVariantList& items) {
    QStringList list;
    for (const QVariant& item : items)
        list.append(item.toMap().value("action").toString() == "separator"
                        ? "-"
                        : item.toMap().value("title").toString());
    return list;
}
} // namespace

class TestLibraryViewModel : public QObject {
    Q_OBJECT

    HttpTestServer m_server;
    TestVideos m_videos;

    Wallpaper downloadable(const QString& id, const QString& category) {
        Wallpaper w = InterfaceRig::record(id, category);
        w.video = m_server.url("/videos/" + id + ".mp4").toString();
        w.poster = m_server.url("/posters/" + id + ".jpg").toString();
        w.resolution = "1920 × 1080";
        return w;
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());
        QCOMPARE(LibraryStore::catalogURL(), m_server.url("/v1/catalog"));
    }

    void tabsAndShownLists() {
        InterfaceRig rig;
        // Of two records with one id, the first is the record a card acts on.
        Wallpaper second = downloadable("a", "B");
        second.poster = m_server.url("/posters/second.jpg").toString();
        rig.writeCatalog({downloadable("a", "A"), downloadable("b", "B"), downloadable("c", "A"), second});
        rig.writeImported({InterfaceRig::imported("mine")});
        rig.addVideo("b");
        rig.build();
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QAbstractItemModelTester tester(view.wallpapers(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);

        QCOMPARE(view.tabs(), (QStringList{"All", "A", "B", "Your videos", "Downloaded"}));
        QCOMPARE(view.category(), QStringLiteral("All"));
        QCOMPARE(shownIds(view), (QStringList{"mine", "a", "b", "c", "a"}));
        QCOMPARE(view.wallpapers()->entry("a")->poster, m_server.url("/posters/a.jpg"));
        view.setCategory("A");
        QCOMPARE(shownIds(view), (QStringList{"a", "c"}));
        view.setCategory("Your videos");
        QCOMPARE(shownIds(view), (QStringList{"mine"}));
        view.setCategory("Downloaded");
        QCOMPARE(shownIds(view), (QStringList{"mine", "b"}));

        // What the cards read: catalog media over http only, imported media as files inside the library.
        QCOMPARE(view.wallpapers()->entry("b")->poster, m_server.url("/posters/b.jpg"));
        const auto* mine = view.wallpapers()->entry("mine");
        QVERIFY(mine->imported);
        QVERIFY(mine->poster.isLocalFile());
        QVERIFY(mine->poster.toLocalFile().startsWith(rig.importedFolder() + "/"));

        // Deleting the last download takes its tab away; the chosen title stays and shows nothing.
        rig.store->remove(*rig.store->imported().cbegin());
        rig.store->remove(downloadable("b", "B"));
        QCOMPARE(view.tabs(), (QStringList{"All", "A", "B"}));
        QCOMPARE(view.category(), QStringLiteral("Downloaded"));
        QCOMPARE(shownIds(view), QStringList{});
        QCOMPARE(view.emptyState(), EmptyState::NothingState);
    }

    void fixedTitlesWinOverCatalogCategories() {
        InterfaceRig rig;
        rig.writeCatalog({downloadable("a", "All"), downloadable("b", "Your videos"),
                          downloadable("c", "Downloaded"), downloadable("d", "Nature")});
        rig.writeImported({InterfaceRig::imported("mine")});
        rig.addVideo("d");
        rig.build();
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QCOMPARE(view.tabs(), (QStringList{"All", "All", "Your videos", "Downloaded", "Nature", "Your videos",
                                           "Downloaded"}));
        view.setCategory("Your videos");
        QCOMPARE(shownIds(view), QStringList{"mine"});
        view.setCategory("Downloaded");
        QCOMPARE(shownIds(view), (QStringList{"mine", "d"}));
        view.setCategory("All");
        QCOMPARE(shownIds(view), (QStringList{"mine", "a", "b", "c", "d"}));
        view.setCategory("Nature");
        QCOMPARE(shownIds(view), QStringList{"d"});
    }

    void emptyStates() {
        QCOMPARE(LibraryViewModel::emptyStateFor(false, true, true, true), EmptyState::NoEmptyState);
        QCOMPARE(LibraryViewModel::emptyStateFor(true, true, true, true), EmptyState::LoadingState);
        QCOMPARE(LibraryViewModel::emptyStateFor(true, false, true, true), EmptyState::OfflineState);
        QCOMPARE(LibraryViewModel::emptyStateFor(true, false, false, true), EmptyState::NothingState);
        // A filter that finds nothing in a present catalog says so, even while a refresh runs.
        QCOMPARE(LibraryViewModel::emptyStateFor(true, true, true, false), EmptyState::NothingState);

        // First launch without a network: loading, then offline, then "Try again" loads the catalog.
        m_server.setResponse("/v1/catalog", {.status = 503, .body = "down", .delayMs = 100});
        InterfaceRig rig;
        rig.build();
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QCOMPARE(view.emptyState(), EmptyState::NothingState);
        rig.store->refresh();
        QCOMPARE(view.emptyState(), EmptyState::LoadingState);
        QTRY_COMPARE(view.emptyState(), EmptyState::OfflineState);

        const QByteArray catalog = *WallpaperJson::encodeCatalog({{downloadable("a", "A")}});
        m_server.setResponse("/v1/catalog", {.status = 200, .body = catalog});
        view.tryAgain();
        QTRY_COMPARE(view.emptyState(), EmptyState::NoEmptyState);
        QCOMPARE(shownIds(view), QStringList{"a"});
        QCOMPARE(view.tabs(), (QStringList{"All", "A"}));
    }

    void pickerAndPauseButton() {
        InterfaceRig rig;
        rig.writeCatalog({downloadable("a", "A"), downloadable("b", "A")});
        rig.addVideo("a");
        rig.addVideo("b");
        rig.setScreens({"LEFT"});
        rig.build();
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QVERIFY(!view.pickerVisible());
        QCOMPARE(view.pickerTitle(), QStringLiteral("All displays"));

        QSignalSpy screens(&view, &LibraryViewModel::screensChanged);
        rig.setScreens({"LEFT", "RIGHT"}, true);
        QCOMPARE(screens.size(), 1);
        QVERIFY(view.pickerVisible());
        QCOMPARE(view.pickerItems().size(), 3);
        view.setDisplayChoice("RIGHT");
        QCOMPARE(view.pickerTitle(), QStringLiteral("RIGHT"));
        // The chosen display goes away: the title says so, the choice stays and still assigns.
        rig.setScreens({"LEFT"}, true);
        QVERIFY(!view.pickerVisible());
        QCOMPARE(view.pickerTitle(), QStringLiteral("Display"));
        QCOMPARE(view.displayChoice(), QStringLiteral("RIGHT"));

        QVERIFY(!view.pauseVisible());
        view.activate("a");
        QCOMPARE(rig.engine->assignments(), (WallpaperEngine::AssignmentMap{{"RIGHT", "a"}}));
        QVERIFY(view.pauseVisible());
        QVERIFY(!view.userPaused());
        view.togglePause();
        QVERIFY(rig.engine->userPaused());
        QVERIFY(view.userPaused());
        // A click on a card clears the user's pause.
        view.setDisplayChoice("*");
        view.activate("b");
        QCOMPARE(rig.engine->assignments(), (WallpaperEngine::AssignmentMap{{"*", "b"}}));
        QVERIFY(!view.userPaused());
    }

    void downloadThenAssignTouchesOnlyItsRows() {
        // A video that arrives in pieces, so that its progress is seen.
        QFile video(m_videos.path(TestVideo::Long10s));
        QVERIFY(video.open(QIODevice::ReadOnly));
        const QByteArray body = video.readAll();
        m_server.setResponse("/videos/c.mp4",
                             {.body = body, .chunkSize = body.size() / 8 + 1, .intervalMs = 5});
        InterfaceRig rig;
        rig.writeCatalog(
            {downloadable("a", "A"), downloadable("b", "A"), downloadable("c", "A"), downloadable("d", "A")});
        rig.addVideo("a");
        rig.setScreens({"LEFT", "RIGHT"});
        rig.build();
        rig.store->setMediaInspector(std::make_shared<FfmpegMediaInspector>());
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QAbstractItemModelTester tester(view.wallpapers(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.activate("a");
        QCOMPARE(view.tabs().last(), QStringLiteral("Downloaded"));

        QSignalSpy changed(view.wallpapers(), &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(view.wallpapers(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(view.wallpapers(), &QAbstractItemModel::modelReset);
        view.activate("c");
        view.activate("c");
        QCOMPARE(titles(view.menuItems("c")),
                 (QStringList{"Set on LEFT", "Set on RIGHT", "Cancel download"}));
        QTRY_COMPARE(rig.engine->assignments(), (WallpaperEngine::AssignmentMap{{"*", "c"}}));
        QCOMPARE(m_server.requestCount("/videos/c.mp4"), 1);
        QVERIFY(changed.size() > 3);
        // Progress, the finished download and the new assignment touch c's row, and a's when it stops.
        QCOMPARE(changedRows(changed), (QList<int>{0, 2}));
        QCOMPARE(inserted.size(), 0);
        QCOMPARE(reset.size(), 0);
        const QModelIndex c = view.wallpapers()->index(2);
        QVERIFY(c.data(WallpaperListModel::PlayingRole).toBool());
        QVERIFY(c.data(WallpaperListModel::DownloadedRole).toBool());
        QVERIFY(!c.data(WallpaperListModel::DownloadingRole).toBool());
        QVERIFY(!view.wallpapers()->index(0).data(WallpaperListModel::PlayingRole).toBool());
        QCOMPARE(titles(view.menuItems("c")),
                 (QStringList{"Set on LEFT", "Set on RIGHT", "-", "Delete download"}));

        // "Set on" assigns one display whatever the view's choice; the "*" entry keeps c playing.
        changed.clear();
        const QVariantMap setOnRight = view.menuItems("a").at(1).toMap();
        view.activateOn("a", setOnRight.value("displayKey").toString());
        QCOMPARE(rig.engine->assignments(), (WallpaperEngine::AssignmentMap{{"*", "c"}, {"RIGHT", "a"}}));
        QCOMPARE(changedRows(changed), QList<int>{0});

        // On the "Downloaded" tab a deletion removes just that row.
        view.setCategory("Downloaded");
        QSignalSpy removed(view.wallpapers(), &QAbstractItemModel::rowsRemoved);
        view.remove("a");
        QCOMPARE(shownIds(view), QStringList{"c"});
        QCOMPARE(removed.size(), 1);
    }

    void dropsAndProblems() {
        InterfaceRig rig;
        rig.build();
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QTemporaryDir dir;
        const auto file = [&](const QString& name) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write("bytes");
            return QUrl::fromLocalFile(f.fileName());
        };
        QVERIFY(view.acceptsDrop({file("clip.mp4")}));
        QVERIFY(view.acceptsDrop({file("notes.txt"), file("clip.webm")}));
        QVERIFY(!view.acceptsDrop({file("notes.txt")}));
        QVERIFY(!view.acceptsDrop({QUrl("https://example.org/clip.mp4")}));
        QVERIFY(!view.acceptsDrop({QUrl::fromLocalFile(dir.path())}));
        QVERIFY(!view.acceptsDrop({}));

        // Each dropped video is its own import, under its own name; other files are left out.
        QSignalSpy imports(rig.store.get(), &LibraryStore::importsFinished);
        QSignalSpy sentences(rig.store.get(), &LibraryStore::problemChanged);
        view.dropVideos({file("one.mp4"), file("notes.txt"), file("two.mp4"), file("three.mkv")});
        QTRY_COMPARE(imports.size(), 3);
        QCOMPARE(sentences.size(), 3);
        QVERIFY(rig.store->problemText().startsWith("three.mkv "));

        QSignalSpy problem(&view, &LibraryViewModel::problemChanged);
        rig.store->setProblem(QStringLiteral("The video couldn't be downloaded."));
        QVERIFY(view.hasProblem());
        QCOMPARE(view.problem(), QStringLiteral("The video couldn't be downloaded."));
        view.dismissProblem();
        QVERIFY(!view.hasProblem());
        QCOMPARE(problem.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLibraryViewModel)
#include "tst_libraryviewmodel.moc"
