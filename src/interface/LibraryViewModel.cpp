// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/LibraryViewModel.h"

#include "engine/ScreenSource.h"
#include "engine/WallpaperEngine.h"
#include "interface/AddVideoDialog.h"
#include "interface/InterfaceServices.h"
#include "interface/InterfaceTexts.h"
#include "interface/LibraryRules.h"
#include "interface/VideoFiles.h"
#include "library/LibraryStore.h"
#include "library/WallpaperTarget.h"

#include <QPointer>
#include <QVariantMap>

LibraryViewModel::LibraryViewModel(QObject* parent)
    : LibraryViewModel(InterfaceServices::parts().store, InterfaceServices::parts().engine,
                       InterfaceServices::parts().screens, parent) {}

LibraryViewModel::LibraryViewModel(LibraryStore& store, WallpaperEngine& engine, const ScreenSource& screens,
                                   QObject* parent)
    : QObject(parent), m_store(store), m_engine(engine), m_screens(screens),
      m_category(InterfaceTexts::allTab.toString()), m_displayChoice(QString(WallpaperTarget::allDisplays)) {
    m_model.setProgress(m_store.progress());
    updatePlaying();
    updateLists(true);
    m_pickerTitle = LibraryRules::pickerTitle(m_displayChoice, m_screens.screens());
    connectSources();
}

void LibraryViewModel::connectSources() {
    const auto lists = [this] { updateLists(false); };
    connect(&m_store, &LibraryStore::catalogChanged, this, lists);
    connect(&m_store, &LibraryStore::importedChanged, this, lists);
    connect(&m_store, &LibraryStore::revisionChanged, this, lists);
    connect(&m_store, &LibraryStore::loadingChanged, this, &LibraryViewModel::updateEmptyState);
    connect(&m_store, &LibraryStore::offlineChanged, this, &LibraryViewModel::updateEmptyState);
    connect(&m_store, &LibraryStore::progressChanged, this,
            [this] { m_model.setProgress(m_store.progress()); });
    connect(&m_store, &LibraryStore::problemChanged, this, &LibraryViewModel::problemChanged);
    connect(&m_engine, &WallpaperEngine::assignmentsChanged, this, [this] {
        updatePlaying();
        Q_EMIT pauseChanged();
    });
    connect(&m_engine, &WallpaperEngine::userPausedChanged, this, &LibraryViewModel::pauseChanged);
    connect(&m_engine, &WallpaperEngine::statusLineChanged, this, &LibraryViewModel::statusLineChanged);
    connect(&m_screens, &ScreenSource::screensChanged, this, [this] {
        Q_EMIT screensChanged();
        m_pickerTitle = LibraryRules::pickerTitle(m_displayChoice, m_screens.screens());
        Q_EMIT pickerTitleChanged();
    });
}

void LibraryViewModel::setCategory(const QString& category) {
    if (category == m_category)
        return;
    m_category = category;
    Q_EMIT categoryChanged();
    updateLists(true);
}

void LibraryViewModel::setDisplayChoice(const QString& choice) {
    if (choice == m_displayChoice)
        return;
    m_displayChoice = choice;
    Q_EMIT displayChoiceChanged();
    m_pickerTitle = LibraryRules::pickerTitle(m_displayChoice, m_screens.screens());
    Q_EMIT pickerTitleChanged();
}

QString LibraryViewModel::importedFolder() const {
    return m_store.root() + QStringLiteral("/Imported");
}

void LibraryViewModel::updateLists(bool reset) {
    const QList<Wallpaper> downloaded = m_store.downloaded();

    const QStringList tabs =
        LibraryRules::tabs(m_store.categories(), !m_store.imported().isEmpty(), !downloaded.isEmpty());
    if (tabs != m_tabs) {
        m_tabs = tabs;
        Q_EMIT tabsChanged();
    }

    QSet<QString> downloadedIds;
    downloadedIds.reserve(downloaded.size());
    for (const Wallpaper& w : downloaded)
        downloadedIds.insert(w.id);
    m_model.setDownloaded(std::move(downloadedIds));

    QSet<QString> importedIds;
    for (const Wallpaper& w : m_store.imported())
        importedIds.insert(w.id);
    const QString folder = importedFolder();
    const QList<Wallpaper> shown = LibraryRules::shownList(m_store, m_category, downloaded);
    QList<WallpaperListModel::Entry> entries;
    entries.reserve(shown.size());
    for (const Wallpaper& w : shown) {
        const bool imported = w.imported() && importedIds.contains(w.id);
        entries.append({w, imported, LibraryRules::mediaUrl(w.poster, imported, folder),
                        LibraryRules::mediaUrl(w.preview, imported, folder)});
    }
    m_model.setEntries(std::move(entries), reset);
    updateEmptyState();
}

void LibraryViewModel::updatePlaying() {
    QSet<QString> ids;
    for (const QString& id : m_engine.assignments())
        ids.insert(id);
    m_model.setPlaying(std::move(ids));
}

