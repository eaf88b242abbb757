// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakePlatform.h"
#include "library/LibraryStore.h"
#include "shell/LibraryWindow.h"
#include "shell/WindowFrame.h"
#include "support/TempXdgHome.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QScreen>
#include <QTest>

using Frame = std::optional<QRect>;

namespace {
// A primary screen with a 30-pixel panel along its bottom, and a smaller one to its right.
const QList<QRect> screens{QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)};
const QSize initial(1120, 740);
const QSize minimum(760, 520);
} // namespace

class TestLibraryFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void place_data() {
        QTest::addColumn<Frame>("remembered");
        QTest::addColumn<QList<QRect>>("layout");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("first time: centred") << Frame() << screens << QRect(400, 155, 1120, 740);
        QTest::newRow("first time, small screen")
            << Frame() << QList<QRect>{QRect(0, 0, 1024, 600)} << QRect(0, 0, 1024, 600);
        QTest::newRow("on the primary")
            << Frame(QRect(100, 80, 900, 600)) << screens << QRect(100, 80, 900, 600);
        QTest::newRow("on the second")
            << Frame(QRect(2000, 50, 900, 600)) << screens << QRect(2000, 50, 900, 600);
        QTest::newRow("over the right edge")
            << Frame(QRect(3000, 300, 800, 600)) << screens << QRect(2400, 300, 800, 600);
        QTest::newRow("over the bottom panel")
            << Frame(QRect(200, 700, 800, 600)) << screens << QRect(200, 450, 800, 600);
        QTest::newRow("mostly on the second")
            << Frame(QRect(1700, 100, 900, 600)) << screens << QRect(1920, 100, 900, 600);
        QTest::newRow("on a screen that is gone")
            << Frame(QRect(5000, 200, 900, 600)) << screens << QRect(2300, 200, 900, 600);
        QTest::newRow("far above and left")
            << Frame(QRect(-3000, -2000, 900, 600)) << screens << QRect(0, 0, 900, 600);
        QTest::newRow("larger than the screen")
            << Frame(QRect(100, 100, 3000, 2000)) << screens << QRect(0, 0, 1920, 1050);
        QTest::newRow("below the minimum")
            << Frame(QRect(10, 10, 200, 100)) << screens << QRect(10, 10, 760, 520);
    }
    void place() {
        QFETCH(Frame, remembered);
        QFETCH(QList<QRect>, layout);
        QFETCH(QRect, placed);
        QCOMPARE(WindowFrame::place(remembered, layout, initial, minimum), placed);
    }

    void storedForm() {
        const QRect frame(-20, 40, 1000, 700);
        QCOMPARE(WindowFrame::fromJson(WindowFrame::toJson(frame)), Frame(frame));
        QCOMPARE(WindowFrame::toJson(frame),
                 QJsonValue(QJsonObject{{"x", -20}, {"y", 40}, {"width", 1000}, {"height", 700}}));
        for (const QJsonValue& bad :
             {QJsonValue("1 2 3 4"), QJsonValue(QJsonObject{{"x", 1}, {"y", 2}, {"width", 3}}),
              QJsonValue(QJsonObject{{"x", 1.5}, {"y", 2}, {"width", 3}, {"height", 4}}),
              QJsonValue(QJsonObject{{"x", 1}, {"y", 2}, {"width", 0}, {"height", 4}}),
              QJsonValue(QJsonObject{{"x", "1"}, {"y", 2}, {"width", 3}, {"height", 4}})})
            QVERIFY(!WindowFrame::fromJson(bad));
    }

    // The window takes the remembered frame, clamped onto a connected screen, and remembers where the
    // user puts it.
    void windowRemembersItsFrame() {
        TempXdgHome home;
        FakePlatform fakes;
        Preferences preferences(home.preferencesFile());
        WallpaperEngine engine(LibraryStore::shared(), preferences, fakes.platform());
        WallpaperEngine::setShared(&engine);
        QList<QRect> available;
        for (const QScreen* screen : QGuiApplication::screens())
            available.append(screen->availableGeometry());
        const QRect screen = available.first();

        {
            LibraryWindow window(preferences);
            QCOMPARE(window.title(), QString("Lumivale"));
            QCOMPARE(window.minimumSize(), QSize(760, 520));
            QCOMPARE(window.color(), QColor::fromRgbF(0.043f, 0.047f, 0.063f));
            QCOMPARE(window.geometry(), WindowFrame::place(std::nullopt, available, initial, minimum));
            window.present();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.setGeometry(screen.x() + 10, screen.y() + 20, 770, 530);
            QTRY_COMPARE(WindowFrame::fromJson(preferences.value(PreferenceKeys::libraryWindowFrame)),
                         Frame(QRect(screen.x() + 10, screen.y() + 20, 770, 530)));
        }
        {
            LibraryWindow window(preferences);
            QCOMPARE(window.geometry(), QRect(screen.x() + 10, screen.y() + 20, 770, 530));
        }

        preferences.setValue(PreferenceKeys::libraryWindowFrame,
                             WindowFrame::toJson(QRect(screen.right() + 4000, screen.y(), 800, 600)));
        LibraryWindow window(preferences);
        QVERIFY(screen.contains(window.geometry()) || window.geometry().size() == screen.size());
        QCOMPARE(window.geometry(), WindowFrame::place(QRect(screen.right() + 4000, screen.y(), 800, 600),
                                                       available, initial, minimum));
        WallpaperEngine::setShared(nullptr);
    }
};

QTEST_MAIN(TestLibraryFrame)
#include "tst_libraryframe.moc"
