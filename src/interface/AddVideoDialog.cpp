// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/AddVideoDialog.h"

#include "interface/InterfaceTexts.h"
#include "interface/VideoFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWindow>

namespace {
// A folder that does not exist would be typed into the name box instead.
QString startFolder() {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return !videos.isEmpty() && QFileInfo(videos).isDir() ? videos : QDir::homePath();
}
} // namespace

namespace AddVideoDialog {

void open(QWindow* parent, std::function<void(QList<QUrl>)> chosen) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    auto* dialog = new QFileDialog(nullptr, InterfaceTexts::addDialogTitle.toString(), startFolder());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilter(VideoFiles::nameFilter());
    dialog->setLabelText(QFileDialog::Accept, InterfaceTexts::addDialogConfirm.toString());
    dialog->setWindowModality(Qt::WindowModal);
    dialog->winId();
    if (parent && dialog->windowHandle())
        dialog->windowHandle()->setTransientParent(parent);
    QObject::connect(dialog, &QDialog::accepted, dialog,
                     [dialog, chosen = std::move(chosen)] { chosen(dialog->selectedUrls()); });
    dialog->open();
}

} // namespace AddVideoDialog
