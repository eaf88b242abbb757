// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the command line prints comes partly from others (catalog ids, display names, error texts), and
// a terminal obeys control characters: an escape sequence could retitle it or write the clipboard.
namespace TerminalText {
// The text with every control character other than line feed and tab, and every mark that reorders
// text, written as a visible escape: \x1b, \u202e.
[[nodiscard]] QString printable(const QString& text);
// JSON text with the same characters as \u escapes: the document decodes to the same values.
[[nodiscard]] QString printableJson(const QString& json);
} // namespace TerminalText
