// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"
#include "fakes/EngineRig.h"
#include "interface/LibraryRules.h"
#include "interface/LibraryViewModel.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "support/FileContents.h"
#include "support/HttpTestServer.h"
#include "support/TestVideos.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using EmptyState = LibraryViewModel::EmptyState;
using namespace LibraryRules;
using Action = MenuItem::Action;

namespace {
// Before the rig is built.
void writeCatalog(const EngineRig& rig, const QList<Wallpaper>& wallpapers) {
    QVERIFY(AtomicFile::write(rig.home.libraryRoot() + "/catalog.json",
                              *WallpaperJson::encodeCatalog({wallpapers})));
}

QStringList shownIds(LibraryViewModel& view) {
    QStringList list;
    for (const auto& e : view.wallpapers()->entries())
        list.append(e.wallpaper.id);
    return list;
}

QStringList titles(const QVariantList& items) {
    QStringList list;
    for (const QVariant& item : items)
        list.append(item.toMap().value("title").toString());
    return list;
}
} // namespace

class TestLibraryViewModel : public QObject {
    Q_OBJECT

    HttpTestServer m_server;
    TestVideos m_videos;

    Wallpaper downloadable(const QString& id, const QString& category) {
        const QString poster = m_server.url("/posters/" + id + ".jpg").toString();
        const QString video = m_server.url("/videos/" + id + ".mp4").toString();
        return {id, id.toUpper(), category, poster, {}, video, {}, {}, {}, {}};
    }

private Q_SLOTS:
    void initTestCase() { qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8()); }

    // The fixed lists win over catalog categories of the same name; of two records with one id, the
    // first is the one a card acts on.
    void categories_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("All") << "All" << QStringList{"mine", "a", "b", "c", "a", "y", "d"};
        QTest::newRow("a category") << "A" << QStringList{"a", "c"};
        QTest::newRow("Your videos") << "Your videos" << QStringList{"mine"};
        QTest::newRow("Downloaded") << "Downloaded" << QStringList{"mine", "b", "y"};
    }
    void categories() {
        QFETCH(QString, category);
        QFETCH(QStringList, shown);
        EngineRig rig;
        Wallpaper second = downloadable("a", "B");
        second.poster = m_server.url("/posters/second.jpg").toString();
        writeCatalog(rig, {downloadable("a", "A"), downloadable("b", "B"), downloadable("c", "A"), second,
                           downloadable("y", "Your videos"), downloadable("d", "Downloaded")});
        // One imported video, its file in the library's Imported folder.
        const QString mine = rig.home.libraryRoot() + "/Imported/mine";
        QVERIFY(AtomicFile::write(mine + ".mp4", "not really a video"));
        const QString poster = QUrl::fromLocalFile(mine + ".jpg").toString();
        const Wallpaper imported{"mine", "mine", "Your videos", poster, {}, mine + ".mp4", {}, {}, {}, true};
        QVERIFY(AtomicFile::write(rig.home.libraryRoot() + "/imported.json",
                                  *WallpaperJson::encodeImportedList({imported})));
        rig.addVideo("b");
        rig.addVideo("y");
        rig.build();
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QAbstractItemModelTester tester(view.wallpapers(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(view.tabs(),
                 (QStringList{"All", "A", "B", "Your videos", "Downloaded", "Your videos", "Downloaded"}));
        view.setCategory(category);
        QCOMPARE(shownIds(view), shown);
        if (shown.contains("a"))
            QCOMPARE(view.wallpapers()->entry("a")->poster, m_server.url("/posters/a.jpg"));
        if (shown.contains("mine"))
            QCOMPARE(view.wallpapers()->entry("mine")->poster, QUrl(poster));

        // Deleting the last download takes its tab away; the chosen title stays.
        rig.store->remove(*rig.store->imported().cbegin());
        rig.store->remove(downloadable("b", "B"));
        rig.store->remove(downloadable("y", "Your videos"));
        QCOMPARE(view.tabs(), (QStringList{"All", "A", "B", "Your videos", "Downloaded"}));
        QCOMPARE(view.category(), category);
    }

    // An imported video can be removed even when its copy is no longer on disk.
    void cardMenuOfAnImportWithoutItsCopy() {
        const QList<ScreenInfo> one{FakeScreenSource::screen("M", {})};
        QCOMPARE(cardMenu(true, false, false, one), (QList<MenuItem>{{Action::SetOn, "Set on M", "M"},
                                                                     {Action::Separator, {}, {}},
                                                                     {Action::Remove, "Remove", {}, true}}));
    }

    void mediaUrls_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("imported");
        QTest::addColumn<QString>("expected");
        const QString folder = "/data/Lumivale/Imported";
        QTest::newRow("http") << "http://127.0.0.1:8080/p.jpg" << false << "http://127.0.0.1:8080/p.jpg";
        QTest::newRow("upper-case scheme")
            << "HTTPS://cdn.example.org/p.jpg" << false << "https://cdn.example.org/p.jpg";
        QTest::newRow("catalog file URL") << "file:///dev/zero" << false << "";
        QTest::newRow("catalog no host") << "http:///p.jpg" << false << "";
        QTest::newRow("catalog not a URL") << "http://exa mple.org/%zz" << false << "";
        QTest::newRow("imported inside")
            << "file://" + folder + "/a.jpg" << true << "file://" + folder + "/a.jpg";
        QTest::newRow("imported escaping") << "file://" + folder + "/../../../etc/passwd" << true << "";
        QTest::newRow("imported elsewhere") << "file:///home/me/a.jpg" << true << "";
        QTest::newRow("imported folder itself") << "file://" + folder << true << "";
        QTest::newRow("imported from the network") << "https://cdn.example.org/p.jpg" << true << "";
    }
    void mediaUrls() {
        QFETCH(QString, text);
        QFETCH(bool, imported);
        QFETCH(QString, expected);
        QCOMPARE(mediaUrl(text, imported, "/data/Lumivale/Imported").toString(), expected);
        QCOMPARE(mediaUrl(std::nullopt, imported, "/data/Lumivale/Imported"), QUrl());
    }

    // Records that come or go move only their rows, so that the grid keeps its place and its cards.
    void listModelSignals() {
        const auto entries = [](const QStringList& ids) {
            QList<WallpaperListModel::Entry> list;
            for (const QString& id : ids)
                list.append({Wallpaper{id, id, "C", {}, {}, {}, {}, {}, {}, {}}, false, {}, {}});
            return list;
        };
        WallpaperListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setEntries(entries({"a", "b", "c", "d"}), true);
        QStringList changes;
        const auto note = [&](const char* sign) {
            return [&changes, sign](const QModelIndex&, int first) {
                changes.append(sign + QString::number(first));
            };
        };
        connect(&model, &QAbstractItemModel::rowsRemoved, this, note("-"));
        connect(&model, &QAbstractItemModel::rowsInserted, this, note("+"));
        connect(&model, &QAbstractItemModel::modelReset, this, [&] { changes.append("reset"); });
        // An import goes in front, a record leaves the middle, one arrives at the end; then a new order
        // starts afresh.
        model.setEntries(entries({"x", "a", "c", "d", "e"}), false);
        model.setEntries(entries({"e", "d"}), false);
        QCOMPARE(changes, (QStringList{"-1", "+0", "+4", "reset"}));
    }

    // A first launch: the empty states, then videos dropped on the library.
    void firstLaunch() {
        // A filter that finds nothing in a present catalog says so, even while a refresh runs.
        QCOMPARE(LibraryViewModel::emptyStateFor(true, true, true, false), EmptyState::NothingState);

        // First launch without a network: loading, then offline, then "Try again" loads the catalog.
        m_server.setResponse("/v1/catalog", {.status = 503, .body = "down", .delayMs = 100});
        EngineRig rig;
        rig.build();
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QCOMPARE(view.emptyState(), EmptyState::NothingState);
        rig.store->refresh();
        QCOMPARE(view.emptyState(), EmptyState::LoadingState);
        QTRY_COMPARE(view.emptyState(), EmptyState::OfflineState);
        m_server.setResponse(
            "/v1/catalog",
            {.status = 200, .body = *WallpaperJson::encodeCatalog({{downloadable("a", "A")}})});
        view.tryAgain();
        QTRY_COMPARE(view.emptyState(), EmptyState::NoEmptyState);
        QCOMPARE(shownIds(view), QStringList{"a"});

        // Each dropped video is its own import; other files are left out.
        QTemporaryDir dir;
        const auto file = [&](const QString& name) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write("bytes");
            return QUrl::fromLocalFile(f.fileName());
        };
        QVERIFY(view.acceptsDrop({file("notes.txt"), file("clip.webm")}));
        QVERIFY(!view.acceptsDrop({file("notes.txt")}));
        QVERIFY(!view.acceptsDrop({QUrl("https://example.org/clip.mp4")}));
        QVERIFY(!view.acceptsDrop({QUrl::fromLocalFile(dir.path())}));
        QSignalSpy imports(rig.store.get(), &LibraryStore::importsFinished);
        view.dropVideos({file("one.mp4"), file("notes.txt"), file("two.mp4"), file("three.mkv")});
        QTRY_COMPARE(imports.size(), 3);
        QVERIFY(view.hasProblem());
        view.dismissProblem();
        QVERIFY(!view.hasProblem());
    }

    void downloadThenAssign() {
        const QByteArray body = fileContents(m_videos.path(TestVideo::Long10s));
        m_server.setResponse("/videos/c.mp4",
                             {.body = body, .chunkSize = body.size() / 8 + 1, .intervalMs = 5});
        EngineRig rig;
        writeCatalog(rig, {downloadable("a", "A"), downloadable("c", "A")});
        rig.addVideo("a");
        rig.setScreens({"LEFT"});
        rig.build();
        rig.store->setMediaInspector(std::make_shared<FfmpegMediaInspector>());
        LibraryViewModel view(*rig.store, *rig.engine, rig.fakes.screens);
        QAbstractItemModelTester tester(view.wallpapers(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(!view.pickerVisible());
        rig.setScreens({"LEFT", "RIGHT"}, true);
        QVERIFY(view.pickerVisible());
        QCOMPARE(view.pickerItems().size(), 3);
        view.setDisplayChoice("RIGHT");
        QCOMPARE(view.pickerTitle(), QStringLiteral("RIGHT"));
        rig.setScreens({"LEFT"}, true);
        QCOMPARE(view.pickerTitle(), QStringLiteral("Display"));

        view.activate("a");
        QCOMPARE(rig.engine->assignments(), (WallpaperEngine::AssignmentMap{{"RIGHT", "a"}}));
        view.setDisplayChoice("*");

        rig.setScreens({"LEFT", "RIGHT"}, true);
        QSignalSpy reset(view.wallpapers(), &QAbstractItemModel::modelReset);
        QSignalSpy changed(view.wallpapers(), &QAbstractItemModel::dataChanged);
        view.activate("c");
        QCOMPARE(titles(view.menuItems("c")),
                 (QStringList{"Set on LEFT", "Set on RIGHT", "Cancel download"}));
        // The choice when the download started: all displays, in place of the one display before.
        QTRY_COMPARE(rig.engine->assignments(), (WallpaperEngine::AssignmentMap{{"*", "c"}}));
        QCOMPARE(reset.size(), 0);
        QVERIFY(!changed.isEmpty());
        const QModelIndex c = view.wallpapers()->index(1);
        QVERIFY(c.data(WallpaperListModel::PlayingRole).toBool());
        QVERIFY(c.data(WallpaperListModel::DownloadedRole).toBool());
        QVERIFY(!c.data(WallpaperListModel::DownloadingRole).toBool());
        QVERIFY(!view.wallpapers()->index(0).data(WallpaperListModel::PlayingRole).toBool());
        QCOMPARE(titles(view.menuItems("c")),
                 (QStringList{"Set on LEFT", "Set on RIGHT", "", "Delete download"}));

        // "Set on" assigns one display whatever the view's choice.
        view.activateOn("a", view.menuItems("a").at(1).toMap().value("displayKey").toString());
        QCOMPARE(rig.engine->assignments(), (WallpaperEngine::AssignmentMap{{"*", "c"}, {"RIGHT", "a"}}));
        view.setCategory("Downloaded");
        view.remove("a");
        QCOMPARE(shownIds(view), QStringList{"c"});
    }
};

QTEST_GUILESS_MAIN(TestLibraryViewModel)
#include "tst_libraryviewmodel.moc"
