// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Window
import QtQuick.Controls.Basic as C
import Lumivale.Interface

// Which displays a click on a card assigns to: a borderless pull-down with the display symbol and the
// chosen display's name.
C.AbstractButton {
    id: picker

    property string title: ""
    property var items: []
    signal picked(string key)

    focusPolicy: Qt.NoFocus
    padding: 4
    implicitWidth: leftPadding + contentItem.implicitWidth + rightPadding
    implicitHeight: topPadding + contentItem.implicitHeight + bottomPadding

    contentItem: Row {
        spacing: 5

        Image {
            anchors.verticalCenter: parent.verticalCenter
            source: "image://symbol/video-display"
            sourceSize: Qt.size(Math.ceil(14 * Screen.devicePixelRatio), Math.ceil(14 * Screen.devicePixelRatio))
            width: 14
            height: 14
        }
        Text {
            objectName: "pickerTitle"
            anchors.verticalCenter: parent.verticalCenter
            text: picker.title
            textFormat: Text.PlainText
            color: picker.pressed ? LibraryPalette.secondaryText : LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.callout
            font.weight: Font.Medium
        }
        Image {
            anchors.verticalCenter: parent.verticalCenter
            source: "image://symbol/pan-down"
            sourceSize: Qt.size(Math.ceil(12 * Screen.devicePixelRatio), Math.ceil(12 * Screen.devicePixelRatio))
            width: 12
            height: 12
            opacity: 0.7
        }
    }

    background: Item {}

    onClicked: menu.openFor("", picker.items.map(item => ({ action: "pick", title: item.title, key: item.key })))

    CardMenu {
        id: menu
        objectName: "pickerMenu"
        y: picker.height + 4
        onChosen: (id, entry) => picker.picked(entry.key)
    }
}
