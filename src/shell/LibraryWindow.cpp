// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/LibraryWindow.h"

#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "interface/LibraryBackground.h"
#include "interface/PosterCache.h"
#include "platform/x11/X11Activation.h"
#include "shell/ShellNames.h"
#include "shell/ShellTexts.h"
#include "shell/WindowFrame.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QQmlEngine>
#include <QQuickItem>
#include <QScreen>
#include <malloc.h>
#include <utility>

namespace {
QList<QRect> qtScreenAreas() {
    QList<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            areas.append(screen->availableGeometry());
    return areas;
}
} // namespace

LibraryWindow::LibraryWindow(Preferences& preferences, const ViewLoader& loadView,
                             const ScreenAreas& screenAreas)
    : m_preferences(preferences), m_loadView(loadView) {
    setTitle(ShellTexts::windowTitle.toString());
    setIcon(QIcon(QStringLiteral(":/lumivale/icons/app.svg")));
    setMinimumSize(minimumContentSize);
    setColor(LibraryBackground::color());
    setResizeMode(QQuickView::SizeRootObjectToView);
    // Hidden, the window keeps no scene graph or graphics resources.
    setPersistentGraphics(false);
    setPersistentSceneGraph(false);

    if (m_loadView)
        m_loadView(*this);

    restoreFrame(screenAreas);
    installShortcuts();

    m_frameSave.setSingleShot(true);
    m_frameSave.setInterval(frameSaveDelayMs);
    connect(&m_frameSave, &QTimer::timeout, this, &LibraryWindow::saveFrame);
    connect(this, &QWindow::xChanged, this, &LibraryWindow::scheduleFrameSave);
    connect(this, &QWindow::yChanged, this, &LibraryWindow::scheduleFrameSave);
    connect(this, &QWindow::widthChanged, this, &LibraryWindow::scheduleFrameSave);
    connect(this, &QWindow::heightChanged, this, &LibraryWindow::scheduleFrameSave);
    // Where the user left the window is remembered when it closes, and a pending save is not lost to a quit.
    connect(this, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible && (m_frameSave.isActive() || windowStates() == Qt::WindowNoState))
            saveFrame();
        // Not inside the hide: the view may be what asked for it.
        if (!visible)
            QMetaObject::invokeMethod(this, &LibraryWindow::releaseView, Qt::QueuedConnection);
    });
    // Hiding or minimising gives no leave event: without one, Qt Quick keeps hovering where the
    // pointer last was and hovers there again when the window comes back.
    connect(this, &QWindow::visibilityChanged, this, [this](QWindow::Visibility visibility) {
        if (visibility == QWindow::Hidden || visibility == QWindow::Minimized) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(this, &leave);
        }
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_frameSave.isActive())
            saveFrame();
    });
}

LibraryWindow::~LibraryWindow() {
    // Hidden while the members that save the frame still exist; the view's content goes before them.
    destroy();
    setSource(QUrl());
}

void LibraryWindow::present(const QString& activationToken) {
    reloadView();
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const QByteArray token = activationToken.toUtf8();
    if (x11 && !token.isEmpty())
        X11Activation::prepare(xcb_window_t(winId()), token);
    // Qt's Wayland backend hands this token to xdg-activation when the window asks to be activated.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && !token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token);
    if (windowStates() & Qt::WindowMinimized)
        setWindowStates(windowStates() & ~Qt::WindowMinimized);
    show();
    raise();
    requestActivate();
    if (x11 && !token.isEmpty())
        X11Activation::activate(xcb_window_t(winId()), token);
}

void LibraryWindow::releaseView() {
    QQuickItem* root = rootObject();
    if (isVisible() || !m_loadView || !root)
        return;
    const QObject* model = root->property("model").value<QObject*>();
    const QObject* grid = root->findChild<QObject*>(QStringLiteral("grid"));
    m_releasedView = ViewState{.category = model ? model->property("category") : QVariant(),
                               .displayChoice = model ? model->property("displayChoice") : QVariant(),
                               .contentY = grid ? grid->property("contentY") : QVariant()};
    setSource(QUrl());
    engine()->clearComponentCache();
    releaseResources();
    destroy();
    PosterCache::shared().clear();
    // Give the freed heap back to the system, or the process keeps its high-water mark for days.
    malloc_trim(0);
}

void LibraryWindow::reloadView() {
    if (!m_releasedView)
        return;
    const ViewState state = *std::exchange(m_releasedView, std::nullopt);
    m_loadView(*this);
    QQuickItem* root = rootObject();
    if (!root)
        return;
    if (QObject* model = root->property("model").value<QObject*>()) {
        model->setProperty("category", state.category);
        model->setProperty("displayChoice", state.displayChoice);
    }
    if (QObject* grid = root->findChild<QObject*>(QStringLiteral("grid")))
        grid->setProperty("contentY", state.contentY);
}

void LibraryWindow::restoreFrame(const ScreenAreas& screenAreas) {
    const std::optional<QRect> remembered =
        WindowFrame::fromJson(m_preferences.value(PreferenceKeys::libraryWindowFrame));
    const QList<QRect> areas = screenAreas ? screenAreas() : qtScreenAreas();
    setGeometry(WindowFrame::place(remembered, areas, initialContentSize, minimumContentSize));
}

void LibraryWindow::scheduleFrameSave() {
    // Maximised and full-screen sizes are the screen's, not the user's.
    if (windowStates() != Qt::WindowNoState || !isVisible())
        return;
    m_frameSave.start();
}

void LibraryWindow::saveFrame() {
    m_frameSave.stop();
    m_preferences.setValue(PreferenceKeys::libraryWindowFrame, WindowFrame::toJson(geometry()));
}

// The main menu's key equivalents. QShortcut does not reach a window without widgets once a QApplication
// exists, so the window matches them itself, before its items see the key.
void LibraryWindow::installShortcuts() {
    m_shortcuts = {
        {QKeySequence(Qt::CTRL | Qt::Key_Q), [] { QCoreApplication::quit(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_H), [this] { hide(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_M), [this] { showMinimized(); }},
        {QKeySequence(Qt::Key_F1), [this] { showAbout(); }},
    };
}

void LibraryWindow::keyPressEvent(QKeyEvent* event) {
    const QKeySequence pressed(event->keyCombination());
    for (const Shortcut& shortcut : std::as_const(m_shortcuts)) {
        if (shortcut.keys == pressed) {
            event->accept();
            // Not inside the key's delivery: the action may close or quit.
            QMetaObject::invokeMethod(this, shortcut.action, Qt::QueuedConnection);
            return;
        }
    }
    QQuickView::keyPressEvent(event);
}

void LibraryWindow::showAbout() {
    if (!m_about) {
        m_about = std::make_unique<QMessageBox>();
        m_about->setWindowTitle(ShellTexts::aboutLumivale.toString());
        m_about->setIconPixmap(QIcon(QStringLiteral(":/lumivale/icons/app.svg")).pixmap(64, 64));
        m_about->setTextFormat(Qt::PlainText);
        m_about->setText(QString(ShellNames::applicationName) + QStringLiteral(" ") +
                         QCoreApplication::applicationVersion());
        m_about->setInformativeText(ShellTexts::aboutSummary.toString() + QStringLiteral("\n\n") +
                                    ShellTexts::licence.toString());
        m_about->setStandardButtons(QMessageBox::Close);
        m_about->setModal(false);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}