LibraryViewModel::EmptyState LibraryViewModel::emptyStateFor(bool shownEmpty, bool loading, bool offline,
                                                             bool catalogEmpty) {
    if (!shownEmpty)
        return NoEmptyState;
    if (loading && catalogEmpty)
        return LoadingState;
    if (offline && catalogEmpty)
        return OfflineState;
    return NothingState;
}

void LibraryViewModel::updateEmptyState() {
    const EmptyState state = emptyStateFor(m_model.rowCount() == 0, m_store.loading(), m_store.offline(),
                                           m_store.catalog().isEmpty());
    if (state == m_emptyState)
        return;
    m_emptyState = state;
    Q_EMIT emptyStateChanged();
}

bool LibraryViewModel::pickerVisible() const {
    return m_screens.screens().size() >= 2;
}

QVariantList LibraryViewModel::pickerItems() const {
    QVariantList items;
    for (const LibraryRules::PickerItem& item : LibraryRules::pickerItems(m_screens.screens()))
        items.append(QVariantMap{{QStringLiteral("title"), item.title}, {QStringLiteral("key"), item.key}});
    return items;
}

QString LibraryViewModel::pickerTitle() const {
    return m_pickerTitle;
}

bool LibraryViewModel::pauseVisible() const {
    return !m_engine.assignments().isEmpty();
}

bool LibraryViewModel::userPaused() const {
    return m_engine.userPaused();
}

QString LibraryViewModel::statusLine() const {
    return m_engine.statusLine();
}

bool LibraryViewModel::hasProblem() const {
    return m_store.problem().has_value();
}

QString LibraryViewModel::problem() const {
    return m_store.problemText();
}

void LibraryViewModel::togglePause() {
    m_engine.setUserPaused(!m_engine.userPaused());
}

void LibraryViewModel::tryAgain() {
    // Started as its own task, not awaited.
    QMetaObject::invokeMethod(&m_store, &LibraryStore::refresh, Qt::QueuedConnection);
}

void LibraryViewModel::dismissProblem() {
    m_store.setProblem(std::nullopt);
}

void LibraryViewModel::chooseVideos(QWindow* window) {
    AddVideoDialog::open(window, [store = QPointer<LibraryStore>(&m_store)](const QList<QUrl>& urls) {
        if (store && !urls.isEmpty())
            store->importVideos(urls);
    });
}

bool LibraryViewModel::acceptsDrop(const QList<QUrl>& urls) const {
    return !VideoFiles::localVideos(urls).isEmpty();
}

void LibraryViewModel::dropVideos(const QList<QUrl>& urls) {
    // The dropped path stays valid on Linux, so each file is imported where it is, under its own name.
    for (const QUrl& url : VideoFiles::localVideos(urls)) {
        QMetaObject::invokeMethod(
            &m_store, [store = &m_store, url] { store->importVideos({url}); }, Qt::QueuedConnection);
    }
}

const Wallpaper* LibraryViewModel::record(const QString& id) const {
    const WallpaperListModel::Entry* entry = m_model.entry(id);
    return entry ? &entry->wallpaper : nullptr;
}

void LibraryViewModel::activate(const QString& id) {
    activateOn(id, m_displayChoice);
}

void LibraryViewModel::activateOn(const QString& id, const QString& displayKey) {
    const Wallpaper* found = record(id);
    if (!found)
        return;
    const Wallpaper wallpaper = *found;
    if (m_store.isDownloaded(wallpaper)) {
        m_store.useWallpaper(wallpaper, displayKey);
        return;
    }
    m_store.download(
        wallpaper, [store = &m_store, wallpaper, displayKey] { store->useWallpaper(wallpaper, displayKey); });
}

QVariantList LibraryViewModel::menuItems(const QString& id) const {
    const WallpaperListModel::Entry* entry = m_model.entry(id);
    if (!entry)
        return {};
    static const QHash<LibraryRules::MenuItem::Action, QString> actionNames{
        {LibraryRules::MenuItem::Action::SetOn, QStringLiteral("setOn")},
        {LibraryRules::MenuItem::Action::Separator, QStringLiteral("separator")},
        {LibraryRules::MenuItem::Action::Remove, QStringLiteral("remove")},
        {LibraryRules::MenuItem::Action::CancelDownload, QStringLiteral("cancelDownload")},
    };
    QVariantList items;
    for (const LibraryRules::MenuItem& item :
         LibraryRules::cardMenu(entry->imported, m_store.isDownloaded(entry->wallpaper),
                                m_store.progress().contains(id), m_screens.screens())) {
        items.append(QVariantMap{{QStringLiteral("action"), actionNames.value(item.action)},
                                 {QStringLiteral("title"), item.title},
                                 {QStringLiteral("displayKey"), item.displayKey},
                                 {QStringLiteral("destructive"), item.destructive}});
    }
    return items;
}

void LibraryViewModel::remove(const QString& id) {
    if (const Wallpaper* wallpaper = record(id))
        m_store.remove(Wallpaper(*wallpaper));
}

void LibraryViewModel::cancelDownload(const QString& id) {
    m_store.cancelDownload(id);
}
