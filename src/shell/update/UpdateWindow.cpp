// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/update/UpdateWindow.h"

#include "shell/ShellLog.h"
#include "shell/ShellTexts.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

UpdateWindow::UpdateWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_text(new QLabel(this)), m_notes(new QLabel(this)),
      m_openPage(new QPushButton(ShellTexts::openDownloadPage.toString(), this)) {
    setWindowTitle(ShellTexts::updateWindowTitle.toString());
    setMinimumWidth(360);
    m_text->setWordWrap(true);
    m_notes->setWordWrap(true);
    m_notes->setTextFormat(Qt::PlainText);
    auto* closeButton = new QPushButton(ShellTexts::close.toString(), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_openPage);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_notes);
    layout->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_openPage, &QPushButton::clicked, this, [this] {
        if (!QDesktopServices::openUrl(m_page))
            qCWarning(lcShell).noquote() << "No browser opened" << m_page.toString();
        close();
    });
}

void UpdateWindow::showChecking() {
    m_text->setText(ShellTexts::checkingForUpdates.toString());
    m_notes->hide();
    m_openPage->hide();
    m_page.clear();
    present();
}

void UpdateWindow::showResult(const UpdateController::Result& result) {
    switch (result.outcome) {
    case UpdateController::Outcome::UpToDate:
        m_text->setText(ShellTexts::upToDate.toString());
        break;
    case UpdateController::Outcome::Available:
        m_text->setText(ShellTexts::versionAvailable.toString().arg(result.feed->version));
        m_page = result.feed->page;
        m_notes->setText(result.feed->notes);
        m_notes->setVisible(!result.feed->notes.isEmpty());
        m_openPage->show();
        m_openPage->setDefault(true);
        break;
    case UpdateController::Outcome::Failed:
        m_text->setText(ShellTexts::couldNotCheck.toString());
        break;
    }
    adjustSize();
}

QString UpdateWindow::text() const {
    return m_text->text();
}

bool UpdateWindow::offersPage() const {
    return !m_openPage->isHidden();
}

void UpdateWindow::present() {
    adjustSize();
    show();
    raise();
    activateWindow();
}
