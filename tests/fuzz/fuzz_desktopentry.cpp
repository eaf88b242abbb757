// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "platform/xdg/DesktopEntry.h"

// Any text reads as an entry; an entry written and read again holds the same values.
void fuzzOne(const QByteArray& input) {
    const DesktopEntry entry = DesktopEntry::parse(input);
    const QByteArray text = entry.toText();
    const DesktopEntry again = DesktopEntry::parse(text);
    for (const QString& key : {QStringLiteral("Exec"), QStringLiteral("Hidden"), QStringLiteral("OnlyShowIn"),
                               QStringLiteral("X-GNOME-Autostart-enabled")}) {
        require(again.value(key) == entry.value(key), "desktop entry round trip");
        require(again.listValue(key) == entry.listValue(key), "list values round trip");
        require(again.boolValue(key) == entry.boolValue(key), "Boolean values round trip");
    }
    require(again.toText() == text, "writing is stable");
}
