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
    // The fields the stored key below does not pin.
    void parsesTheIdentityFields() {
        const std::optional<Edid> edid = parsed({.serialText = "CN0ABC123"});
        QVERIFY(edid);
        QCOMPARE(edid->serialText, "CN0ABC123");
        QCOMPARE(edid->modelName, "DELL U2720Q");
        QCOMPARE(edid->week, 12);
        QCOMPARE(edid->year, 2021);
    }

    void rejectsWhatIsNotABaseBlock() {
        const QByteArray good = EdidBlock{}.bytes();
        QVERIFY(Edid::parse(good + QByteArray(128, '\x01'))); // extension blocks are ignored
        QVERIFY(!Edid::parse(good.left(127)));
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

    // Manufacturer, product and serial number are pinned by the stored key above.
    void serialTextWeekAndYear() {
        QVERIFY(uuidAlone({.serialText = "A1"}) != uuidAlone({.serialText = "A2"}));
        QCOMPARE(uuidAlone({.serialNumber = 7, .week = 1}), uuidAlone({.serialNumber = 7, .week = 30}));
        QCOMPARE(uuidAlone({.year = 2019, .serialText = "X"}), uuidAlone({.year = 2020, .serialText = "X"}));
        QVERIFY(uuidAlone({.week = 1}) != uuidAlone({.week = 30}));
        QVERIFY(uuidAlone({.year = 2019}) != uuidAlone({.year = 2020}));
    }

    void twinsWithoutSerialsDifferByConnector() {
        const EdidBlock twin;
        const QList<std::optional<QString>> both =
            DisplayIdentity::uuids({Output{parsed(twin), "DP-1"}, Output{parsed(twin), "DP-2"}});
        QVERIFY(both[0] != both[1]);
        QVERIFY(both[0] != uuidAlone(twin));
        // The same pair on the same connectors next time: the same keys.
        QCOMPARE(DisplayIdentity::uuids({Output{parsed(twin), "DP-2"}, Output{parsed(twin), "DP-1"}}),
                 (QList<std::optional<QString>>{both[1], both[0]}));
    }

    // Under Wayland the EDID comes from the kernel's connector folders, the whole name after "card<N>-".
    void readsTheEdidFromSysfs() {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("card1-DP-1"));
        QFile file(root.filePath("card1-DP-1/edid"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("EDID") == 4);
        file.close();
        QCOMPARE(SysfsEdid::read("DP-1", root.path()), "EDID");
        QCOMPARE(SysfsEdid::read("1", root.path()), QByteArray());
        QCOMPARE(SysfsEdid::read("HDMI-1", root.path()), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestDisplayIdentity)
#include "tst_displayidentity.moc"
