// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick
import Lumivale.Interface

// The library palette. Every view of the library window forces the dark appearance, so default text
// is white.
QtObject {
    readonly property color background: LibraryBackground.color
    readonly property color accent: Qt.rgba(0.98, 0.62, 0.36, 1)
    readonly property color surface: Qt.rgba(1, 1, 1, 0.05)
    readonly property color hairline: Qt.rgba(1, 1, 1, 0.09)
    readonly property color secondaryText: Qt.rgba(1, 1, 1, 0.58)
    readonly property color text: "white"

    // Stand-ins for the platform's dark sheets, menus and alerts.
    readonly property color sheet: Qt.rgba(0.105, 0.11, 0.13, 1)
    readonly property color menu: Qt.rgba(0.15, 0.155, 0.175, 0.98)
    readonly property color menuHighlight: Qt.rgba(1, 1, 1, 0.1)
    readonly property color destructive: Qt.rgba(1, 0.42, 0.38, 1)
    readonly property color dim: Qt.rgba(0, 0, 0, 0.45)
}
