// SPDX-License-Identifier: GPL-3.0-or-later
// The library window at 1120 × 740 under Xvfb with openbox, over a real store and engine (fake platform
// services) and a catalog served on loopback from the demo media (data/make-demo-catalog).
//
//   LUMIVALE_DEMO=DIR      the demo catalog folder (media/ with the made files); required
//   LUMIVALE_RECORDS=N     catalog size for the benchmark (5000)
//   LUMIVALE_SHOTS=DIR     also take the screenshots of the window's states into DIR
//
// Prints: time from showing the window to its first frame, RSS after opening and after scrolling to the
// end, the card delegates alive, and the poster cache's bytes; then, in the application's own window,
// the time from reopening a closed window to its first frame, and whether tab and scroll came back.
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakePlatform.h"
#include "interface/InterfaceServices.h"
#include "interface/LibraryBackground.h"
#include "interface/LoginItemControl.h"
#include "interface/PosterCache.h"
#include "library/LibraryStore.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "shell/LibraryWindow.h"
#include "support/FileContents.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"
#include "support/XvfbSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <memory>

namespace {
const QStringList demoIds{"aurora-drift", "ember-field", "deep-tide", "mandelbrot-dive",
                          "julia-bloom",  "life-garden", "rule-110",  "signal-bars"};
const QStringList demoTitles{"Aurora Drift", "Ember Field", "Deep Tide", "Mandelbrot Dive",
                             "Julia Bloom",  "Life Garden", "Rule 110",  "Signal Bars"};
const QStringList demoCategories{"Abstract", "Abstract", "Abstract", "Fractals",
                                 "Fractals", "Patterns", "Patterns", "Patterns"};

qint64 rssKiB() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

class FakeLogin : public LoginItemControl {
public:
    [[nodiscard]] bool isEnabled() const override { return m_enabled; }
    bool setEnabled(bool enabled) override {
        m_enabled = enabled;
        return true;
    }

private:
    bool m_enabled = false;
};

// The catalog, the posters, previews and videos: record i uses demo media i % 8 under its own URLs, so
// that every card loads its own poster.
class DemoServer {
public:
    explicit DemoServer(const QString& demo) {
        for (const QString& id : demoIds) {
            m_media.insert(id + ".jpg", fileContents(demo + "/media/" + id + ".jpg"));
            m_media.insert(id + "-preview.mp4", fileContents(demo + "/media/" + id + "-preview.mp4"));
            m_media.insert(id + ".mp4", fileContents(demo + "/media/" + id + ".mp4"));
        }
    }

    void setCatalog(int records) {
        QJsonArray list;
        for (int i = 0; i < records; ++i) {
            const int d = i % demoIds.size();
            const QString id =
                records <= demoIds.size() ? demoIds[d] : QString("%1-%2").arg(demoIds[d]).arg(i);
            const QString path = "/media/" + QString::number(d) + "/" + id;
            const QString base = server.baseUrl().toString() + path;
            for (const QString& suffix : {QString("-preview.mp4"), QString(".mp4"), QString(".jpg")}) {
                HttpTestServer::Response response{.body = m_media.value(demoIds[d] + suffix)};
                if (suffix == ".mp4" && slowVideos.contains(id)) {
                    response.chunkSize = 8 * 1024;
                    response.intervalMs = 100;
                }
                server.setResponse(path + suffix, response);
            }
            list.append(
                QJsonObject{{"id", id},
                            {"title", records <= demoIds.size() ? demoTitles[d]
                                                                : QString("%1 %2").arg(demoTitles[d]).arg(i)},
                            {"category", demoCategories[d]},
                            {"poster", base + ".jpg"},
                            {"preview", base + "-preview.mp4"},
                            {"video", base + ".mp4"},
                            {"resolution", "1920 × 1080"}});
        }
        server.setResponse(
            "/v1/catalog",
            {.body = QJsonDocument(QJsonObject{{"wallpapers", list}}).toJson(QJsonDocument::Compact)});
    }

    // Videos of these ids arrive slowly, so that a download can be seen in progress; set before the catalog.
    QSet<QString> slowVideos;
    HttpTestServer server;

private:
    QHash<QString, QByteArray> m_media;
};
} // namespace

class BenchLibraryWindow : public QObject {
    Q_OBJECT

    QString m_demo = qEnvironmentVariable("LUMIVALE_DEMO");
    QString m_shots = qEnvironmentVariable("LUMIVALE_SHOTS");
    int m_records = qEnvironmentVariableIsSet("LUMIVALE_RECORDS")
                        ? qEnvironmentVariableIntValue("LUMIVALE_RECORDS")
                        : 5000;
    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<TempXdgHome> m_home;
    FakePlatform m_fakes;
    FakeLogin m_login;
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<WallpaperEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;

