// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/tray/StatusMenu.h"

#include <QObject>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class TrayHostWatcher;

// The tray icon and its menu. The menu is empty until it opens and is rebuilt from the state each time.
// The icon exists only while a tray host does (see TrayHostWatcher).
class StatusItem : public QObject {
    Q_OBJECT

public:
    explicit StatusItem(std::function<StatusMenu::State()> state, QObject* parent = nullptr);
    ~StatusItem() override;

    [[nodiscard]] bool isVisible() const;
    [[nodiscard]] const TrayHostWatcher& hostWatcher() const { return *m_hosts; }
    [[nodiscard]] QMenu* menu() const { return m_menu.get(); }
    // Shows a notification from the icon; nothing without one.
    void showMessage(const QString& title, const QString& text);
    // Builds the menu as if it were about to open.
    void rebuildMenu();

Q_SIGNALS:
    void commandChosen(StatusMenu::Command command);
    void messageClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createIconIfHostPresent();

    std::function<StatusMenu::State()> m_state;
    std::unique_ptr<TrayHostWatcher> m_hosts;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};
