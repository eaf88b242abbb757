// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/bus/TerminalText.h"

namespace {
bool unsafe(char16_t c) {
    if (c == u'\n' || c == u'\t')
        return false;
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool reorders = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    return control || reorders;
}

QString escaped(const QString& text, bool json) {
    QString result;
    result.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!unsafe(c))
            result.append(ch);
        else if (json || c > 0xFF)
            result.append(QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0')));
        else
            result.append(QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0')));
    }
    return result;
}
} // namespace

QString TerminalText::printable(const QString& text) {
    return escaped(text, false);
}

QString TerminalText::printableJson(const QString& json) {
    return escaped(json, true);
}
