// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic as C
import QtQuick.Templates as T
import Lumivale.Interface

// The store's problem sentence, titled "Lumivale", with one "OK". Dismissing it in any way clears the
// problem; a sentence set again shows it again.
C.Popup {
    id: alert

    property string message: ""
    signal dismissed()

    modal: true
    focus: true
    anchors.centerIn: T.Overlay.overlay
    width: 340
    padding: 20
    closePolicy: C.Popup.CloseOnEscape

    T.Overlay.modal: Rectangle { color: LibraryPalette.dim }

    background: Rectangle {
        radius: 12
        color: LibraryPalette.sheet
        border.width: 1
        border.color: LibraryPalette.hairline
    }

    contentItem: Column {
        spacing: 14
        focus: true
        Keys.onReturnPressed: alert.close()
        Keys.onEnterPressed: alert.close()

        Text {
            text: qsTr("Lumivale")
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.headline
            font.weight: Font.DemiBold
        }
        Text {
            objectName: "message"
            width: parent.width
            text: alert.message
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.callout
        }
        Item {
            width: parent.width
            height: ok.implicitHeight

            ChromeButton {
                id: ok
                objectName: "ok"
                anchors.right: parent.right
                title: qsTr("OK")
                onClicked: alert.close()
            }
        }
    }

    onClosed: alert.dismissed()
}
