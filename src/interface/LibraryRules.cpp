// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/LibraryRules.h"

#include "interface/InterfaceTexts.h"
#include "library/LibraryStore.h"
#include "library/WallpaperTarget.h"

#include <QDir>
#include <QFileInfo>

namespace LibraryRules {

QStringList tabs(const QStringList& categories, bool hasImported, bool hasDownloaded) {
    QStringList list{InterfaceTexts::allTab.toString()};
    list.append(categories);
    if (hasImported)
        list.append(InterfaceTexts::yourVideosTab.toString());
    if (hasDownloaded)
        list.append(InterfaceTexts::downloadedTab.toString());
    return list;
}

QList<Wallpaper> shownList(const LibraryStore& store, const QString& category,
                           const QList<Wallpaper>& downloaded) {
    if (category == InterfaceTexts::allTab)
        return store.all();
    if (category == InterfaceTexts::yourVideosTab)
        return store.imported();
    if (category == InterfaceTexts::downloadedTab)
        return downloaded;
    QList<Wallpaper> list;
    for (const Wallpaper& w : store.catalog()) {
        if (w.category == category)
            list.append(w);
    }
    return list;
}

QList<PickerItem> pickerItems(const QList<ScreenInfo>& screens) {
    QList<PickerItem> items{{InterfaceTexts::allDisplays.toString(), QString(WallpaperTarget::allDisplays)}};
    for (const ScreenInfo& screen : screens)
        items.append({screen.localizedName, displayKey(screen)});
    return items;
}

QString pickerTitle(const QString& displayChoice, const QList<ScreenInfo>& screens) {
    if (displayChoice == WallpaperTarget::allDisplays)
        return InterfaceTexts::allDisplays.toString();
    for (const ScreenInfo& screen : screens) {
        if (displayKey(screen) == displayChoice)
            return screen.localizedName;
    }
    return InterfaceTexts::display.toString();
}

QList<MenuItem> cardMenu(bool imported, bool downloaded, bool downloading, const QList<ScreenInfo>& screens) {
    QList<MenuItem> items;
    for (const ScreenInfo& screen : screens)
        items.append({MenuItem::Action::SetOn, InterfaceTexts::setOnPrefix.toString() + screen.localizedName,
                      displayKey(screen)});
    // An imported video whose copy went missing must still be removable from the list.
    if (imported || downloaded) {
        items.append({MenuItem::Action::Separator, {}, {}});
        items.append({MenuItem::Action::Remove,
                      (imported ? InterfaceTexts::remove : InterfaceTexts::deleteDownload).toString(),
                      {},
                      true});
    }
    if (downloading)
        items.append({MenuItem::Action::CancelDownload, InterfaceTexts::cancelDownload.toString(), {}});
    return items;
}

QUrl mediaUrl(const std::optional<QString>& text, bool imported, const QString& importedFolder) {
    if (!text || text->isEmpty())
        return {};
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return {};
    if (!imported) {
        const QString scheme = url.scheme().toLower();
        if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty())
            return url;
        return {};
    }
    if (!url.isLocalFile())
        return {};
    const QString path = QDir::cleanPath(url.toLocalFile());
    const QString folder = QDir::cleanPath(importedFolder) + QLatin1Char('/');
    if (!path.startsWith(folder) || path.size() == folder.size())
        return {};
    return QUrl::fromLocalFile(path);
}

} // namespace LibraryRules
