// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakeSystemConditions.h"
#include "fakes/FakeWallpaperFactory.h"
#include "library/LibraryStore.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"
#include "support/TempXdgHome.h"
#include "support/XvfbSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {
// One cover timer period, and the time a tick may need once it fires.
constexpr int withinOnePeriod = WallpaperEngine::coverScanIntervalMs + 500;

XvfbSession& session() {
    return *XvfbSession::current();
}
} // namespace

// The engine's cover timer on the real screens and window list: players pause under a window that
// covers their display and resume within one timer period after it goes away. Windows, players and
// the other conditions are fakes.
class TestX11CoverEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void coveredPlayersPauseAndResume() {
        TempXdgHome home;
        QVERIFY(QDir().mkpath(home.libraryRoot() + QStringLiteral("/Library")));
        for (const char* id : {"a", "b"}) {
            QFile video(home.libraryRoot() + QStringLiteral("/Library/%1.mp4").arg(QLatin1String(id)));
            QVERIFY(video.open(QIODevice::WriteOnly));
        }
        LibraryStore store(home.libraryRoot());
        Preferences preferences(home.preferencesFile());
        X11ScreenSource screens;
        X11WindowList windowList;
        FakeWallpaperFactory factory;
        FakeSystemConditions conditions;
        WallpaperEngine engine(store, preferences, {screens, factory, conditions, windowList});
        engine.setAssignments(
            {{QStringLiteral("LEFT"), QStringLiteral("a")}, {QStringLiteral("RIGHT"), QStringLiteral("b")}});
        engine.start();
        const auto player = [&](const QString& id) {
            for (FakePlayer* p : factory.players()) {
                if (QFileInfo(p->file()).completeBaseName() == id)
                    return p;
            }
            return static_cast<FakePlayer*>(nullptr);
        };
        FakePlayer* left = player(QStringLiteral("a"));
        FakePlayer* right = player(QStringLiteral("b"));
        if (!left || !right)
            QFAIL("no player for a display");
        QVERIFY(left->isPlaying() && right->isPlaying());

        const auto xterm = session().startXterm();
        QVERIFY(xterm);
        QVERIFY(session().maximize(xterm->window));
        QTRY_VERIFY_WITH_TIMEOUT(!left->isPlaying(), withinOnePeriod);
        QVERIFY(right->isPlaying());
        QCOMPARE(engine.screensUnderAWindow(), QSet<QString>{"LEFT"});

        session().stop(xterm->pid);
        QTRY_VERIFY_WITH_TIMEOUT(left->isPlaying(), withinOnePeriod);
    }
};

LUMIVALE_X11_TEST_MAIN(TestX11CoverEngine)
#include "tst_x11coverengine.moc"
