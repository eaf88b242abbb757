// SPDX-License-Identifier: GPL-3.0-or-later
// Catalog decoding and encoding, and the store's list queries, over a large catalog.
// Prints the median of several runs of each, in milliseconds.
// With "--memory N": the peak and the lasting resident memory of a store that starts from a cached
// catalog of N compact records (id, title and category, as a 1,000,000-record catalog must be to fit
// the 64 MiB limit), or of the full records above when N is at most 10,000.
#include "library/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {
constexpr int records = 10'000;
constexpr int filesOnDisk = 1'000;
constexpr int runs = 15;

QList<Wallpaper> makeCatalog() {
    QList<Wallpaper> list;
    list.reserve(records);
    for (int i = 0; i < records; ++i) {
        Wallpaper w;
        w.id = QStringLiteral("wallpaper-%1").arg(i, 5, 10, QLatin1Char('0'));
        w.title = QStringLiteral("Wallpaper number %1").arg(i);
        w.category = QStringLiteral("Category %1").arg(i % 24);
        w.poster = QStringLiteral("https://cdn.example.org/posters/%1.jpg").arg(w.id);
        w.preview = QStringLiteral("https://cdn.example.org/previews/%1.mp4").arg(w.id);
        w.video = QStringLiteral("https://cdn.example.org/videos/%1.mp4").arg(w.id);
        w.bytes = 250'000'000 + i;
        w.seconds = 20.0 + i / 1000.0;
        w.resolution = QStringLiteral("3840 × 2160");
        list.append(w);
    }
    return list;
}

// A large cached catalog is published from a worker.
void waitUntilLoaded(LibraryStore& store) {
    QEventLoop loop;
    QObject::connect(&store, &LibraryStore::loadingChanged, &loop, [&] {
        if (!store.loading())
            loop.quit();
    });
    if (store.loading())
        loop.exec();
}

// A field of /proc/self/status, in KiB.
qint64 statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

int measureMemory(int count, QTextStream& out) {
    QTemporaryDir dir;
    qint64 documentBytes = 0;
    {
        QList<Wallpaper> list;
        if (count <= records) {
            list = makeCatalog().mid(0, count);
        } else {
            list.reserve(count);
            for (int i = 0; i < count; ++i) {
                Wallpaper w;
                w.id = QStringLiteral("w%1").arg(i);
                w.title = QStringLiteral("W %1").arg(i);
                w.category = QStringLiteral("C%1").arg(i % 24);
                list.append(std::move(w));
            }
        }
        const QByteArray document = WallpaperJson::encodeCatalog(Catalog{list}).value();
        documentBytes = document.size();
        QFile cache(dir.path() + QStringLiteral("/catalog.json"));
        if (!cache.open(QIODevice::WriteOnly) || cache.write(document) != document.size())
            return 1;
    }
    // Writing 5 resets the peak to the present resident size.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return 1;
    clear.close();
    const qint64 before = statusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    LibraryStore store(dir.path());
    const double constructed = double(timer.nsecsElapsed()) / 1e6;
    waitUntilLoaded(store);
    const double loaded = double(timer.nsecsElapsed()) / 1e6;
    out << count << " records (" << store.catalog().size() << " loaded), " << documentBytes / 1024
        << " KiB cached catalog\n"
        << QStringLiteral("constructor returned after %1 ms, catalog published after %2 ms\n")
               .arg(constructed, 0, 'f', 1)
               .arg(loaded, 0, 'f', 1)
        << "resident before " << before / 1024 << " MiB, peak while loading " << statusKiB("VmHWM:") / 1024
        << " MiB, after " << statusKiB("VmRSS:") / 1024 << " MiB\n";
    return 0;
}

template <typename F> double medianMs(F&& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    if (const QStringList args = app.arguments(); args.size() == 3 && args.at(1) == QLatin1String("--memory"))
        return measureMemory(args.at(2).toInt(), out);
    const QList<Wallpaper> catalog = makeCatalog();
    const QByteArray document = WallpaperJson::encodeCatalog(Catalog{catalog}).value();

    std::size_t sink = 0;
    const double decode =
        medianMs([&] { sink += WallpaperJson::decodeCatalog(document)->wallpapers.size(); });
    const double encode = medianMs([&] { sink += WallpaperJson::encodeCatalog(Catalog{catalog})->size(); });

    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/Library"));
    QFile cache(dir.path() + QStringLiteral("/catalog.json"));
    if (!cache.open(QIODevice::WriteOnly) || cache.write(document) != document.size())
        return 1;
    cache.close();
    for (int i = 0; i < filesOnDisk; ++i) {
        QFile file(dir.path() + QStringLiteral("/Library/") + catalog.at(i * (records / filesOnDisk)).id +
                   QStringLiteral(".mp4"));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
    }
    QElapsedTimer startTimer;
    startTimer.start();
    LibraryStore store(dir.path());
    waitUntilLoaded(store);
    const double construct = double(startTimer.nsecsElapsed()) / 1e6;

    const double all = medianMs([&] { sink += store.all().size(); });
    const double downloaded = medianMs([&] { sink += store.downloaded().size(); });
    const double categories = medianMs([&] { sink += store.categories().size(); });

    out << "catalog of " << records << " records, " << document.size() / 1024 << " KiB; " << filesOnDisk
        << " files on disk\n"
        << QStringLiteral("decode     %1 ms\n").arg(decode, 0, 'f', 2)
        << QStringLiteral("encode     %1 ms\n").arg(encode, 0, 'f', 2)
        << QStringLiteral("store load %1 ms (once, cached catalog)\n").arg(construct, 0, 'f', 2)
        << QStringLiteral("all        %1 ms\n").arg(all, 0, 'f', 3)
        << QStringLiteral("downloaded %1 ms (%2 found)\n")
               .arg(downloaded, 0, 'f', 2)
               .arg(store.downloaded().size())
        << QStringLiteral("categories %1 ms\n").arg(categories, 0, 'f', 3) << "(" << sink % 2 << ")\n";
    return 0;
}
