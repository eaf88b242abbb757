// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QList>
#include <QQuickView>
#include <QSize>
#include <QTimer>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class Preferences;
class QMessageBox;

// The application's one ordinary window, made once and kept: it hosts the library view and carries the
// main menu's actions as shortcuts. Its frame is remembered in the preferences. While it is closed, its
// view, scene graph and posters are released: a wallpaper application lives in the background for days.
class LibraryWindow : public QQuickView {
    Q_OBJECT

public:
    static constexpr QSize initialContentSize{1120, 740};
    static constexpr QSize minimumContentSize{760, 520};
    static constexpr int frameSaveDelayMs = 500;

    // Puts the library view into the window; tests pass none, or a trivial view of their own.
    using ViewLoader = std::function<void(QQuickView&)>;
    // The usable part of each screen, the primary first; Qt's available geometries when empty.
    using ScreenAreas = std::function<QList<QRect>()>;

    LibraryWindow(Preferences& preferences, const ViewLoader& loadView = {},
                  const ScreenAreas& screenAreas = {});
    ~LibraryWindow() override;

    // Shows the window, restoring it from the minimised state, and brings it to the front with focus;
    // with the token (X11 startup id or xdg-activation token) of the launch that asked for it, also
    // where the desktop prevents focus stealing.
    void present(const QString& activationToken = {});
    Q_INVOKABLE void showAbout();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Shortcut {
        QKeySequence keys;
        std::function<void()> action;
    };

    // What the user chose in the view, kept while its content is released.
    struct ViewState {
        QVariant category;
        QVariant displayChoice;
        QVariant contentY;
    };

    void restoreFrame(const ScreenAreas& screenAreas);
    void releaseView();
    void reloadView();
    void scheduleFrameSave();
    void saveFrame();
    void installShortcuts();

    Preferences& m_preferences;
    ViewLoader m_loadView;
    std::optional<ViewState> m_releasedView;
    QList<Shortcut> m_shortcuts;
    QTimer m_frameSave;
    std::unique_ptr<QMessageBox> m_about;
};
