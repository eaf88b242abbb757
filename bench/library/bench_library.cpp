// Catalog decoding and encoding, and the store's list queries, over a large catalog.
// Prints the median of several runs of each, in milliseconds.
#include "library/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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