    // A fresh home, store, engine and window, as the application makes them on showLibrary.
    void open(bool refresh = true) {
        m_view.reset();
        m_engine.reset();
        m_store.reset();
        m_home = std::make_unique<TempXdgHome>();
        m_store = std::make_unique<LibraryStore>(m_home->libraryRoot());
        m_store->setMediaInspector(std::make_shared<FfmpegMediaInspector>());
        m_preferences = std::make_unique<Preferences>(m_home->preferencesFile());
        m_engine = std::make_unique<WallpaperEngine>(*m_store, *m_preferences, m_fakes.platform());
        m_store->setWallpaperTarget(m_engine.get());
        if (refresh) {
            m_store->refresh();
            QTRY_VERIFY_WITH_TIMEOUT(!m_store->loading(), 20000);
        }
        m_view = std::make_unique<QQuickView>();
        InterfaceServices::install(
            *m_view->engine(),
            {.store = *m_store, .engine = *m_engine, .screens = m_fakes.screens, .loginItem = m_login});
        m_view->setTitle("Lumivale");
        m_view->setColor(LibraryBackground::color());
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_view->setMinimumSize({760, 520});
        m_view->resize(1120, 740);
        m_view->setPosition(40, 40);
    }

    [[nodiscard]] QQuickItem* item(const QString& name) const {
        return m_view->rootObject()->findChild<QQuickItem*>(name);
    }
    [[nodiscard]] QObject* object(const QString& name) const {
        return m_view->rootObject()->findChild<QObject*>(name);
    }
    [[nodiscard]] QQuickItem* grid() const { return item("grid"); }

    [[nodiscard]] QList<QQuickItem*> cards() const {
        QList<QQuickItem*> list;
        for (QQuickItem* child : grid()->property("contentItem").value<QQuickItem*>()->childItems()) {
            if (child->property("wallpaperId").isValid())
                list.append(child);
        }
        return list;
    }
    [[nodiscard]] QQuickItem* card(const QString& id) const {
        for (QQuickItem* c : cards()) {
            if (c->property("wallpaperId").toString() == id)
                return c;
        }
        return nullptr;
    }
    [[nodiscard]] QPoint centre(QQuickItem* target) const {
        return target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    }
    void click(QQuickItem* target) { QTest::mouseClick(m_view.get(), Qt::LeftButton, {}, centre(target)); }

    void clickTab(const QString& title) {
        for (QQuickItem* tab : item("tabs")->childItems()) {
            if (tab->property("title").toString() == title)
                return click(tab);
        }
        QFAIL(qPrintable("no tab " + title));
    }

    bool postersSettled() const {
        for (QQuickItem* c : cards()) {
            const auto* poster = c->findChild<QQuickItem*>("poster");
            if (c->isVisible() && poster && poster->property("status").toInt() == 1)
                return false;
        }
        return true;
    }

    void shot(const QString& name) {
        QTest::qWait(400);
        const QString full = XvfbSession::current()->tempPath() + "/root.png";
        QVERIFY(XvfbSession::current()->screenshot(full));
        QImage root(full);
        const QImage window = root.copy(m_view->geometry());
        QVERIFY(window.save(m_shots + "/" + name + ".png"));
        qInfo("screenshot %s", qPrintable(name));
    }

private Q_SLOTS:
    void initTestCase() {
        if (m_demo.isEmpty() || !QFile::exists(m_demo + "/media/aurora-drift.jpg"))
            QSKIP("LUMIVALE_DEMO must name a folder made by data/make-demo-catalog");
        m_server = std::make_unique<DemoServer>(m_demo);
        qputenv("LUMIVALE_CATALOG_URL", m_server->server.baseUrl().toString().toUtf8());
        m_fakes.screens.setScreens({FakeScreenSource::screen("DELL U2720Q", QRect(0, 0, 1920, 1080)),
                                    FakeScreenSource::screen("LG HDR 4K", QRect(1920, 0, 1920, 1080))});
    }

