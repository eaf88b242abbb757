// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic as C
import Lumivale.Interface

// A card's context menu, built from the view model's items each time it opens. Titles are plain text:
// an "&" in a screen name is not a shortcut marker.
C.Menu {
    id: menu

    property string wallpaperId: ""
    property var entries: []
    signal chosen(string wallpaperId, var entry)

    // At a point of an item (where it was clicked), or else at the menu's own x and y.
    function openFor(id, items, item, x, y) {
        wallpaperId = id
        entries = items
        if (item)
            popup(item, x, y)
        else
            open()
    }

    padding: 5
    implicitWidth: 220

    background: Rectangle {
        implicitWidth: 220
        radius: 8
        color: LibraryPalette.menu
        border.width: 1
        border.color: LibraryPalette.hairline
    }

    Instantiator {
        model: menu.entries
        delegate: C.MenuItem {
            id: item

            required property var modelData
            readonly property bool separator: modelData.action === "separator"

            enabled: !separator
            implicitHeight: separator ? 9 : 24
            leftPadding: 10
            rightPadding: 10
            onTriggered: menu.chosen(menu.wallpaperId, modelData)

            contentItem: Item {
                implicitWidth: label.implicitWidth

                Text {
                    id: label
                    anchors.verticalCenter: parent.verticalCenter
                    visible: !item.separator
                    text: item.modelData.title
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    width: parent.width
                    color: item.modelData.destructive ? LibraryPalette.destructive : LibraryPalette.text
                    font.family: Fonts.family
                    font.pixelSize: Fonts.headline
                }
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    visible: item.separator
                    width: parent.width
                    height: 1
                    color: Qt.rgba(1, 1, 1, 0.12)
                }
            }
            background: Rectangle {
                radius: 5
                color: item.highlighted && !item.separator ? LibraryPalette.menuHighlight : "transparent"
            }
        }
        onObjectAdded: (index, object) => menu.insertItem(index, object)
        onObjectRemoved: (index, object) => menu.removeItem(object)
    }
}
