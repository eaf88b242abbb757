// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic as C
import Lumivale.Interface

// A category tab: a capsule filled white when selected, else a faint wash that brightens while
// pressed. The title is plain text: an "&" in a category stays an "&".
C.AbstractButton {
    id: tab

    property bool selected: false
    property string title: ""

    leftPadding: 13
    rightPadding: 13
    topPadding: 6
    bottomPadding: 6
    focusPolicy: Qt.NoFocus

    implicitWidth: leftPadding + contentItem.implicitWidth + rightPadding
    implicitHeight: topPadding + contentItem.implicitHeight + bottomPadding

    contentItem: Text {
        text: tab.title
        textFormat: Text.PlainText
        color: tab.selected ? "black" : Qt.rgba(1, 1, 1, 0.75)
        font.family: Fonts.family
        font.pixelSize: Fonts.callout
        font.weight: tab.selected ? Font.DemiBold : Font.Normal
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        objectName: "fill"
        radius: height / 2
        color: tab.selected ? "white" : Qt.rgba(1, 1, 1, tab.pressed ? 0.14 : 0.06)
    }
}
