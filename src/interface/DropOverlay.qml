// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Lumivale.Interface

// Shown while an accepted drag is over the window.
Item {
    Rectangle {
        anchors { fill: parent; margins: 8 }
        radius: 14
        color: "transparent"
        border.width: 2
        border.color: LibraryPalette.accent
    }

    Rectangle {
        anchors.centerIn: parent
        width: message.implicitWidth + 32
        height: message.implicitHeight + 32
        radius: height / 2
        color: Qt.rgba(0, 0, 0, 0.7)

        Text {
            id: message
            anchors.centerIn: parent
            text: qsTr("Drop a video to use it as your wallpaper")
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.title3
            font.weight: Font.Medium
        }
    }
}
