// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Lumivale.Interface

// What the content area says when the selected tab has nothing to show, and why.
Item {
    id: empty

    required property int kind
    signal tryAgain()

    implicitHeight: 320

    Column {
        anchors.centerIn: parent
        width: parent.width
        spacing: 10

        Spinner {
            anchors.horizontalCenter: parent.horizontalCenter
            visible: empty.kind === LibraryViewModel.LoadingState
        }
        Text {
            objectName: "headline"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: text !== ""
            text: empty.kind === LibraryViewModel.OfflineState ? qsTr("The library can't load right now")
                : empty.kind === LibraryViewModel.NothingState ? qsTr("Nothing here yet") : ""
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.headline
            font.weight: Font.DemiBold
        }
        Text {
            objectName: "explanation"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(implicitWidth, parent.width - 48)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: empty.kind === LibraryViewModel.LoadingState ? qsTr("Loading the library")
                : empty.kind === LibraryViewModel.OfflineState
                ? qsTr("Check your connection, or add a video of your own.")
                : qsTr("Add a video of your own, or drop one on this window.")
            color: LibraryPalette.secondaryText
            font.family: Fonts.family
            font.pixelSize: Fonts.callout
        }
        ChromeButton {
            objectName: "tryAgain"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: empty.kind === LibraryViewModel.OfflineState
            title: qsTr("Try again")
            onClicked: empty.tryAgain()
        }
    }
}
