// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/Wallpaper.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTest>
#include <cmath>
#include <limits>

namespace {
QByteArray catalogOf(const QByteArray& elements) {
    return "{\"wallpapers\":[" + elements + "]}";
}
constexpr auto minimal = R"({"id":"a","title":"A","category":"C"})";

Wallpaper full() {
    Wallpaper w;
    w.id = QStringLiteral("forest");
    // Lone surrogates, which have no UTF-8 form, next to a proper pair.
    w.title = QStringLiteral("Forest \"Dawn\" \\ \n\t\u00e9\u2603") + QChar(0xD800) +
              QStringLiteral("\U0001F332") + QChar(0xDFFF);
    w.category = QStringLiteral("Nature");
    w.poster = QStringLiteral("https://example.org/p.jpg");
    w.preview = QStringLiteral("https://example.org/p.mp4");
    w.video = QStringLiteral("https://example.org/v.mp4");
    w.bytes = std::numeric_limits<qint64>::max();
    w.seconds = 12.345678901234567;
    w.resolution = QStringLiteral("3840 × 2160");
    w.isImported = false;
    return w;
}
} // namespace

class TestWallpaperJson : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodesCatalogDocuments_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<int>("count"); // -1: the whole document is rejected

        QTest::newRow("empty array") << QByteArray(R"({"wallpapers":[]})") << 0;
        QTest::newRow("minimal element") << catalogOf(minimal) << 1;
        QTest::newRow("unknown keys ignored")
            << QByteArray(
                   R"({"version":3,"wallpapers":[{"id":"a","title":"A","category":"C","likes":[1,2]}]})")
            << 1;
        QTest::newRow("nulls are absent")
            << catalogOf(R"({"id":"a","title":"A","category":"C","poster":null,"preview":null,"video":null,)"
                         R"("bytes":null,"seconds":null,"resolution":null,"isImported":null})")
            << 1;
        QTest::newRow("integral bytes in any spelling")
            << catalogOf(
                   R"({"id":"a","title":"A","category":"C","bytes":1e3},{"id":"b","title":"B","category":"C","bytes":-9223372036854775808})")
            << 2;
        QTest::newRow("any number of seconds")
            << catalogOf(R"({"id":"a","title":"A","category":"C","seconds":-1.5e300})") << 1;

        QTest::newRow("missing key") << QByteArray(R"({"other":[]})") << -1;
        QTest::newRow("null wallpapers") << QByteArray(R"({"wallpapers":null})") << -1;
        QTest::newRow("object wallpapers") << QByteArray(R"({"wallpapers":{}})") << -1;
        QTest::newRow("top-level array") << QByteArray("[]") << -1;
        QTest::newRow("not JSON") << QByteArray("<html>") << -1;
        QTest::newRow("trailing garbage") << QByteArray(R"({"wallpapers":[]} x)") << -1;
        QTest::newRow("fractional bytes")
            << catalogOf(R"({"id":"a","title":"A","category":"C","bytes":2.5})") << -1;
        QTest::newRow("bytes beyond 64 bits")
            << catalogOf(R"({"id":"a","title":"A","category":"C","bytes":9223372036854775808})") << -1;
        QTest::newRow("text bytes") << catalogOf(R"({"id":"a","title":"A","category":"C","bytes":"12"})")
                                    << -1;
        QTest::newRow("numeric isImported")
            << catalogOf(R"({"id":"a","title":"A","category":"C","isImported":1})") << -1;
        QTest::newRow("text seconds")
            << catalogOf(R"({"id":"a","title":"A","category":"C","seconds":"1"})") << -1;
        QTest::newRow("numeric poster")
            << catalogOf(R"({"id":"a","title":"A","category":"C","poster":5})") << -1;
        QTest::newRow("null id") << catalogOf(R"({"id":null,"title":"A","category":"C"})") << -1;
        QTest::newRow("numeric title") << catalogOf(R"({"id":"a","title":1,"category":"C"})") << -1;
        QTest::newRow("one bad element of many")
            << catalogOf(QByteArray(minimal) + "," + minimal + R"(,{"id":"x","title":"X"},)" + minimal) << -1;
        QTest::newRow("element not an object") << catalogOf(QByteArray(minimal) + ",7") << -1;
        const QByteArray longest(4096, 't');
        QTest::newRow("title at its bound")
            << catalogOf(R"({"id":"a","title":")" + longest + R"(","category":"C"})") << 1;
        QTest::newRow("title beyond its bound")
            << catalogOf(R"({"id":"a","title":")" + longest + R"(t","category":"C"})") << -1;
        QTest::newRow("category beyond its bound")
            << catalogOf(R"({"id":"a","title":"A","category":")" + longest + R"(C"})") << -1;
        QTest::newRow("video URL beyond its bound")
            << catalogOf(R"({"id":"a","title":"A","category":"C","video":"http://h/)" +
                         QByteArray(64 * 1024, 'v') + "\"}")
            << -1;
    }

    void decodesCatalogDocuments() {
        QFETCH(QByteArray, document);
        QFETCH(int, count);
        const std::optional<Catalog> catalog = WallpaperJson::decodeCatalog(document);
        if (count < 0) {
            QVERIFY(!catalog);
        } else {
            QVERIFY(catalog);
            QCOMPARE(catalog->wallpapers.size(), count);
        }
    }

    void minimalRecordRoundTripsWithExactlyThreeKeys() {
        const auto catalog = WallpaperJson::decodeCatalog(
            catalogOf(R"({"id":"a","title":"A","category":"C","poster":null,"extra":1})"));
        QVERIFY(catalog);
        const Wallpaper& w = catalog->wallpapers.first();
        QVERIFY(!w.poster && !w.preview && !w.video && !w.bytes && !w.seconds && !w.resolution &&
                !w.isImported);
        const auto encoded = WallpaperJson::encodeWallpaper(w);
        QVERIFY(encoded);
        const QJsonObject object = QJsonDocument::fromJson(*encoded).object();
        QCOMPARE(object.keys(),
                 (QStringList{QStringLiteral("category"), QStringLiteral("id"), QStringLiteral("title")}));
    }

    void fullRecordRoundTripsExactly() {
        const Wallpaper original = full();
        const auto bytes = WallpaperJson::encodeCatalog(Catalog{{original, original}});
        QVERIFY(bytes);
        QVERIFY(!QJsonDocument::fromJson(*bytes).isNull());
        const auto decoded = WallpaperJson::decodeCatalog(*bytes);
        QVERIFY(decoded);
        QCOMPARE(decoded->wallpapers.size(), 2);
        QVERIFY(decoded->wallpapers.first() == original);

        Wallpaper imported = original;
        imported.isImported = true;
        const auto list = WallpaperJson::encodeImportedList({imported});
        QVERIFY(list && list->startsWith('['));
        const auto back = WallpaperJson::decodeImportedList(*list);
        QVERIFY(back && back->size() == 1 && back->first() == imported);
        // Keys keep the record's order.
        QVERIFY(list->indexOf("\"id\"") < list->indexOf("\"title\""));
        QVERIFY(list->indexOf("\"resolution\"") < list->indexOf("\"isImported\""));
    }

    void importedListMustBeAnArray() {
        QVERIFY(!WallpaperJson::decodeImportedList(R"({"wallpapers":[]})"));
        QVERIFY(WallpaperJson::decodeImportedList("[]").value().isEmpty());
        QVERIFY(!WallpaperJson::decodeImportedList(QByteArray("[") + minimal + R"(,{"id":"b"}])"));
    }

    void nonFiniteSecondsMakeTheDocumentUnwritable() {
        for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity()}) {
            Wallpaper w = full();
            w.seconds = bad;
            QVERIFY(!WallpaperJson::encodeImportedList({full(), w}));
            QVERIFY(!WallpaperJson::encodeCatalog(Catalog{{w}}));
        }
    }

    void equalityAndHashCoverEveryField() {
        const Wallpaper a = full();
        QVERIFY(a == full());
        QCOMPARE(qHash(a), qHash(full()));

        Wallpaper noResolution = a;
        noResolution.resolution.reset();
        QVERIFY(!(a == noResolution));
        QVERIFY(qHash(a) != qHash(noResolution));

        Wallpaper otherTitle = a;
        otherTitle.title = QStringLiteral("x");
        QVERIFY(!(a == otherTitle));

        // An absent Boolean differs from false, and an absent poster from an empty one.
        Wallpaper noFlag = a;
        noFlag.isImported.reset();
        QVERIFY(!(a == noFlag));
        QVERIFY(qHash(a) != qHash(noFlag));
        Wallpaper emptyPoster = a;
        emptyPoster.poster = QString();
        Wallpaper absentPoster = a;
        absentPoster.poster.reset();
        QVERIFY(!(emptyPoster == absentPoster));
        QVERIFY(qHash(emptyPoster) != qHash(absentPoster));

        Wallpaper positiveZero = a;
        positiveZero.seconds = 0.0;
        Wallpaper negativeZero = a;
        negativeZero.seconds = -0.0;
        QVERIFY(positiveZero == negativeZero);
        QCOMPARE(qHash(positiveZero), qHash(negativeZero));

        const QSet<Wallpaper> set{a, full(), noResolution};
        QCOMPARE(set.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestWallpaperJson)
#include "tst_wallpaperjson.moc"
