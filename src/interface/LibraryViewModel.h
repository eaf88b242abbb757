// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "interface/WallpaperListModel.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

class LibraryStore;
class ScreenSource;
class WallpaperEngine;

// Everything the library view shows that follows from the store, the engine and the screens, and the
// operations its controls and cards call. It holds the view's own choices (the tab and the display
// choice); QML only lays it out.
class LibraryViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString category READ category WRITE setCategory NOTIFY categoryChanged)
    Q_PROPERTY(QString displayChoice READ displayChoice WRITE setDisplayChoice NOTIFY displayChoiceChanged)
    Q_PROPERTY(QStringList tabs READ tabs NOTIFY tabsChanged)
    Q_PROPERTY(WallpaperListModel* wallpapers READ wallpapers CONSTANT)
    Q_PROPERTY(EmptyState emptyState READ emptyState NOTIFY emptyStateChanged)
    Q_PROPERTY(bool pickerVisible READ pickerVisible NOTIFY screensChanged)
    Q_PROPERTY(QVariantList pickerItems READ pickerItems NOTIFY screensChanged)
    Q_PROPERTY(QString pickerTitle READ pickerTitle NOTIFY pickerTitleChanged)
    Q_PROPERTY(bool pauseVisible READ pauseVisible NOTIFY pauseChanged)
    Q_PROPERTY(bool userPaused READ userPaused NOTIFY pauseChanged)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY statusLineChanged)
    Q_PROPERTY(bool hasProblem READ hasProblem NOTIFY problemChanged)
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)

public:
    enum EmptyState {
        NoEmptyState,
        LoadingState,
        OfflineState,
        NothingState,
    };
    Q_ENUM(EmptyState)

    // Over the installed parts (InterfaceServices), as QML makes it.
    explicit LibraryViewModel(QObject* parent = nullptr);
    LibraryViewModel(LibraryStore& store, WallpaperEngine& engine, const ScreenSource& screens,
                     QObject* parent = nullptr);

    [[nodiscard]] const QString& category() const { return m_category; }
    void setCategory(const QString& category);
    [[nodiscard]] const QString& displayChoice() const { return m_displayChoice; }
    void setDisplayChoice(const QString& choice);

    [[nodiscard]] const QStringList& tabs() const { return m_tabs; }
    [[nodiscard]] WallpaperListModel* wallpapers() { return &m_model; }
    [[nodiscard]] EmptyState emptyState() const { return m_emptyState; }
    [[nodiscard]] bool pickerVisible() const;
    [[nodiscard]] QVariantList pickerItems() const;
    [[nodiscard]] QString pickerTitle() const;
    [[nodiscard]] bool pauseVisible() const;
    [[nodiscard]] bool userPaused() const;
    [[nodiscard]] QString statusLine() const;
    [[nodiscard]] bool hasProblem() const;
    [[nodiscard]] QString problem() const;

    // The empty-state rule: the shown list first, then the catalog's loading and offline states.
    [[nodiscard]] static EmptyState emptyStateFor(bool shownEmpty, bool loading, bool offline,
                                                  bool catalogEmpty);

    Q_INVOKABLE void togglePause();
    Q_INVOKABLE void tryAgain();
    Q_INVOKABLE void dismissProblem();
    // The "Add video" dialog over the window; the chosen files are imported in the dialog's order.
    Q_INVOKABLE void chooseVideos(QWindow* window);
    // A drag is taken only when it carries at least one local video file.
    [[nodiscard]] Q_INVOKABLE bool acceptsDrop(const QList<QUrl>& urls) const;
    // Each dropped video is imported on its own, under its own name.
    Q_INVOKABLE void dropVideos(const QList<QUrl>& urls);

    // A click on a card: downloads first when needed, then puts it on the display choice.
    Q_INVOKABLE void activate(const QString& id);
    Q_INVOKABLE void activateOn(const QString& id, const QString& displayKey);
    // The card's context menu: maps with "action" ("setOn", "separator", "remove", "cancelDownload"),
    // "title", "displayKey" and "destructive".
    [[nodiscard]] Q_INVOKABLE QVariantList menuItems(const QString& id) const;
    Q_INVOKABLE void remove(const QString& id);
    Q_INVOKABLE void cancelDownload(const QString& id);

Q_SIGNALS:
    void categoryChanged();
    void displayChoiceChanged();
    void tabsChanged();
    void emptyStateChanged();
    void screensChanged();
    void pickerTitleChanged();
    void pauseChanged();
    void statusLineChanged();
    void problemChanged();

private:
    void connectSources();
    void updateLists(bool reset);
    void updatePlaying();
    void updateEmptyState();
    [[nodiscard]] QString importedFolder() const;
    [[nodiscard]] const Wallpaper* record(const QString& id) const;

    LibraryStore& m_store;
    WallpaperEngine& m_engine;
    const ScreenSource& m_screens;

    QString m_category;
    QString m_displayChoice;
    QStringList m_tabs;
    WallpaperListModel m_model;
    EmptyState m_emptyState = NoEmptyState;
    QString m_pickerTitle;
};
