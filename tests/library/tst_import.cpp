// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryTestFiles.h"
#include "RecordingTarget.h"
#include "library/LibraryStore.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"

#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <mutex>
#include <sys/stat.h>

using namespace LibraryTestFiles;

namespace {
// The real inspector with one answer changed, for the cases real files cannot produce on demand.
class AlteredInspector final : public MediaInspector {
public:
    enum class Change { UnknownDuration, NoPoster };
    explicit AlteredInspector(Change change) : m_change(change) {}

    std::optional<double> probeVideo(const QString& path) const override {
        const auto seconds = m_real.probeVideo(path);
        if (seconds && m_change == Change::UnknownDuration)
            return std::nan("");
        return seconds;
    }
    std::optional<QByteArray> posterJpeg(const QString& path, double at, QSize box,
                                         int quality) const override {
        {
            const std::lock_guard lock(m_mutex);
            m_posterTimes.append(at);
        }
        if (m_change == Change::NoPoster)
            return std::nullopt;
        return m_real.posterJpeg(path, at, box, quality);
    }
    QList<double> posterTimes() const {
        const std::lock_guard lock(m_mutex);
        return m_posterTimes;
    }

private:
    Change m_change;
    FfmpegMediaInspector m_real;
    mutable std::mutex m_mutex;
    mutable QList<double> m_posterTimes;
};

QStringList importedFiles(const TempXdgHome& home) {
    return QDir(home.libraryRoot() + QStringLiteral("/Imported")).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

class TestImport : public QObject {
    Q_OBJECT

    TestVideos m_videos;
    std::shared_ptr<FfmpegMediaInspector> m_inspector = std::make_shared<FfmpegMediaInspector>();

    QUrl url(TestVideo kind) {
        const QString path = m_videos.path(kind);
        if (path.isEmpty())
            qFatal("test video could not be made");
        return QUrl::fromLocalFile(path);
    }

    static bool importAll(LibraryStore& store, const QList<QUrl>& urls) {
        QSignalSpy finished(&store, &LibraryStore::importsFinished);
        store.importVideos(urls);
        return finished.wait(60'000);
    }

private Q_SLOTS:
    void eachTestVideoImportsOrIsRefused_data() {
        QTest::addColumn<TestVideo>("kind");
        for (const TestVideo kind : TestVideos::allKinds())
            QTest::newRow(qPrintable(TestVideos::info(kind).fileName)) << kind;
    }

    void eachTestVideoImportsOrIsRefused() {
        QFETCH(TestVideo, kind);
        const TestVideoInfo info = TestVideos::info(kind);
        TempXdgHome home;
        LibraryStore store(home.libraryRoot());
        store.setMediaInspector(m_inspector);
        RecordingTarget target;
        store.setWallpaperTarget(&target);
        QVERIFY(importAll(store, {url(kind)}));

        if (!info.isVideo) {
            QVERIFY(store.imported().isEmpty());
            QCOMPARE(
                store.problem(),
                std::optional(info.fileName + QStringLiteral(" can't be used. Try an MP4 or MOV video.")));
            QVERIFY(importedFiles(home).isEmpty());
            QVERIFY(target.used.isEmpty());
            QCOMPARE(store.revision(), 0);
            return;
        }

        QVERIFY2(!store.problem(), qPrintable(store.problemText()));
        QCOMPARE(store.imported().size(), 1);
        const Wallpaper w = store.imported().first();
        QVERIFY(QRegularExpression(QStringLiteral("^own-[0-9a-f]{8}$")).match(w.id).hasMatch());
        QCOMPARE(w.category, QStringLiteral("Your videos"));
        QVERIFY(w.imported());
        QVERIFY(!w.bytes && !w.resolution);
        QVERIFY(w.seconds && std::abs(*w.seconds - info.seconds) < 0.1);
        const QString suffix = QFileInfo(info.fileName).suffix().toLower();
        QCOMPARE(*w.video,
                 home.libraryRoot() + QStringLiteral("/Imported/") + w.id + QLatin1Char('.') + suffix);
        QCOMPARE(read(*w.video), read(url(kind).toLocalFile()));
        QCOMPARE(*w.preview, QUrl::fromLocalFile(*w.video).toString());
        QCOMPARE(*w.poster, QUrl::fromLocalFile(home.libraryRoot() + QStringLiteral("/Imported/") + w.id +
                                                QStringLiteral(".jpg"))
                                .toString());

        const QImage poster(QUrl(*w.poster).toLocalFile());
        QVERIFY(!poster.isNull());
        QVERIFY(poster.width() <= 960 && poster.height() <= 540);
        const QSize upright = info.displaySize.scaled(QSize(960, 540), Qt::KeepAspectRatio);
        const QSize expected =
            info.displaySize.width() > 960 || info.displaySize.height() > 540 ? upright : info.displaySize;
        QVERIFY2(std::abs(poster.width() - expected.width()) <= 2 &&
                     std::abs(poster.height() - expected.height()) <= 2,
                 qPrintable(QStringLiteral("%1x%2").arg(poster.width()).arg(poster.height())));

        QCOMPARE(store.localURL(w.id), w.video);
        QCOMPARE(target.used, (QList<QPair<QString, QString>>{{w.id, QStringLiteral("*")}}));
        QCOMPARE(store.revision(), 1);
        // The list survives a restart.
        QCOMPARE(LibraryStore(home.libraryRoot()).imported(), store.imported());
    }

    void titlesAndCopiesFollowTheSourceName() {
        TempXdgHome home;
        LibraryStore store(home.libraryRoot());
        store.setMediaInspector(m_inspector);
        QVERIFY(importAll(store, {url(TestVideo::ClipUpperMov), url(TestVideo::MyHolidayMp4),
                                  url(TestVideo::NoExtension)}));
        QCOMPARE(store.imported().size(), 3);
        const Wallpaper none = store.imported().at(0), holiday = store.imported().at(1),
                        clip = store.imported().at(2);
        QCOMPARE(clip.title, QStringLiteral("Clip"));
        QVERIFY(clip.video->endsWith(QStringLiteral(".mov")));
        QCOMPARE(holiday.title, QStringLiteral("my.holiday"));
        QVERIFY(holiday.video->endsWith(QStringLiteral(".mp4")));
        QCOMPARE(none.title, QStringLiteral("clip"));
        QVERIFY(none.video->endsWith(none.id + QLatin1Char('.')));
    }

    void batchesPutTheLastSuccessOnEveryDisplay() {
        TempXdgHome home;
        LibraryStore store(home.libraryRoot());
        store.setMediaInspector(m_inspector);
        RecordingTarget target;
        store.setWallpaperTarget(&target);
        QStringList seen;
        connect(&store, &LibraryStore::importedChanged, this,
                [&] { seen.append(store.imported().first().title); });

        // The same file twice, then a bad one: two records, two copies, the second plays, the bad one is
        // named.
        const QUrl a = url(TestVideo::TinySilent);
        QVERIFY(importAll(store, {a, a, url(TestVideo::AudioOnly)}));
        QCOMPARE(store.imported().size(), 2);
        QVERIFY(store.imported().at(0).id != store.imported().at(1).id);
        QCOMPARE(seen, (QStringList{"tiny", "tiny"}));
        QCOMPARE(store.revision(), 2);
        QCOMPARE(store.problem(),
                 std::optional(QStringLiteral("audio-only.m4a can't be used. Try an MP4 or MOV video.")));
        QCOMPARE(target.used,
                 (QList<QPair<QString, QString>>{{store.imported().at(0).id, QStringLiteral("*")}}));
        QCOMPARE(importedFiles(home).size(), 4);

        // A later success does not clear the problem; an all-bad batch puts nothing on the displays.
        QVERIFY(importAll(store, {url(TestVideo::TextNamedMov)}));
        QCOMPARE(target.used.size(), 1);
        QCOMPARE(store.problem(),
                 std::optional(QStringLiteral("notes.mov can't be used. Try an MP4 or MOV video.")));
        QVERIFY(importAll(store, {url(TestVideo::Short1_5s)}));
        QCOMPARE(store.problem(),
                 std::optional(QStringLiteral("notes.mov can't be used. Try an MP4 or MOV video.")));
        QCOMPARE(target.used.size(), 2);
    }

    void posterFrameTime() {
        TempXdgHome home;
        LibraryStore store(home.libraryRoot());
        auto timing = std::make_shared<AlteredInspector>(AlteredInspector::Change::UnknownDuration);
        store.setMediaInspector(timing);
        QVERIFY(importAll(store, {url(TestVideo::Short1_5s)}));
        // A duration that is not finite is left out, so the list stays writable, and the frame is taken at 1
        // s.
        QCOMPARE(store.imported().size(), 1);
        QVERIFY(!store.imported().first().seconds);
        QCOMPARE(timing->posterTimes(), QList<double>{1.0});
        QCOMPARE(LibraryStore(home.libraryRoot()).imported().size(), 1);

        // Real durations: the middle of a short clip, one second into a long one.
        const auto real = std::make_shared<AlteredInspector>(AlteredInspector::Change::NoPoster);
        store.setMediaInspector(real);
        QVERIFY(importAll(store, {url(TestVideo::Short1_5s), url(TestVideo::Long10s)}));
        const QList<double> times = real->posterTimes();
        QCOMPARE(times.size(), 2);
        QVERIFY(std::abs(times.at(0) - 0.75) < 0.02);
        QCOMPARE(times.at(1), 1.0);
        // Neither got a poster; both are imported anyway, with a poster path that does not exist.
        QCOMPARE(store.imported().size(), 3);
        QCOMPARE(importedFiles(home).size(), 4);
        QVERIFY(!QFile::exists(QUrl(*store.imported().first().poster).toLocalFile()));
        QVERIFY(!store.problem());
    }

    // Only regular files: a FIFO or a device would hold the worker for good.
    void nonLocalOrUninspectableFilesAreRefused_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("not local") << QStringLiteral("https://example.org/film.mp4");
        QTest::newRow("missing") << QStringLiteral("missing.mp4");
        QTest::newRow("FIFO") << QStringLiteral("fifo.mp4");
        QTest::newRow("folder") << QStringLiteral("folder.mp4");
        QTest::newRow("device") << QStringLiteral("/dev/zero");
    }
    void nonLocalOrUninspectableFilesAreRefused() {
        QFETCH(QString, path);
        TempXdgHome home;
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("folder.mp4")));
        QCOMPARE(::mkfifo(QFile::encodeName(home.path() + QStringLiteral("/fifo.mp4")).constData(), 0600), 0);
        const QUrl url = path.contains(QLatin1Char(':')) ? QUrl(path)
                         : path.startsWith(QLatin1Char('/'))
                             ? QUrl::fromLocalFile(path)
                             : QUrl::fromLocalFile(home.path() + QLatin1Char('/') + path);
        LibraryStore store(home.libraryRoot());
        store.setMediaInspector(m_inspector);
        QVERIFY(importAll(store, {url}));
        QVERIFY(store.imported().isEmpty());
        QCOMPARE(store.problem(),
                 std::optional(url.fileName() + QStringLiteral(" can't be used. Try an MP4 or MOV video.")));
        QVERIFY(importedFiles(home).isEmpty());
        store.importVideos({});
        QCOMPARE(store.revision(), 0);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
