#include "library/LibraryStore.h"
#include "platform/media/FfmpegMediaInspector.h"

#include <QGuiApplication>
#include <QTextStream>

// Until the shell lands: load the library, refresh the catalog once and print the state.
int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Lumivale"));
    QGuiApplication::setApplicationVersion(QStringLiteral(LUMIVALE_VERSION));

    LibraryStore& store = LibraryStore::shared();
    store.setMediaInspector(std::make_shared<FfmpegMediaInspector>());
    QTextStream out(stdout);
    out << "Library: " << store.root() << "\n"
        << "Catalog: " << LibraryStore::catalogURL().toString() << "\n";
    QObject::connect(&store, &LibraryStore::loadingChanged, &app, [&] {
        if (store.loading())
            return;
        out << (store.offline() ? "Offline" : "Up to date") << ": " << store.catalog().size() << " catalog, "
            << store.imported().size() << " imported, " << store.downloaded().size()
            << " downloaded; categories: " << store.categories().join(QStringLiteral(", ")) << Qt::endl;
    });
    store.refresh();
    return QGuiApplication::exec();
}
