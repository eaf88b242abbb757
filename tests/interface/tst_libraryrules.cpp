// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/LibraryRules.h"

#include <QTest>

using namespace LibraryRules;
using Action = MenuItem::Action;

namespace {
ScreenInfo screen(const QString& name, std::optional<QString> uuid = std::nullopt) {
    return ScreenInfo{.uuid = std::move(uuid),
                      .localizedName = name,
                      .frame = {},
                      .visibleFrame = {},
                      .platformName = name};
}
} // namespace

class TestLibraryRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tabsAppendTheFixedListsWhenTheyHaveSomething() {
        QCOMPARE(tabs({"A", "B"}, false, false), (QStringList{"All", "A", "B"}));
        QCOMPARE(tabs({"A", "B"}, false, true), (QStringList{"All", "A", "B", "Downloaded"}));
        QCOMPARE(tabs({"A"}, true, true), (QStringList{"All", "A", "Your videos", "Downloaded"}));
        QCOMPARE(tabs({}, true, false), (QStringList{"All", "Your videos"}));
    }

    void pickerListsEveryScreenAndNamesTheChoice() {
        const QList<ScreenInfo> screens{screen("Left & Wide", "UUID-L"), screen("HDMI-1")};
        QCOMPARE(pickerItems(screens),
                 (QList<PickerItem>{{"All displays", "*"}, {"Left & Wide", "UUID-L"}, {"HDMI-1", "HDMI-1"}}));
        QCOMPARE(pickerTitle("*", screens), QStringLiteral("All displays"));
        QCOMPARE(pickerTitle("UUID-L", screens), QStringLiteral("Left & Wide"));
        QCOMPARE(pickerTitle("HDMI-1", screens), QStringLiteral("HDMI-1"));
        // The chosen display is gone, or there are no screens at all.
        QCOMPARE(pickerTitle("UUID-GONE", screens), QStringLiteral("Display"));
        QCOMPARE(pickerTitle("UUID-L", {}), QStringLiteral("Display"));
        QCOMPARE(pickerTitle("*", {}), QStringLiteral("All displays"));
    }

    void cardMenuFollowsTheRecordsState() {
        const QList<ScreenInfo> one{screen("Main", "UUID-M")};
        const MenuItem setOnMain{Action::SetOn, "Set on Main", "UUID-M"};
        const MenuItem separator{Action::Separator, {}, {}};
        QCOMPARE(cardMenu(false, false, false, one), QList<MenuItem>{setOnMain});
        QCOMPARE(cardMenu(false, true, false, one),
                 (QList<MenuItem>{setOnMain, separator, {Action::Remove, "Delete download", {}, true}}));
        QCOMPARE(cardMenu(false, false, true, one),
                 (QList<MenuItem>{setOnMain, {Action::CancelDownload, "Cancel download", {}}}));
        // An imported video can be removed whether or not its copy is still on disk.
        for (const bool onDisk : {true, false})
            QCOMPARE(cardMenu(true, onDisk, false, one),
                     (QList<MenuItem>{setOnMain, separator, {Action::Remove, "Remove", {}, true}}));
        QCOMPARE(cardMenu(false, false, false, {}), QList<MenuItem>{});
    }

    void mediaUrls_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("imported");
        QTest::addColumn<QString>("expected");
        const QString folder = "/data/Lumivale/Imported";
        QTest::newRow("https") << "https://cdn.example.org/p.jpg" << false << "https://cdn.example.org/p.jpg";
        QTest::newRow("http") << "http://127.0.0.1:8080/p.jpg" << false << "http://127.0.0.1:8080/p.jpg";
        QTest::newRow("upper-case scheme")
            << "HTTPS://cdn.example.org/p.jpg" << false << "https://cdn.example.org/p.jpg";
        QTest::newRow("catalog file URL") << "file:///dev/zero" << false << "";
        QTest::newRow("catalog file in library") << "file://" + folder + "/a.jpg" << false << "";
        QTest::newRow("catalog bare path") << "/etc/passwd" << false << "";
        QTest::newRow("catalog ftp") << "ftp://example.org/p.jpg" << false << "";
        QTest::newRow("catalog no host") << "http:///p.jpg" << false << "";
        QTest::newRow("catalog not a URL") << "http://exa mple.org/%zz" << false << "";
        QTest::newRow("empty") << "" << false << "";
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
};

QTEST_GUILESS_MAIN(TestLibraryRules)
#include "tst_libraryrules.moc"