    void firstFrameAndScrolling() {
        m_server->setCatalog(m_records);
        open();
        QCOMPARE(m_store->catalog().size(), m_records);

        QElapsedTimer timer;
        timer.start();
        bool framed = false;
        qint64 firstFrameMs = -1;
        m_view->setSource(InterfaceServices::libraryViewUrl());
        QCOMPARE(m_view->status(), QQuickView::Ready);
        connect(m_view.get(), &QQuickWindow::frameSwapped, this, [&] {
            if (!framed)
                firstFrameMs = timer.elapsed();
            framed = true;
        });
        m_view->show();
        QTRY_VERIFY_WITH_TIMEOUT(framed, 10000);
        qInfo("records: %d", m_records);
        qInfo("show to first frame: %lld ms", firstFrameMs);

        QTRY_VERIFY_WITH_TIMEOUT(postersSettled(), 20000);
        QTest::qWait(500);
        qInfo("RSS after opening: %.1f MiB, delegates alive: %lld", rssKiB() / 1024.0,
              qint64(cards().size()));

        // The pointer rests on the footer, so that no card under it starts a preview while scrolling.
        QTest::mouseMove(m_view.get(), QPoint(500, 730));
        QQuickItem* view = grid();
        const double step = view->height() * 0.9;
        qsizetype most = 0;
        QElapsedTimer scrolling;
        scrolling.start();
        while (!view->property("atYEnd").toBool()) {
            view->setProperty("contentY", view->property("contentY").toDouble() + step);
            QTest::qWait(40);
            most = std::max(most, cards().size());
        }
        QTRY_VERIFY_WITH_TIMEOUT(postersSettled(), 20000);
        QTest::qWait(500);
        qInfo("scrolled to the end in %lld ms; most delegates alive while scrolling: %lld",
              scrolling.elapsed(), qint64(most));
        qInfo("RSS after scrolling to the end: %.1f MiB, delegates alive: %lld, poster cache: %.1f MiB in "
              "%lld images",
              rssKiB() / 1024.0, qint64(cards().size()), PosterCache::shared().bytes() / 1048576.0,
              qint64(PosterCache::shared().count()));
        qInfo("requests to the server (catalog and posters): %lld",
              qint64(m_server->server.requests().size()));
    }

    // The application's window: closed, its view released, then opened again as the tray's "Open
    // Lumivale" does. Reopening loads the view anew; the tab and the scroll position come back.
    void reopenAfterClose() {
        m_server->setCatalog(m_records);
        open();
        m_view.reset();
        const auto load = [this](QQuickView& view) {
            InterfaceServices::install(
                *view.engine(),
                {.store = *m_store, .engine = *m_engine, .screens = m_fakes.screens, .loginItem = m_login});
            view.setColor(LibraryBackground::color());
            view.setResizeMode(QQuickView::SizeRootObjectToView);
            view.setSource(InterfaceServices::libraryViewUrl());
        };
        LibraryWindow window(*m_preferences, load);
        window.present();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QQuickItem* grid = window.rootObject()->findChild<QQuickItem*>("grid");
        QObject* model = window.rootObject()->property("model").value<QObject*>();
        model->setProperty("category", "Fractals");
        QTRY_VERIFY(grid->property("contentHeight").toDouble() > 3000);
        grid->setProperty("contentY", 2000.0);
        QTest::qWait(500);
        const qint64 openKiB = rssKiB();
        window.close();
        QTRY_VERIFY(!window.rootObject());
        QTest::qWait(500);
        const qint64 closedKiB = rssKiB();

        QElapsedTimer timer;
        qint64 firstFrameMs = -1;
        connect(&window, &QQuickWindow::frameSwapped, this, [&] {
            if (firstFrameMs < 0)
                firstFrameMs = timer.elapsed();
        });
        timer.start();
        window.present();
        const qint64 presentedMs = timer.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(firstFrameMs >= 0, 10000);
        qInfo("view loaded and window shown in %lld ms", presentedMs);
        grid = window.rootObject()->findChild<QQuickItem*>("grid");
        model = window.rootObject()->property("model").value<QObject*>();
        qInfo("reopen to first frame: %lld ms (%d records)", firstFrameMs, m_records);
        qInfo("RSS with the window open: %.1f MiB, closed: %.1f MiB", openKiB / 1024.0, closedKiB / 1024.0);
        qInfo("after reopening: category %s, scrolled to %.0f",
              qPrintable(model->property("category").toString()), grid->property("contentY").toDouble());
        window.close();
        QTest::qWait(200);
    }

