// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenInfo.h"
#include "library/Wallpaper.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class LibraryStore;

// The library view's derived state as plain functions of the store's lists and the screens, so that
// the rules are exact and testable without a window.
namespace LibraryRules {

// "All", the catalog's categories in order of first appearance, then "Your videos" and "Downloaded"
// when they have something to show.
[[nodiscard]] QStringList tabs(const QStringList& categories, bool hasImported, bool hasDownloaded);

// The records shown under a tab title; the fixed titles win over a catalog category of the same name.
[[nodiscard]] QList<Wallpaper> shownList(const LibraryStore& store, const QString& category,
                                         const QList<Wallpaper>& downloaded);

struct PickerItem {
    QString title;
    // "*" or a display key.
    QString key;

    friend bool operator==(const PickerItem&, const PickerItem&) = default;
};

// "All displays", then one item per screen in the platform's order.
[[nodiscard]] QList<PickerItem> pickerItems(const QList<ScreenInfo>& screens);
// "All displays" for "*", the name of the first screen with the chosen key, else "Display".
[[nodiscard]] QString pickerTitle(const QString& displayChoice, const QList<ScreenInfo>& screens);

struct MenuItem {
    enum class Action { SetOn, Separator, Remove, CancelDownload };
    Action action;
    QString title;
    QString displayKey;
    bool destructive = false;

    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

// "Set on " + name for every screen; "Remove" for an imported record, "Delete download" for a catalog
// record on disk, after a separator; "Cancel download" while it downloads.
[[nodiscard]] QList<MenuItem> cardMenu(bool imported, bool downloaded, bool downloading,
                                       const QList<ScreenInfo>& screens);

// The URL a card may load a poster or preview from. A catalog record's must be http or https with a
// host: a hostile catalog must not make the app read local files. An imported record's must be a
// file inside the library's "Imported" folder. Anything else is absent (an empty URL).
[[nodiscard]] QUrl mediaUrl(const std::optional<QString>& text, bool imported, const QString& importedFolder);

} // namespace LibraryRules
