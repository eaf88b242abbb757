// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringView>

// A text of a table that the user reads: its English source and the context translators find it under
// (QT_TRANSLATE_NOOP marks it for lupdate). Reading it gives it in the installed translation's language.
struct UiText {
    const char* context;
    const char* source;

    [[nodiscard]] QString toString() const { return QCoreApplication::translate(context, source); }
    // A table's text stands wherever a QString does.
    operator QString() const { return toString(); }
};

[[nodiscard]] inline bool operator==(QStringView text, const UiText& ui) {
    return text == ui.toString();
}
[[nodiscard]] inline bool operator==(const QString& text, const UiText& ui) {
    return text == ui.toString();
}
[[nodiscard]] inline QString operator+(const UiText& ui, const QString& text) {
    return ui.toString() + text;
}
