// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display/DisplayIdentity.h"
#include "platform/display/EdidBlock.h"
#include "platform/display/SysfsEdid.h"

#include <QDir>
#include <QFile>
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

    void displayKeys() {
        const EdidBlock display{.serialNumber = 4242};
        const std::optional<QString> key = uuidAlone(display);
        // Stored keys depend on these values never changing: a name-based UUID of the manufacturer,
        // product and serials, or without a serial, of the week and year of manufacture.
        QCOMPARE(key.value(), QString("41359255-A668-5360-9828-11E21B444399"));
        QCOMPARE(uuidAlone({.serialText = "CN0ABC123"}).value(),
                 QString("A42FD0BE-985E-54FF-9B0C-61C8AC72B998"));
        QCOMPARE(uuidAlone({}).value(), QString("03F23047-E3D1-5305-929E-B82484C94D2E"));
        // On another connector, next to another display: the same key.
        QCOMPARE(uuidAlone(display, QStringLiteral("HDMI-1")), key);
        QCOMPARE(DisplayIdentity::uuids(
                     {Output{parsed({.productCode = 1}), "DP-1"}, Output{parsed(display), "DP-2"}})
                     .value(1),
                 key);

        // Twins without serials differ by connector, and keep their keys on the same connectors.
        const EdidBlock twin;
        const QList<std::optional<QString>> both =
            DisplayIdentity::uuids({Output{parsed(twin), "DP-1"}, Output{parsed(twin), "DP-2"}});
        QVERIFY(both[0] != both[1]);
        QVERIFY(both[0] != uuidAlone(twin));
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
