// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/tray/StatusItem.h"

#include "shell/ShellNames.h"
#include "shell/tray/TrayHostWatcher.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

namespace {
// A light glyph for dark panels, a dark one for light panels. Qt 6.4 has no colour-scheme query, so the
// application palette's window colour decides.
QIcon trayIcon() {
    const bool darkPanel = QApplication::palette().color(QPalette::Window).lightness() < 128;
    QIcon icon(darkPanel ? QStringLiteral(":/lumivale/icons/tray-light.svg")
                         : QStringLiteral(":/lumivale/icons/tray-dark.svg"));
    return icon;
}
} // namespace

StatusItem::StatusItem(std::function<StatusMenu::State()> state, QObject* parent)
    : QObject(parent), m_state(std::move(state)), m_hosts(std::make_unique<TrayHostWatcher>()),
      m_menu(std::make_unique<QMenu>()) {
    m_menu->setTitle(QString(ShellNames::applicationName));
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusItem::rebuildMenu);
    m_menu->installEventFilter(this);
    connect(m_hosts.get(), &TrayHostWatcher::hostPresentChanged, this, &StatusItem::createIconIfHostPresent);
    createIconIfHostPresent();
}

StatusItem::~StatusItem() = default;

bool StatusItem::isVisible() const {
    return m_icon && m_icon->isVisible();
}

void StatusItem::createIconIfHostPresent() {
    if (m_icon || !m_hosts->hostPresent())
        return;
    m_icon = std::make_unique<QSystemTrayIcon>(trayIcon());
    m_icon->setToolTip(QString(ShellNames::applicationName));
    m_icon->setContextMenu(m_menu.get());
    // The status item of the design opens its menu on a plain click too.
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    m_menu->popup(QCursor::pos());
            });
    connect(m_icon.get(), &QSystemTrayIcon::messageClicked, this, &StatusItem::messageClicked);
    m_icon->show();
}

// Qt matches an action's shortcut only through the widget that opened its menu, and a tray menu has
// none: while the menu is open, its keys reach the menu itself, which would ignore them.
bool StatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_menu.get() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    const QList<QAction*> actions = m_menu->actions();
    for (QAction* action : actions) {
        if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
            m_menu->close();
            action->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void StatusItem::showMessage(const QString& title, const QString& text) {
    if (m_icon)
        m_icon->showMessage(title, text, m_icon->icon());
}

void StatusItem::rebuildMenu() {
    m_menu->clear();
    for (const StatusMenu::Item& item : StatusMenu::items(m_state())) {
        switch (item.kind) {
        case StatusMenu::Item::Kind::Separator:
            m_menu->addSeparator();
            break;
        case StatusMenu::Item::Kind::Text:
            m_menu->addAction(item.title)->setEnabled(false);
            break;
        case StatusMenu::Item::Kind::Action: {
            QAction* action = m_menu->addAction(item.title);
            action->setEnabled(item.enabled);
            if (!item.shortcut.isEmpty()) {
                action->setShortcut(item.shortcut);
                action->setShortcutVisibleInContextMenu(true);
            }
            const StatusMenu::Command command = item.command;
            // Queued: an action may open windows or quit, which should not happen inside the menu's own
            // event handling.
            connect(
                action, &QAction::triggered, this, [this, command] { Q_EMIT commandChosen(command); },
                Qt::QueuedConnection);
            break;
        }
        }
    }
}
