import QtQuick

// Stands in for the library view until the interface is built into the application.
Rectangle {
    id: root

    required property QtObject summary
    required property QtObject window

    readonly property color secondaryText: Qt.rgba(1, 1, 1, 0.58)
    readonly property color hairline: Qt.rgba(1, 1, 1, 0.09)
    readonly property color accent: Qt.rgba(0.98, 0.62, 0.36, 1)

    color: Qt.rgba(0.043, 0.047, 0.063, 1)

    Column {
        anchors.centerIn: parent
        spacing: 12

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Lumivale"
            color: "white"
            font.pixelSize: 28
            font.weight: Font.DemiBold
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.summary.loading ? "Loading the catalog…"
                : root.summary.offline ? "The catalog is offline."
                : root.summary.catalogCount + " wallpapers in " + root.summary.categories.length + " categories"
            color: root.secondaryText
            font.pixelSize: 15
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.summary.downloadedCount + " downloaded, " + root.summary.importedCount + " imported"
            color: root.secondaryText
            font.pixelSize: 13
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.summary.categories.join("  ·  ")
            color: root.accent
            font.pixelSize: 13
        }
    }

    Rectangle {
        id: footer
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 36
        color: "transparent"

        Rectangle {
            anchors { left: parent.left; right: parent.right; top: parent.top }
            height: 1
            color: root.hairline
        }
        Text {
            anchors { left: parent.left; leftMargin: 16; verticalCenter: parent.verticalCenter }
            text: root.summary.statusLine
            color: root.secondaryText
            font.pixelSize: 12
        }
        Text {
            anchors { right: parent.right; rightMargin: 16; verticalCenter: parent.verticalCenter }
            text: "About Lumivale"
            color: aboutArea.containsMouse ? "white" : root.secondaryText
            font.pixelSize: 12

            MouseArea {
                id: aboutArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: root.window.showAbout()
            }
        }
    }
}
