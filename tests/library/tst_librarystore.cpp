// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryTestFiles.h"
#include "RecordingTarget.h"
#include "library/LibraryStore.h"
#include "support/TempXdgHome.h"

#include <QSignalSpy>
#include <QTest>

using namespace LibraryTestFiles;

class TestLibraryStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLaunchCreatesTheLayout() {
        TempXdgHome home;
        LibraryStore store(home.libraryRoot());
        QVERIFY(QFileInfo(home.libraryRoot() + QStringLiteral("/Library")).isDir());
        QVERIFY(QFileInfo(home.libraryRoot() + QStringLiteral("/Imported")).isDir());
        QVERIFY(store.catalog().isEmpty() && store.imported().isEmpty() && store.progress().isEmpty());
        QVERIFY(!store.loading() && !store.offline() && !store.problem());
        QCOMPARE(store.revision(), 0);
        QVERIFY(!QFileInfo::exists(home.libraryRoot() + QStringLiteral("/imported.json")));
    }

    void loadsCachedListsAndSetsBadOnesAside() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        QVERIFY(write(root + QStringLiteral("/catalog.json"), catalogDocument({record("a"), record("b")})));
        Wallpaper mine = record(QStringLiteral("own-1"), QStringLiteral("Your videos"));
        mine.isImported = true;
        QVERIFY(write(root + QStringLiteral("/imported.json"),
                      WallpaperJson::encodeImportedList({mine}).value()));
        {
            LibraryStore store(root);
            QCOMPARE(ids(store.catalog()), (QStringList{"a", "b"}));
            QCOMPARE(ids(store.imported()), QStringList{"own-1"});
        }
        // A large cache is decoded on a worker while the store reports loading.
        Wallpaper titled = record(QStringLiteral("w"));
        titled.title = QString(100, QLatin1Char('t'));
        const QList<Wallpaper> large(3000, titled);
        QVERIFY(write(root + QStringLiteral("/catalog.json"), catalogDocument(large)));
        QVERIFY(QFileInfo(root + QStringLiteral("/catalog.json")).size() > LibraryStore::inlineCatalogBytes);
        {
            LibraryStore store(root);
            QVERIFY(store.loading() && store.catalog().isEmpty());
            QTRY_VERIFY(!store.loading());
            QCOMPARE(store.catalog(), large);
        }

        // One malformed element spoils the whole cache; the bad files are kept, not overwritten.
        const QByteArray badCatalog = R"({"wallpapers":[{"id":"a","title":"A","category":"C"},{"id":"b"}]})";
        const QByteArray badImported =
            R"([{"id":"own-1","title":"T","category":"Your videos","isImported":"yes"}])";
        QVERIFY(write(root + QStringLiteral("/catalog.json"), badCatalog));
        QVERIFY(write(root + QStringLiteral("/imported.json"), badImported));
        // Without a readable list nothing in Imported/ counts as an orphan.
        QVERIFY(write(root + QStringLiteral("/Imported/own-0000000a.mp4"), "video"));
        LibraryStore store(root);
        QVERIFY(QFileInfo::exists(root + QStringLiteral("/Imported/own-0000000a.mp4")));
        QVERIFY(store.catalog().isEmpty());
        QVERIFY(store.imported().isEmpty());
        store.saveImported();
        const QStringList aside = corruptCopies(root + QStringLiteral("/imported.json"));
        QCOMPARE(aside.size(), 1);
        QCOMPARE(read(root + QLatin1Char('/') + aside.first()), badImported);
        QCOMPARE(corruptCopies(root + QStringLiteral("/catalog.json")).size(), 1);
        QCOMPARE(read(root + QStringLiteral("/imported.json")), QByteArray("[]"));
    }

    void listsKeepTheirOrders() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        QVERIFY(write(root + QStringLiteral("/catalog.json"),
                      catalogDocument({record("y", "A"), record("z", "B"), record("w", "A"), record("v", "C"),
                                       record("u", "a")})));
        Wallpaper x = record(QStringLiteral("x"), QStringLiteral("Your videos"));
        x.isImported = true;
        x.video = root + QStringLiteral("/Imported/x.mp4");
        QVERIFY(
            write(root + QStringLiteral("/imported.json"), WallpaperJson::encodeImportedList({x}).value()));
        QVERIFY(write(*x.video, "video"));
        QVERIFY(write(root + QStringLiteral("/Library/w.mp4"), "video"));
        QVERIFY(write(root + QStringLiteral("/Library/y.mp4"), "video"));
        // A link whose target is gone counts as absent.
        QVERIFY(QFile::link(root + QStringLiteral("/Library/gone"), root + QStringLiteral("/Library/z.mp4")));

        LibraryStore store(root);
        QCOMPARE(ids(store.all()), (QStringList{"x", "y", "z", "w", "v", "u"}));
        QCOMPARE(ids(store.downloaded()), (QStringList{"x", "y", "w"}));
        // Case counts, imported records add nothing.
        QCOMPARE(store.categories(), (QStringList{"A", "B", "C", "a"}));
    }

    void localFileRules() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        Wallpaper gone = record(QStringLiteral("gone"), QStringLiteral("Your videos"));
        gone.isImported = true;
        gone.video = root + QStringLiteral("/Imported/gone.mp4");
        Wallpaper noVideo = record(QStringLiteral("novideo"), QStringLiteral("Your videos"));
        noVideo.isImported = true;
        QVERIFY(write(root + QStringLiteral("/imported.json"),
                      WallpaperJson::encodeImportedList({gone, noVideo}).value()));
        // The deleted copy must not be replaced by a same-named download.
        QVERIFY(write(root + QStringLiteral("/Library/gone.mp4"), "video"));
        QVERIFY(write(root + QStringLiteral("/Library/novideo.mp4"), "video"));
        QVERIFY(write(root + QStringLiteral("/Library/no-longer-listed.mp4"), "video"));
        QVERIFY(write(root + QStringLiteral("/catalog.json"),
                      catalogDocument({record("gone"), record("novideo")})));

        LibraryStore store(root);
        QCOMPARE(ids(store.downloaded()), (QStringList{"novideo", "novideo"}));
        QCOMPARE(store.localURL(QStringLiteral("gone")), std::nullopt);
        QVERIFY(!store.isDownloaded(gone));
        QCOMPARE(store.localURL(QStringLiteral("novideo")),
                 std::optional(root + QStringLiteral("/Library/novideo.mp4")));
        QCOMPARE(store.localURL(QStringLiteral("no-longer-listed")),
                 std::optional(root + QStringLiteral("/Library/no-longer-listed.mp4")));
        QCOMPARE(store.localURL(QStringLiteral("never")), std::nullopt);
    }

    void hostileIdsNeverReachOutsideTheLibrary() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        // Files that a careless path join would find.
        QVERIFY(write(root + QStringLiteral("/..mp4"), "x"));
        QVERIFY(write(root + QStringLiteral("/Library/.mp4"), "x"));
        QVERIFY(write(root + QStringLiteral("/secret.mp4"), "x"));
        QVERIFY(write(home.dataHome() + QStringLiteral("/outside.mp4"), "x"));
        // What both lone-surrogate ids below would name on disk.
        QVERIFY(write(root + QStringLiteral("/Library/x\uFFFD.mp4"), "x"));
        const QStringList hostile{QString(),
                                  QString(256, QLatin1Char('a')),
                                  QString(128, QChar(u'\u00e9')),
                                  QStringLiteral("x") + QChar(0xD800),
                                  QStringLiteral("x") + QChar(0xDC00),
                                  QStringLiteral("."),
                                  QStringLiteral(".."),
                                  QStringLiteral("../secret"),
                                  QStringLiteral("../../outside"),
                                  QStringLiteral("a\\b"),
                                  QStringLiteral("x") + QChar(u'\0') + QStringLiteral("y")};
        QList<Wallpaper> catalog;
        for (const QString& id : hostile) {
            Wallpaper w = record(id);
            w.video = QStringLiteral("http://127.0.0.1:9/v.mp4");
            catalog.append(w);
        }
        QVERIFY(write(root + QStringLiteral("/catalog.json"), catalogDocument(catalog)));

        LibraryStore store(root);
        RecordingTarget target;
        store.setWallpaperTarget(&target);
        QCOMPARE(ids(store.catalog()), hostile); // still listed, exactly as served
        QVERIFY(LibraryStore::isSafeId(QString(255, QLatin1Char('a'))));
        for (const Wallpaper& w : store.catalog()) {
            QCOMPARE(store.localURL(w.id), std::nullopt);
            store.download(w);
            QVERIFY(!store.isDownloading(w.id));
            store.remove(w);
        }
        QVERIFY(store.progress().isEmpty());
        for (const QString& path :
             {root + QStringLiteral("/..mp4"), root + QStringLiteral("/Library/.mp4"),
              root + QStringLiteral("/secret.mp4"), home.dataHome() + QStringLiteral("/outside.mp4"),
              root + QStringLiteral("/Library/x\uFFFD.mp4")})
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    }

    // A kill between an import's copy and the save of its record, or during a download, leaves files
    // behind; the next start removes those and nothing else.
    void startRemovesOnlyOrphansOfImportsAndDownloads() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        Wallpaper mine = record(QStringLiteral("own-aaaa0001"), QStringLiteral("Your videos"));
        mine.isImported = true;
        mine.video = root + QStringLiteral("/Imported/own-aaaa0001.mov");
        Wallpaper moved = record(QStringLiteral("own-cccc0003"), QStringLiteral("Your videos"));
        moved.isImported = true;
        moved.video = QStringLiteral("/elsewhere/own-cccc0003.mp4");
        QVERIFY(write(root + QStringLiteral("/imported.json"),
                      WallpaperJson::encodeImportedList({mine, moved}).value()));
        const QStringList kept{"Notes.txt",    "own-aaaa0001.jpg", "own-aaaa0001.mov",
                               "own-bbbb0002", "own-BBBB0002.mp4", "own-cccc0003.mp4"};
        for (const QString& name :
             kept + QStringList{"own-bbbb0002.jpg", "own-bbbb0002.mkv", "own-dddd0004."})
            QVERIFY(write(root + QStringLiteral("/Imported/") + name, "x"));
        QVERIFY(write(root + QStringLiteral("/Library/.download-Ab12Cd.part"), "x"));
        QVERIFY(write(root + QStringLiteral("/Library/a.mp4"), "x"));

        LibraryStore store(root);
        QCOMPARE(QDir(root + QStringLiteral("/Imported")).entryList(QDir::Files | QDir::Hidden), kept);
        QCOMPARE(QDir(root + QStringLiteral("/Library")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"a.mp4"});
    }

    void removingAnImportedRecordDeletesOnlyItsOwnFiles() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        const QString outside = home.dataHome() + QStringLiteral("/precious.mov");
        const QString elsewhereInRoot = root + QStringLiteral("/catalog.json");
        QVERIFY(write(outside, "keep"));
        QVERIFY(write(elsewhereInRoot, catalogDocument({})));

        Wallpaper mine = record(QStringLiteral("own-aaaa0001"), QStringLiteral("Your videos"));
        mine.isImported = true;
        mine.video = root + QStringLiteral("/Imported/own-aaaa0001.mov");
        mine.poster = QUrl::fromLocalFile(root + QStringLiteral("/Imported/own-aaaa0001.jpg")).toString();
        Wallpaper hostile = record(QStringLiteral("own-bbbb0002"), QStringLiteral("Your videos"));
        hostile.isImported = true;
        hostile.video = outside;
        hostile.poster = QUrl::fromLocalFile(root + QStringLiteral("/Imported/../catalog.json")).toString();
        Wallpaper other = record(QStringLiteral("own-cccc0003"), QStringLiteral("Your videos"));
        other.isImported = true;
        QVERIFY(write(*mine.video, "video"));
        QVERIFY(write(root + QStringLiteral("/Imported/own-aaaa0001.jpg"), "jpeg"));
        QVERIFY(write(root + QStringLiteral("/imported.json"),
                      WallpaperJson::encodeImportedList({mine, hostile, other}).value()));

        LibraryStore store(root);
        RecordingTarget target;
        store.setWallpaperTarget(&target);
        QSignalSpy revisions(&store, &LibraryStore::revisionChanged);

        store.remove(mine);
        QVERIFY(!QFileInfo::exists(*mine.video));
        QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Imported/own-aaaa0001.jpg")));
        QCOMPARE(ids(store.imported()), (QStringList{"own-bbbb0002", "own-cccc0003"}));
        QCOMPARE(
            ids(WallpaperJson::decodeImportedList(read(root + QStringLiteral("/imported.json"))).value()),
            (QStringList{"own-bbbb0002", "own-cccc0003"}));

        // A hand-edited list cannot make the program delete anything outside the imported folder.
        store.remove(hostile);
        QCOMPARE(read(outside), QByteArray("keep"));
        QVERIFY(QFileInfo::exists(elsewhereInRoot));
        QCOMPARE(ids(store.imported()), QStringList{"own-cccc0003"});

        // A catalog record claiming to be imported is held to the same rule.
        Wallpaper claims = record(QStringLiteral("claims"));
        claims.isImported = true;
        claims.video = outside;
        store.remove(claims);
        QCOMPARE(read(outside), QByteArray("keep"));

        QCOMPARE(revisions.size(), 3);
        QCOMPARE(target.forgotten, (QStringList{"own-aaaa0001", "own-bbbb0002", "claims"}));
    }

    void removingACatalogRecordDeletesItsDownload() {
        TempXdgHome home;
        const QString root = home.libraryRoot();
        QVERIFY(write(root + QStringLiteral("/catalog.json"), catalogDocument({record("a"), record("b")})));
        QVERIFY(write(root + QStringLiteral("/Library/a.mp4"), "video"));
        LibraryStore store(root);
        RecordingTarget target;
        store.setWallpaperTarget(&target);

        store.remove(store.catalog().at(0));
        QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Library/a.mp4")));
        QCOMPARE(store.catalog().size(), 2); // the catalog keeps listing it
        store.remove(store.catalog().at(1)); // never downloaded: nothing to delete, still a change
        QCOMPARE(store.revision(), 2);
        QCOMPARE(target.forgotten, (QStringList{"a", "b"}));
    }
};

QTEST_GUILESS_MAIN(TestLibraryStore)
#include "tst_librarystore.moc"
