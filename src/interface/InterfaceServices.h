// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

class LibraryStore;
class LoginItemControl;
class QNetworkAccessManager;
class QQmlEngine;
class ScreenSource;
class WallpaperEngine;

// Where the library window's views find the application's objects. The composition root installs
// them once, before it loads LibraryView; the views' C++ types read them when QML makes them.
class InterfaceServices {
public:
    struct Parts {
        LibraryStore& store;
        WallpaperEngine& engine;
        const ScreenSource& screens;
        LoginItemControl& loginItem;
        // The application's network access for posters; the interface makes its own when none is given.
        QNetworkAccessManager* network = nullptr;
    };

    // The root view, to load in a QQuickView once install() has run.
    [[nodiscard]] static QUrl libraryViewUrl() {
        return QUrl(QStringLiteral("qrc:/Lumivale/Interface/LibraryView.qml"));
    }

    // Registers the module's types (once per process), adds the module's import path and the symbol
    // images to the QML engine, and records the parts for the views. Main thread; the parts must
    // outlive every view made afterwards. Installing again replaces the parts (tests do).
    static void install(QQmlEngine& engine, Parts parts);
    // Forgets the parts; views made afterwards find none.
    static void uninstall();
    // The installed parts; a view made before install() is a programming error.
    [[nodiscard]] static const Parts& parts();

    // The network access posters load through: the installed one, else one of the interface's own, with
    // a disk cache of the posters.
    [[nodiscard]] static QNetworkAccessManager& network();
};
