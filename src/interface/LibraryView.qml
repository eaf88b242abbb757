// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import QtQuick.Controls.Basic as C
import QtQuick.Templates as T
import Lumivale.Interface

// The root view of the library window: header, category tabs, the grid of cards or the reason it is
// empty, and the footer with the engine's status line. The whole view takes dropped video files.
Rectangle {
    id: root

    property bool showingSettings: false
    property bool dropTargeted: false
    readonly property alias model: library

    implicitWidth: 1120
    implicitHeight: 740
    color: LibraryPalette.background

    LibraryViewModel { id: library }

    // The header's empty area moves the window, as a title bar would; the controls on top take their
    // own presses.
    Item {
        objectName: "headerDrag"
        width: root.width
        height: header.y + header.height + header.Layout.bottomMargin

        DragHandler {
            target: null
            onActiveChanged: {
                if (active && root.Window.window)
                    root.Window.window.startSystemMove()
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Header block.
        ColumnLayout {
            id: header
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.topMargin: 34
            Layout.bottomMargin: 16
            spacing: 14

            RowLayout {
                Layout.fillWidth: true
                spacing: 12

                Text {
                    text: qsTr("Lumivale")
                    color: LibraryPalette.text
                    font.family: Fonts.family
                    font.pixelSize: Fonts.title
                    font.weight: Font.DemiBold
                    font.letterSpacing: -0.4
                }
                Item { Layout.fillWidth: true }
                DisplayPicker {
                    objectName: "displayPicker"
                    visible: library.pickerVisible
                    title: library.pickerTitle
                    items: library.pickerItems
                    onPicked: (key) => library.displayChoice = key
                }
                ChromeButton {
                    objectName: "pauseButton"
                    visible: library.pauseVisible
                    symbol: library.userPaused ? "media-playback-start" : "media-playback-pause"
                    title: library.userPaused ? qsTr("Resume") : qsTr("Pause")
                    onClicked: library.togglePause()
                }
                ChromeButton {
                    objectName: "addButton"
                    symbol: "list-add"
                    title: qsTr("Add video")
                    onClicked: library.chooseVideos(root.Window.window)
                }
                ChromeButton {
                    objectName: "settingsButton"
                    symbol: "preferences-system"
                    toolTip: qsTr("Settings")
                    onClicked: root.showingSettings = true
                }
            }

            Flickable {
                Layout.fillWidth: true
                implicitHeight: tabRow.height
                contentWidth: tabRow.width
                contentHeight: tabRow.height
                flickableDirection: Flickable.HorizontalFlick
                boundsBehavior: Flickable.StopAtBounds
                clip: true

                Row {
                    id: tabRow
                    objectName: "tabs"
                    spacing: 6

                    Repeater {
                        model: library.tabs
                        delegate: TabButton {
                            required property string modelData
                            title: modelData
                            selected: modelData === library.category
                            onClicked: library.category = modelData
                        }
                    }
                }
            }
        }

        // Content area.
        Item {
            id: content
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true

            GridView {
                id: grid
                objectName: "grid"

                readonly property real available: Math.max(0, content.width - 48)
                readonly property int columns: Math.max(1, Math.floor((available + 18) / (300 + 18)))
                readonly property real cardWidth: cellWidth - 18

                visible: library.emptyState === LibraryViewModel.NoEmptyState
                x: 24 + Math.floor((available + 18 - columns * cellWidth) / 2)
                width: columns * cellWidth + 0.5
                height: parent.height
                cellWidth: Math.floor((available + 18) / columns)
                cellHeight: Math.round(cardWidth * 9 / 16) + 18
                bottomMargin: 24 - 18
                cacheBuffer: Math.round(cellHeight)
                boundsBehavior: Flickable.StopAtBounds
                model: library.wallpapers
                reuseItems: false
                C.ScrollBar.vertical: scrollBar

                delegate: WallpaperCard {
                    id: card
                    width: grid.cardWidth
                    onActivated: library.activate(wallpaperId)
                    onMenuRequested: (x, y) => cardMenu.openFor(wallpaperId, library.menuItems(wallpaperId), card, x, y)
                }
            }

            C.ScrollBar {
                id: scrollBar
                anchors { top: parent.top; bottom: parent.bottom; right: parent.right; rightMargin: 2; bottomMargin: 4 }
                visible: grid.visible
                policy: C.ScrollBar.AsNeeded
                contentItem: Rectangle {
                    implicitWidth: 6
                    radius: 3
                    color: Qt.rgba(1, 1, 1, scrollBar.pressed ? 0.45 : 0.28)
                    opacity: scrollBar.active ? 1 : 0
                    Behavior on opacity { NumberAnimation { duration: 250 } }
                }
                background: Item {}
            }

            EmptyState {
                objectName: "emptyState"
                anchors { left: parent.left; right: parent.right; verticalCenter: parent.verticalCenter }
                height: Math.max(320, parent.height)
                visible: library.emptyState !== LibraryViewModel.NoEmptyState
                kind: library.emptyState
                onTryAgain: library.tryAgain()
            }
        }

        // Footer.
        Item {
            Layout.fillWidth: true
            implicitHeight: status.implicitHeight + 20

            Rectangle {
                anchors { left: parent.left; right: parent.right; top: parent.top }
                height: 1
                color: LibraryPalette.hairline
            }
            RowLayout {
                anchors { fill: parent; leftMargin: 24; rightMargin: 24; topMargin: 10; bottomMargin: 10 }
                spacing: 14

                Text {
                    id: status
                    objectName: "statusLine"
                    text: library.statusLine
                    textFormat: Text.PlainText
                    color: LibraryPalette.secondaryText
                    font.family: Fonts.family
                    font.pixelSize: Fonts.callout
                }
                Item { Layout.fillWidth: true }
            }
        }
    }

    CardMenu {
        id: cardMenu
        objectName: "cardMenu"
        onChosen: (id, entry) => {
            if (entry.action === "setOn")
                library.activateOn(id, entry.displayKey)
            else if (entry.action === "remove")
                library.remove(id)
            else if (entry.action === "cancelDownload")
                library.cancelDownload(id)
        }
    }

    DropArea {
        anchors.fill: parent
        onEntered: (drag) => {
            if (!drag.hasUrls || !library.acceptsDrop(drag.urls)) {
                drag.accepted = false
                return
            }
            drag.accept(Qt.CopyAction)
            root.dropTargeted = true
        }
        onExited: root.dropTargeted = false
        onDropped: (drop) => {
            root.dropTargeted = false
            if (!drop.hasUrls || !library.acceptsDrop(drop.urls))
                return
            library.dropVideos(drop.urls)
            drop.accept(Qt.CopyAction)
        }
    }

    DropOverlay {
        objectName: "dropOverlay"
        anchors.fill: parent
        visible: root.dropTargeted
    }

    ProblemAlert {
        id: alert
        objectName: "problemAlert"
        message: library.problem
        onDismissed: library.dismissProblem()
    }

    Connections {
        target: library
        function onProblemChanged() {
            if (library.hasProblem && !alert.opened)
                alert.open()
        }
    }
    Component.onCompleted: {
        if (library.hasProblem)
            alert.open()
    }

    C.Popup {
        id: settingsSheet
        objectName: "settingsSheet"
        modal: true
        focus: true
        visible: root.showingSettings
        anchors.centerIn: T.Overlay.overlay
        width: 460
        height: 500
        padding: 0
        closePolicy: C.Popup.NoAutoClose
        T.Overlay.modal: Rectangle { color: LibraryPalette.dim }
        background: Rectangle {
            radius: 12
            color: LibraryPalette.sheet
            border.width: 1
            border.color: LibraryPalette.hairline
        }
        onClosed: root.showingSettings = false

        Loader {
            anchors.fill: parent
            active: settingsSheet.visible
            focus: true
            sourceComponent: SettingsView {
                onDone: settingsSheet.close()
                // The library window shows the about box; F1 opens it too.
                onAboutRequested: {
                    const window = root.Window.window
                    if (window && typeof window.showAbout === "function")
                        window.showAbout()
                }
            }
        }
    }
}
