// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import QtQuick.Controls.Basic as C
import Lumivale.Interface

// The settings sheet: three switches, when to change the wallpaper by itself, the version with "About
// Lumivale", a mail link for help, and "Done" (also Return).
// Made anew each time the sheet opens, so the login switch reads the system's state every time.
Item {
    id: view

    signal done()
    signal aboutRequested()

    implicitWidth: 460
    implicitHeight: 500
    focus: true

    SettingsModel { id: settings }

    component FormRow: Item {
        Layout.fillWidth: true
        implicitHeight: 36
    }

    component SettingSwitch: FormRow {
        id: row

        property string title
        property bool value
        signal changed(bool value)

        Text {
            anchors { left: parent.left; leftMargin: 12; verticalCenter: parent.verticalCenter }
            text: row.title
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.headline
        }
        C.Switch {
            id: control
            objectName: "switch"
            anchors { right: parent.right; rightMargin: 10; verticalCenter: parent.verticalCenter }
            checked: row.value
            focusPolicy: Qt.NoFocus
            padding: 0
            implicitWidth: 34
            implicitHeight: 20
            onToggled: {
                row.changed(checked)
                // The model has the last word (a refused login change falls back).
                checked = Qt.binding(() => row.value)
            }
            indicator: Rectangle {
                implicitWidth: 34
                implicitHeight: 20
                radius: height / 2
                color: control.checked ? LibraryPalette.accent : Qt.rgba(1, 1, 1, 0.16)
                Behavior on color { ColorAnimation { duration: 120 } }

                Rectangle {
                    x: control.checked ? parent.width - width - 2 : 2
                    anchors.verticalCenter: parent.verticalCenter
                    width: 16
                    height: 16
                    radius: 8
                    color: "white"
                    Behavior on x { NumberAnimation { duration: 120; easing.type: Easing.OutCubic } }
                }
            }
            contentItem: Item {}
        }
    }

    // A borderless pull-down: the chosen title and an arrow; the menu lists {title, value} items.
    component PullDown: C.AbstractButton {
        id: pullDown

        property string title
        property var items: []
        signal picked(var value)

        focusPolicy: Qt.NoFocus
        padding: 4
        implicitWidth: leftPadding + contentItem.implicitWidth + rightPadding
        implicitHeight: topPadding + contentItem.implicitHeight + bottomPadding
        opacity: enabled ? 1 : 0.4

        contentItem: Row {
            spacing: 5

            Text {
                objectName: "pullDownTitle"
                anchors.verticalCenter: parent.verticalCenter
                text: pullDown.title
                textFormat: Text.PlainText
                color: pullDown.pressed ? LibraryPalette.text : LibraryPalette.secondaryText
                font.family: Fonts.family
                font.pixelSize: Fonts.headline
            }
            Image {
                anchors.verticalCenter: parent.verticalCenter
                source: "image://symbol/pan-down"
                sourceSize: Qt.size(Math.ceil(12 * Screen.devicePixelRatio),
                                    Math.ceil(12 * Screen.devicePixelRatio))
                width: 12
                height: 12
                opacity: 0.7
            }
        }

        background: Item {}

        onClicked: menu.openFor("", pullDown.items.map(item => ({ action: "pick", title: item.title,
                                                                 value: item.value })))

        CardMenu {
            id: menu
            objectName: "pullDownMenu"
            implicitWidth: 160
            y: pullDown.height + 4
            onChosen: (id, entry) => pullDown.picked(entry.value)
        }
    }

    component Separator: Rectangle {
        Layout.fillWidth: true
        Layout.leftMargin: 12
        implicitHeight: 1
        color: LibraryPalette.hairline
    }

    component Section: Rectangle {
        default property alias rows: column.data
        Layout.fillWidth: true
        implicitHeight: column.implicitHeight + 8
        radius: 8
        color: LibraryPalette.surface
        border.width: 1
        border.color: LibraryPalette.hairline

        ColumnLayout {
            id: column
            anchors { left: parent.left; right: parent.right; verticalCenter: parent.verticalCenter }
            spacing: 0
        }
    }

    ColumnLayout {
        anchors { fill: parent; margins: 20 }
        spacing: 18

        Text {
            text: qsTr("Settings")
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.title3
            font.weight: Font.DemiBold
        }

        Section {
            SettingSwitch {
                objectName: "launchAtLogin"
                title: qsTr("Start when I log in")
                value: settings.launchAtLogin
                onChanged: (value) => settings.launchAtLogin = value
            }
            Separator {}
            SettingSwitch {
                objectName: "pauseOnBattery"
                title: qsTr("Pause on battery")
                value: settings.pauseOnBattery
                onChanged: (value) => settings.pauseOnBattery = value
            }
            Separator {}
            SettingSwitch {
                objectName: "pauseWhenCovered"
                title: qsTr("Pause when windows cover the wallpaper")
                value: settings.pauseWhenCovered
                onChanged: (value) => settings.pauseWhenCovered = value
            }
            Separator {}
            FormRow {
                objectName: "rotation"

                Text {
                    anchors { left: parent.left; leftMargin: 12; verticalCenter: parent.verticalCenter }
                    text: qsTr("Change wallpaper")
                    color: LibraryPalette.text
                    font.family: Fonts.family
                    font.pixelSize: Fonts.headline
                }
                Row {
                    anchors { right: parent.right; rightMargin: 6; verticalCenter: parent.verticalCenter }
                    spacing: 8

                    PullDown {
                        objectName: "rotationOrder"
                        enabled: settings.rotationInterval > 0
                        title: settings.rotationShuffled ? qsTr("Shuffled") : qsTr("In order")
                        items: [{ title: qsTr("In order"), value: false }, { title: qsTr("Shuffled"), value: true }]
                        onPicked: (value) => settings.rotationShuffled = value
                    }
                    PullDown {
                        objectName: "rotationInterval"
                        title: settings.rotationTitle
                        items: settings.rotationIntervals.map(item => ({ title: item.title, value: item.seconds }))
                        onPicked: (value) => settings.rotationInterval = value
                    }
                }
            }
        }

        Section {
            FormRow {
                Text {
                    anchors { left: parent.left; leftMargin: 12; verticalCenter: parent.verticalCenter }
                    text: qsTr("Version")
                    color: LibraryPalette.text
                    font.family: Fonts.family
                    font.pixelSize: Fonts.headline
                }
                Text {
                    objectName: "version"
                    anchors { right: parent.right; rightMargin: 12; verticalCenter: parent.verticalCenter }
                    text: settings.version
                    textFormat: Text.PlainText
                    color: LibraryPalette.secondaryText
                    font.family: Fonts.family
                    font.pixelSize: Fonts.headline
                }
            }
            Separator {}
            FormRow {
                Text {
                    objectName: "about"
                    anchors { left: parent.left; leftMargin: 12; verticalCenter: parent.verticalCenter }
                    text: qsTr("About Lumivale")
                    color: aboutArea.pressed ? Qt.darker(LibraryPalette.accent, 1.2) : LibraryPalette.accent
                    font.family: Fonts.family
                    font.pixelSize: Fonts.headline
                    font.underline: aboutArea.containsMouse

                    MouseArea {
                        id: aboutArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: view.aboutRequested()
                    }
                }
            }
            Separator {}
            FormRow {
                Text {
                    id: help
                    objectName: "getHelp"
                    anchors { left: parent.left; leftMargin: 12; verticalCenter: parent.verticalCenter }
                    text: qsTr("Get help")
                    color: helpArea.pressed ? Qt.darker(LibraryPalette.accent, 1.2) : LibraryPalette.accent
                    font.family: Fonts.family
                    font.pixelSize: Fonts.headline
                    font.underline: helpArea.containsMouse

                    MouseArea {
                        id: helpArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: settings.getHelp()
                    }
                }
            }
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            Layout.fillWidth: true

            Item { Layout.fillWidth: true }
            ChromeButton {
                objectName: "done"
                title: qsTr("Done")
                onClicked: view.done()
            }
        }
    }

    Keys.onReturnPressed: view.done()
    Keys.onEnterPressed: view.done()
}
