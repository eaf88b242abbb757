#include "shell/LibrarySummary.h"

#include "engine/WallpaperEngine.h"
#include "library/LibraryStore.h"

LibrarySummary::LibrarySummary(QObject* parent) : QObject(parent) {
    LibraryStore& store = LibraryStore::shared();
    for (auto signal : {&LibraryStore::catalogChanged, &LibraryStore::importedChanged,
                        &LibraryStore::loadingChanged, &LibraryStore::offlineChanged})
        connect(&store, signal, this, &LibrarySummary::changed);
    connect(&store, &LibraryStore::revisionChanged, this, &LibrarySummary::changed);
    connect(&WallpaperEngine::shared(), &WallpaperEngine::statusLineChanged, this, &LibrarySummary::changed);
}

int LibrarySummary::catalogCount() const {
    return int(LibraryStore::shared().catalog().size());
}

int LibrarySummary::importedCount() const {
    return int(LibraryStore::shared().imported().size());
}

int LibrarySummary::downloadedCount() const {
    return int(LibraryStore::shared().downloaded().size());
}

QStringList LibrarySummary::categories() const {
    return LibraryStore::shared().categories();
}

bool LibrarySummary::loading() const {
    return LibraryStore::shared().loading();
}

bool LibrarySummary::offline() const {
    return LibraryStore::shared().offline();
}

QString LibrarySummary::statusLine() const {
    return WallpaperEngine::shared().statusLine();
}
