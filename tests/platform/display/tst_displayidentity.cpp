// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display/DisplayIdentity.h"
#include "platform/display/EdidBlock.h"
#include "platform/display/SysfsEdid.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using Output = DisplayIdentity::Output;
// Connector folder -> its edid file.
using DrmTree = QMap<QString, QByteArray>;

namespace {
std::optional<Edid> parsed(const EdidBlock& block) {
    return Edid::parse(block.bytes());
}

std::optional<QString> uuidAlone(const EdidBlock& block, const QString& connector = QStringLiteral("DP-1")) {
    return DisplayIdentity::uuids({Output{parsed(block), connector}}).value(0);
}
} // namespace

class TestDisplayIdentity : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parsesTheIdentityFields() {
        const std::optional<Edid> edid = parsed({.serialNumber = 0x12345678, .serialText = "CN0ABC123"});
        QVERIFY(edid);
        QCOMPARE(edid->manufacturer, "DEL");
        QCOMPARE(edid->productCode, 0xA0B1);
        QCOMPARE(edid->serialNumber, 0x12345678u);
        QCOMPARE(edid->serialText, "CN0ABC123");
        QCOMPARE(edid->modelName, "DELL U2720Q");
        QCOMPARE(edid->week, 12);
        QCOMPARE(edid->year, 2021);

        const std::optional<Edid> plain = parsed({.manufacturer = "GSM", .modelName = ""});
        QVERIFY(plain);
        QCOMPARE(plain->manufacturer, "GSM");
        QVERIFY(plain->modelName.isEmpty());
        QVERIFY(!plain->hasSerial());
    }

    void rejectsWhatIsNotABaseBlock() {
        const QByteArray good = EdidBlock{}.bytes();
        QVERIFY(Edid::parse(good + QByteArray(128, '\x01'))); // extension blocks are ignored
        QVERIFY(!Edid::parse(good.left(127)));
        QVERIFY(!Edid::parse(QByteArray()));
        QByteArray badSum = good;
        badSum[20] = static_cast<char>(badSum[20] + 1);
        QVERIFY(!Edid::parse(badSum));
        QByteArray badHeader = good;
        badHeader[0] = 1;
        badHeader[127] = static_cast<char>(badHeader[127] - 1);
        QVERIFY(!Edid::parse(badHeader));
    }

    void sameDisplaySameKey() {
        const EdidBlock display{.serialNumber = 4242};
        const std::optional<QString> key = uuidAlone(display);
        QVERIFY(key);
        QVERIFY(QRegularExpression(
                    QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"))
                    .match(*key)
                    .hasMatch());
        // On another connector, next to another display: the same key.
        QCOMPARE(uuidAlone(display, QStringLiteral("HDMI-1")), key);
        QCOMPARE(DisplayIdentity::uuids(
                     {Output{parsed({.productCode = 1}), "DP-1"}, Output{parsed(display), "DP-2"}})
                     .value(1),
                 key);
        // Stored keys depend on this value never changing.
        QCOMPARE(*key, DisplayIdentity::uuidText("EDID|DEL|a0b1|00001092|"));
    }

    void serialsTellUnitsApart() {
        QVERIFY(uuidAlone({.serialNumber = 1}) != uuidAlone({.serialNumber = 2}));
        QVERIFY(uuidAlone({.serialText = "A1"}) != uuidAlone({.serialText = "A2"}));
        QVERIFY(uuidAlone({.productCode = 1}) != uuidAlone({.productCode = 2}));
        QVERIFY(uuidAlone({.manufacturer = "DEL"}) != uuidAlone({.manufacturer = "GSM"}));
        // The model name is not part of the identity.
        QCOMPARE(uuidAlone({.modelName = "A"}), uuidAlone({.modelName = "B"}));
    }

    void weekAndYearOnlyWithoutSerial() {
        QCOMPARE(uuidAlone({.serialNumber = 7, .week = 1}), uuidAlone({.serialNumber = 7, .week = 30}));
        QCOMPARE(uuidAlone({.year = 2019, .serialText = "X"}), uuidAlone({.year = 2020, .serialText = "X"}));
        QVERIFY(uuidAlone({.week = 1}) != uuidAlone({.week = 30}));
        QVERIFY(uuidAlone({.year = 2019}) != uuidAlone({.year = 2020}));
    }

    void twinsWithoutSerialsDifferByConnector() {
        const EdidBlock twin;
        const QList<std::optional<QString>> both =
            DisplayIdentity::uuids({Output{parsed(twin), "DP-1"}, Output{parsed(twin), "DP-2"}});
        QVERIFY(both[0] && both[1]);
        QVERIFY(both[0] != both[1]);
        QVERIFY(both[0] != uuidAlone(twin));
        // The same pair on the same connectors next time: the same keys.
        QCOMPARE(DisplayIdentity::uuids({Output{parsed(twin), "DP-2"}, Output{parsed(twin), "DP-1"}}),
                 (QList<std::optional<QString>>{both[1], both[0]}));
    }

    // Under Wayland the EDID comes from the kernel's connector folders: the same bytes must give the
    // same keys as the X11 path, which reads them from RandR.
    void sysfsEdidGivesTheSameKeys_data() {
        QTest::addColumn<DrmTree>("tree");
        QTest::addColumn<QStringList>("connectors");
        QTest::addColumn<QList<QByteArray>>("edids"); // what RandR would give for each connector
        const QByteArray serial = EdidBlock{.serialNumber = 4242}.bytes();
        const QByteArray twin = EdidBlock{}.bytes();
        QTest::newRow("one display") << DrmTree{{"card1-DP-1", serial}} << QStringList{"DP-1"}
                                     << QList<QByteArray>{serial};
        QTest::newRow("twins") << DrmTree{{"card0-DP-1", twin}, {"card0-DP-2", twin}}
                               << QStringList{"DP-1", "DP-2"} << QList<QByteArray>{twin, twin};
        QTest::newRow("short file") << DrmTree{{"card0-DP-1", serial.left(100)}} << QStringList{"DP-1"}
                                    << QList<QByteArray>{QByteArray()};
        QTest::newRow("missing file")
            << DrmTree{{"card0-DP-10", serial}} << QStringList{"DP-1"} << QList<QByteArray>{QByteArray()};
    }
    void sysfsEdidGivesTheSameKeys() {
        QFETCH(DrmTree, tree);
        QFETCH(QStringList, connectors);
        QFETCH(QList<QByteArray>, edids);
        QTemporaryDir root;
        for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
            QVERIFY(QDir(root.path()).mkpath(it.key()));
            QFile file(root.filePath(it.key() + "/edid"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size());
        }
        QList<Output> fromSysfs;
        QList<Output> fromRandr;
        for (qsizetype i = 0; i < connectors.size(); ++i) {
            fromSysfs.append({Edid::parse(SysfsEdid::read(connectors.at(i), root.path())), connectors.at(i)});
            fromRandr.append({Edid::parse(edids.at(i)), connectors.at(i)});
        }
        const QList<std::optional<QString>> keys = DisplayIdentity::uuids(fromSysfs);
        QCOMPARE(keys, DisplayIdentity::uuids(fromRandr));
        QCOMPARE(keys.first().has_value(), !edids.first().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDisplayIdentity)
#include "tst_displayidentity.moc"
