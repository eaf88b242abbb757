// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QUrl>
#include <functional>

class QWindow;

// The "Add video" file dialog: several video files, confirmed with "Add".
namespace AddVideoDialog {
// Opens the dialog over the window without blocking; `chosen` gets the files in the dialog's order
// when the user confirms, and is not called on cancel. Needs a QApplication; without one it does
// nothing.
void open(QWindow* parent, std::function<void(QList<QUrl>)> chosen);
} // namespace AddVideoDialog
