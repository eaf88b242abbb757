// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/update/UpdateController.h"

#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;

// The small window of a check the user asked for: progress, then the outcome in one sentence, with a
// button to the download page when a newer version exists.
class UpdateWindow : public QWidget {
    Q_OBJECT

public:
    explicit UpdateWindow(QWidget* parent = nullptr);

    void showChecking();
    void showResult(const UpdateController::Result& result);

    [[nodiscard]] QString text() const;
    [[nodiscard]] bool offersPage() const;
    [[nodiscard]] const QUrl& page() const { return m_page; }

private:
    void present();

    QLabel* m_text;
    QLabel* m_notes;
    QPushButton* m_openPage;
    QUrl m_page;
};