    void screenshots() {
        if (m_shots.isEmpty())
            QSKIP("LUMIVALE_SHOTS not set");
        QDir().mkpath(m_shots);
        PosterCache::shared().clear();
        m_server->slowVideos = {"ember-field"};
        m_server->setCatalog(demoIds.size());
        open();
        m_view->setSource(InterfaceServices::libraryViewUrl());
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        QTRY_COMPARE(cards().size(), demoIds.size());
        QTRY_VERIFY_WITH_TIMEOUT(postersSettled(), 20000);
        QTest::mouseMove(m_view.get(), QPoint(5, 700));
        shot("01-catalog");

        // Download and play one; the pause button appears.
        click(card("aurora-drift"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->assignments().isEmpty(), 20000);
        QTest::mouseMove(m_view.get(), QPoint(5, 700));
        shot("02-playing");

        click(card("ember-field"));
        QTest::mouseMove(m_view.get(), QPoint(5, 700));
        QTRY_VERIFY_WITH_TIMEOUT(m_store->progress().value("ember-field") > 0.3, 20000);
        shot("03-downloading");
        QTRY_VERIFY_WITH_TIMEOUT(m_store->progress().isEmpty(), 60000);

        // The zooming fractal shows the clip moving: two frames a second apart.
        QTest::mouseMove(m_view.get(), centre(card("julia-bloom")));
        QTest::qWait(1500);
        shot("04-hover-preview");
        QTest::qWait(600);
        shot("04-hover-preview-later");
        // In and out quickly: a player is made and released each time.
        for (int i = 0; i < 10; ++i) {
            QTest::mouseMove(m_view.get(), centre(card(demoIds[i % demoIds.size()])));
            QTest::qWait(120);
            QTest::mouseMove(m_view.get(), QPoint(5, 700));
            QTest::qWait(60);
        }
        QTest::mouseMove(m_view.get(), QPoint(5, 700));

        clickTab("Downloaded");
        QTRY_COMPARE(cards().size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(postersSettled(), 20000);
        shot("05-downloaded-tab");
        clickTab("All");

        QTest::mouseClick(m_view.get(), Qt::RightButton, {}, centre(card("aurora-drift")));
        QTRY_VERIFY(object("cardMenu")->property("opened").toBool());
        shot("11-card-menu");
        QTest::keyClick(m_view.get(), Qt::Key_Escape);
        QTRY_VERIFY(!object("cardMenu")->property("visible").toBool());
        click(item("displayPicker"));
        QTRY_VERIFY(object("pickerMenu")->property("opened").toBool());
        shot("12-display-picker");
        QTest::keyClick(m_view.get(), Qt::Key_Escape);
        QTRY_VERIFY(!object("pickerMenu")->property("visible").toBool());

        click(item("settingsButton"));
        QTRY_VERIFY(object("settingsSheet")->property("opened").toBool());
        shot("06-settings");
        click(item("done"));
        QTRY_VERIFY(!object("settingsSheet")->property("visible").toBool());

        // A real drag of a local video over the window, then dropped: imported under its own name.
        const QString video = m_home->path() + "/Sunset over the bay.mp4";
        QVERIFY(QFile::copy(m_demo + "/media/life-garden.mp4", video));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(video)});
        QDragEnterEvent enter(QPoint(560, 400), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(m_view.get(), &enter);
        QTRY_VERIFY(item("dropOverlay")->isVisible());
        shot("07-drop-overlay");
        QDropEvent drop(QPointF(560, 400), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(m_view.get(), &drop);
        QTRY_VERIFY(!item("dropOverlay")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(m_store->imported().size(), 1, 30000);
        QCOMPARE(m_store->imported().first().title, QStringLiteral("Sunset over the bay"));
        QTRY_VERIFY_WITH_TIMEOUT(postersSettled(), 20000);
        shot("08-imported");

        m_store->setProblem(
            QStringLiteral("The video couldn't be downloaded. Check your connection and try again."));
        QTRY_VERIFY(object("problemAlert")->property("opened").toBool());
        shot("09-problem");
        QTest::keyClick(m_view.get(), Qt::Key_Return);
        QTRY_VERIFY(!m_store->problem());

        // The service gone and nothing cached: the offline message with "Try again".
        m_server->server.stop();
        open(false);
        m_view->setSource(InterfaceServices::libraryViewUrl());
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_store->refresh();
        QTRY_VERIFY_WITH_TIMEOUT(m_store->offline(), 70000);
        shot("10-offline");
        QVERIFY(m_server->server.start());
    }

    void cleanupTestCase() {
        m_view.reset();
        InterfaceServices::uninstall();
        if (m_store)
            m_store->setWallpaperTarget(nullptr);
        m_engine.reset();
        m_store.reset();
    }
};

int main(int argc, char** argv) {
    qputenv("LUMIVALE_XVFB_MONITORS", "LEFT");
    return XvfbSession::exec(argc, argv, [] { return std::make_unique<BenchLibraryWindow>(); });
}

#include "bench_library_window.moc"
