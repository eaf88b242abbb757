// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Lumivale.Interface

// One cell of the library grid: a 16:9 tile with the poster, the preview while hovered, the title,
// "Playing" or the resolution, and the download's progress. The outline is accent and 2 wide while
// the wallpaper is on a display, else a hairline.
Item {
    id: card

    required property string wallpaperId
    required property string title
    required property string resolution
    required property url posterUrl
    required property url previewUrl
    required property bool playing
    required property bool downloading
    required property real progress

    // A window that hides or minimises sends no leave event, so the card ends its hover itself then
    // and waits for the pointer to come back: a card in a hidden window decodes nothing.
    readonly property bool shown: card.Window.visibility !== Window.Hidden
                                  && card.Window.visibility !== Window.Minimized
    property bool pointerInside: false
    readonly property bool hovering: pointerInside && shown
    // The preview fading out after a hover; never in a hidden window.
    property bool fading: false
    readonly property bool hasPreview: card.previewUrl.toString() !== ""
    readonly property int radius: 12
    readonly property var easeOut: [0, 0, 0.58, 1, 1, 1]

    signal activated()
    signal menuRequested(real x, real y)

    implicitWidth: 320
    height: Math.round(width * 9 / 16)
    scale: hovering ? 1.012 : 1
    z: hovering ? 1 : 0

    Behavior on scale {
        NumberAnimation { duration: 160; easing.type: Easing.BezierSpline; easing.bezierCurve: card.easeOut }
    }

    Rectangle {
        anchors.fill: parent
        radius: card.radius
        color: LibraryPalette.surface
    }

    PosterImage {
        objectName: "poster"
        anchors.fill: parent
        visible: source.toString() !== ""
        source: card.posterUrl
    }

    Loader {
        id: preview
        objectName: "preview"
        anchors.fill: parent
        active: card.hasPreview && (card.hovering || card.fading)
        opacity: card.hovering ? 1 : 0
        Behavior on opacity {
            NumberAnimation {
                duration: 160
                easing.type: Easing.BezierSpline
                easing.bezierCurve: card.easeOut
                onRunningChanged: {
                    if (!running && !card.hovering)
                        card.fading = false
                }
            }
        }
        sourceComponent: HoverPreview {
            source: card.previewUrl
            playing: card.hovering
        }
    }

    onShownChanged: {
        if (!shown) {
            pointerInside = false
            fading = false
        }
    }

    // Each hover plays the clip from its beginning, also when the last one is still fading out.
    onHoveringChanged: {
        fading = !hovering && shown
        if (hovering && preview.item)
            preview.item.restart()
    }

    Rectangle {
        anchors { left: parent.left; right: parent.right; top: parent.verticalCenter; bottom: parent.bottom }
        gradient: Gradient {
            GradientStop { position: 0; color: "transparent" }
            GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.65) }
        }
    }

    RowLayout {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom; margins: 12 }
        spacing: 8

        Text {
            objectName: "title"
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignBaseline
            text: card.title
            textFormat: Text.PlainText
            elide: Text.ElideRight
            maximumLineCount: 1
            color: LibraryPalette.text
            font.family: Fonts.family
            font.pixelSize: Fonts.callout
            font.weight: Font.Medium
        }
        Text {
            objectName: "badge"
            Layout.alignment: Qt.AlignBaseline
            visible: text !== ""
            text: card.playing ? qsTr("Playing") : card.resolution
            textFormat: Text.PlainText
            color: card.playing ? LibraryPalette.accent : LibraryPalette.secondaryText
            font.family: Fonts.family
            font.pixelSize: Fonts.caption
            font.weight: card.playing ? Font.DemiBold : Font.Normal
        }
    }

    Item {
        objectName: "progressBar"
        visible: card.downloading
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom; leftMargin: 12; rightMargin: 12; bottomMargin: 2 }
        height: 4

        Rectangle {
            anchors.fill: parent
            radius: height / 2
            color: Qt.rgba(1, 1, 1, 0.18)
        }
        Rectangle {
            width: parent.width * Math.max(0, Math.min(1, card.progress))
            height: parent.height
            radius: height / 2
            color: LibraryPalette.accent
        }
    }

    // The rounded corners: the card sits on the window's background, so a ring of that colour around
    // the rounded shape cuts the square corners of the poster and the preview.
    Rectangle {
        anchors { fill: parent; margins: -5 }
        radius: card.radius + 5
        color: "transparent"
        border.width: 5
        border.color: LibraryPalette.background
    }

    Rectangle {
        objectName: "outline"
        anchors.fill: parent
        radius: card.radius
        color: "transparent"
        border.width: card.playing ? 2 : 1
        border.color: card.playing ? LibraryPalette.accent : LibraryPalette.hairline
    }

    MouseArea {
        id: pointer
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onEntered: card.pointerInside = true
        onExited: card.pointerInside = false
        onPositionChanged: card.pointerInside = true
        onClicked: (mouse) => {
            if (mouse.button === Qt.RightButton)
                card.menuRequested(mouse.x, mouse.y)
            else
                card.activated()
        }
    }
}
