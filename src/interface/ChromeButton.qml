// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Window
import QtQuick.Controls.Basic as C
import Lumivale.Interface

// The quiet rounded button of the header row: a symbol, a title or both, in the callout font at
// medium weight, on a white wash that brightens while pressed. The whole padded rectangle is the
// button.
C.AbstractButton {
    id: button

    // A freedesktop icon name (see SymbolProvider); empty for none.
    property string symbol: ""
    // Shown as plain text, never as a shortcut marker.
    property string title: ""
    property string toolTip: ""

    leftPadding: 12
    rightPadding: 12
    topPadding: 7
    bottomPadding: 7
    hoverEnabled: true
    focusPolicy: Qt.NoFocus

    implicitWidth: leftPadding + contentItem.implicitWidth + rightPadding
    implicitHeight: topPadding + contentItem.implicitHeight + bottomPadding

    contentItem: Row {
        spacing: 6

        Image {
            anchors.verticalCenter: parent.verticalCenter
            visible: button.symbol !== ""
            source: button.symbol !== "" ? "image://symbol/" + button.symbol : ""
            sourceSize: Qt.size(Math.ceil(14 * Screen.devicePixelRatio), Math.ceil(14 * Screen.devicePixelRatio))
            width: 14
            height: 14
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            visible: button.title !== ""
            text: button.title
            textFormat: Text.PlainText
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.callout
            font.weight: Font.Medium
        }
    }

    background: Rectangle {
        objectName: "fill"
        radius: 8
        color: Qt.rgba(1, 1, 1, button.pressed ? 0.16 : 0.08)
    }

    C.ToolTip {
        visible: button.toolTip !== "" && button.hovered
        delay: 700
        y: button.height + 6
        padding: 6
        contentItem: Text {
            text: button.toolTip
            textFormat: Text.PlainText
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.callout
        }
        background: Rectangle {
            radius: 5
            color: LibraryPalette.menu
            border.width: 1
            border.color: LibraryPalette.hairline
        }
    }
}
