// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xdg/DesktopEntry.h"

#include <QFile>

namespace {
constexpr QLatin1StringView groupHeader{"[Desktop Entry]"};

QString unescape(const QString& raw) {
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != QLatin1Char('\\') || i + 1 == raw.size()) {
            out.append(c);
            continue;
        }
        const QChar next = raw[++i];
        switch (next.unicode()) {
        case 's':
            out.append(QLatin1Char(' '));
            break;
        case 'n':
            out.append(QLatin1Char('\n'));
            break;
        case 't':
            out.append(QLatin1Char('\t'));
            break;
        case 'r':
            out.append(QLatin1Char('\r'));
            break;
        default:
            // "\\" and "\;" keep the character; the list split below needs "\;" intact, so it is kept
            // escaped here and resolved there.
            if (next == QLatin1Char(';'))
                out.append(QLatin1Char('\\'));
            out.append(next);
        }
    }
    return out;
}

// Blanks around a line, a key or a value: the ones a writer never leaves unescaped at a value's ends.
// QString::trimmed would also take vertical tabs and Unicode spaces, which no escape can keep.
QString trimBlanks(const QString& text) {
    const auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
    };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && blank(text[start]))
        ++start;
    while (end > start && blank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QString escape(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        // A reader trims the line, so spaces at either end of the value survive only escaped.
        if (c == QLatin1Char(' ') && (i == 0 || i == value.size() - 1)) {
            out.append(QLatin1String("\\s"));
            continue;
        }
        switch (c.unicode()) {
        case '\\':
            out.append(QLatin1String("\\\\"));
            break;
        case '\n':
            out.append(QLatin1String("\\n"));
            break;
        case '\t':
            out.append(QLatin1String("\\t"));
            break;
        case '\r':
            out.append(QLatin1String("\\r"));
            break;
        default:
            out.append(c);
        }
    }
    return out;
}
} // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(file.readAll());
}

DesktopEntry DesktopEntry::parse(const QByteArray& text) {
    DesktopEntry entry;
    bool inGroup = false;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = trimBlanks(QString::fromUtf8(rawLine));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == groupHeader;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals <= 0)
            continue;
        const QString key = trimBlanks(line.left(equals));
        // Localised variants ("Name[de]") never decide anything here.
        if (key.contains(QLatin1Char('[')) || entry.m_values.contains(key))
            continue;
        entry.setValue(key, unescape(trimBlanks(line.mid(equals + 1))));
    }
    return entry;
}

std::optional<bool> DesktopEntry::boolValue(const QString& key) const {
    const QString stored = m_values.value(key);
    if (stored == QLatin1String("true"))
        return true;
    if (stored == QLatin1String("false"))
        return false;
    return std::nullopt;
}

QStringList DesktopEntry::listValue(const QString& key) const {
    QStringList items;
    QString current;
    const QString stored = m_values.value(key);
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == QLatin1Char('\\') && i + 1 < stored.size() && stored[i + 1] == QLatin1Char(';')) {
            current.append(QLatin1Char(';'));
            ++i;
        } else if (stored[i] == QLatin1Char(';')) {
            items.append(current);
            current.clear();
        } else {
            current.append(stored[i]);
        }
    }
    if (!current.isEmpty())
        items.append(current);
    items.removeAll(QString());
    return items;
}

void DesktopEntry::setValue(const QString& key, const QString& value) {
    if (!m_values.contains(key))
        m_order.append(key);
    m_values.insert(key, value);
}

QByteArray DesktopEntry::toText() const {
    QString text = QString(groupHeader) + QLatin1Char('\n');
    for (const QString& key : m_order)
        text += key + QLatin1Char('=') + escape(m_values.value(key)) + QLatin1Char('\n');
    return text.toUtf8();
}

QString DesktopEntry::execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted;
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) {
        if (reserved.contains(c))
            needsQuotes = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted.append(QLatin1Char('\\'));
        quoted.append(c);
        // A literal percent sign is written twice; single ones are field codes.
        if (c == QLatin1Char('%'))
            quoted.append(QLatin1Char('%'));
    }
    if (!needsQuotes)
        return quoted;
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
