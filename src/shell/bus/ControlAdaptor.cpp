// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/bus/ControlAdaptor.h"

#include "engine/ScreenSource.h"
#include "engine/WallpaperEngine.h"
#include "engine/WallpaperRotation.h"
#include "library/LibraryStore.h"
#include "library/WallpaperTarget.h"
#include "shell/AppDelegate.h"
#include "shell/ShellNames.h"
#include "shell/bus/StatusReport.h"

#include <algorithm>
#include <memory>

ControlAdaptor::ControlAdaptor(QObject* parent, QDBusConnection bus)
    : QObject(parent), m_bus(std::move(bus)) {}

void ControlAdaptor::serve(AppDelegate& delegate, const ScreenSource& screens) {
    m_delegate = &delegate;
    m_screens = &screens;
}

void ControlAdaptor::Pause() {
    if (isReady())
        WallpaperEngine::shared().setUserPaused(true);
}

void ControlAdaptor::Resume() {
    if (isReady())
        WallpaperEngine::shared().setUserPaused(false);
}

void ControlAdaptor::TogglePause() {
    if (isReady())
        m_delegate->togglePause();
}

void ControlAdaptor::Next() {
    if (isReady())
        m_delegate->nextWallpaper();
}

void ControlAdaptor::Stop() {
    if (isReady())
        m_delegate->stopWallpaper();
}

QVariantMap ControlAdaptor::Status() {
    if (!isReady())
        return {};
    return StatusReport::collect(WallpaperEngine::shared());
}

void ControlAdaptor::SetRotation(qlonglong intervalSeconds, const QString& order) {
    if (!isReady())
        return;
    WallpaperRotation& rotation = WallpaperEngine::shared().rotation();
    const bool known =
        order.isEmpty() || order == ShellNames::rotationShuffled || order == ShellNames::rotationInOrder;
    const bool shuffled = order.isEmpty() ? rotation.shuffled() : order == ShellNames::rotationShuffled;
    if (!known || !rotation.setChoice(intervalSeconds, shuffled))
        sendErrorReply(QString(ShellNames::errorInvalidArgs),
                       tr("The rotation takes 0 (off) or 10 seconds to 366 days, in the order "
                          "\"shuffled\" or \"in-order\"."));
}

void ControlAdaptor::Use(const QString& id, const QString& displayChoice) {
    setDelayedReply(true);
    const QDBusMessage message = QDBusContext::message();
    if (!isReady()) {
        replyError(message, ShellNames::errorNotUsed, tr("Lumivale is still starting."));
        return;
    }
    // A card offers the displays that are connected; so does this.
    if (displayChoice != WallpaperTarget::allDisplays) {
        const QList<ScreenInfo> screens = m_screens->screens();
        if (std::none_of(screens.cbegin(), screens.cend(),
                         [&](const ScreenInfo& screen) { return displayKey(screen) == displayChoice; })) {
            replyError(message, ShellNames::errorUnknownDisplay,
                       tr("No connected display has the key %1.").arg(displayChoice));
            return;
        }
    }
    use(id, displayChoice, message);
}

void ControlAdaptor::use(const QString& id, const QString& displayChoice, const QDBusMessage& message) {
    LibraryStore& store = LibraryStore::shared();
    const QList<Wallpaper> all = store.all();
    const auto found = std::find_if(all.cbegin(), all.cend(), [&](const Wallpaper& w) { return w.id == id; });
    if (found == all.cend()) {
        // Right after start the catalog may still be on its way.
        if (store.loading()) {
            auto connection = std::make_shared<QMetaObject::Connection>();
            *connection = connect(&store, &LibraryStore::loadingChanged, this, [=, this] {
                if (LibraryStore::shared().loading())
                    return;
                disconnect(*connection);
                use(id, displayChoice, message);
            });
            return;
        }
        replyError(message, ShellNames::errorUnknownWallpaper,
                   tr("The library has no wallpaper with the id %1.").arg(id));
        return;
    }
    if (store.isDownloaded(*found)) {
        store.useWallpaper(*found, displayChoice);
        m_bus.send(message.createReply());
        return;
    }
    downloadAndUse(*found, displayChoice, message);
}

void ControlAdaptor::downloadAndUse(const Wallpaper& wallpaper, const QString& displayChoice,
                                    const QDBusMessage& message) {
    LibraryStore& store = LibraryStore::shared();
    const bool alreadyDownloading = store.isDownloading(wallpaper.id);
    auto used = std::make_shared<bool>(false);
    store.download(wallpaper, [this, wallpaper, displayChoice, message, used] {
        *used = true;
        LibraryStore::shared().useWallpaper(wallpaper, displayChoice);
        m_bus.send(message.createReply());
    });
    if (alreadyDownloading || !store.isDownloading(wallpaper.id)) {
        // As with a second click on a card that is downloading: nothing new starts.
        replyError(message, ShellNames::errorNotUsed,
                   alreadyDownloading ? tr("That wallpaper is already downloading.")
                                      : LibraryStore::downloadFailedSentence());
        return;
    }
    // The store calls the continuation right after it stops reporting progress, in the same turn;
    // whatever ends the download without it ran is a failure or a cancellation.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&store, &LibraryStore::progressChanged, this, [=, this] {
        if (LibraryStore::shared().isDownloading(wallpaper.id))
            return;
        disconnect(*connection);
        QMetaObject::invokeMethod(
            this,
            [=, this] {
                if (*used)
                    return;
                const QString problem = LibraryStore::shared().problemText();
                replyError(message, ShellNames::errorNotUsed,
                           problem.isEmpty() ? LibraryStore::downloadFailedSentence() : problem);
            },
            Qt::QueuedConnection);
    });
}

void ControlAdaptor::replyError(const QDBusMessage& message, QLatin1StringView name, const QString& text) {
    m_bus.send(message.createErrorReply(QString(name), text));
}
