// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Lumivale.Interface

// TestCase draws nothing and takes no input; the objects under test live in this item.
Item {
    id: host
    width: 500
    height: 400

    TestCase {
        id: testCase
        name: "WallpaperCard"
        when: windowShown

        // Text keeps its colour at 8 bits a channel.
        function sameColor(a, b) {
            const x = Qt.color(a), y = Qt.color(b)
            return Math.abs(x.r - y.r) < 0.003 && Math.abs(x.g - y.g) < 0.003 && Math.abs(x.b - y.b) < 0.003
                && Math.abs(x.a - y.a) < 0.003
        }

        Component {
            id: card
            WallpaperCard {
                width: 320
                wallpaperId: "a"
                title: "Aurora & Drift"
                resolution: "3840 × 2160"
                posterUrl: ""
                previewUrl: ""
                playing: false
                downloading: false
                progress: 0
            }
        }

        function test_geometry() {
            const c = createTemporaryObject(card, host)
            compare(c.height, 180)
            compare(findChild(c, "outline").radius, 12)
            verify(!findChild(c, "poster").visible)
            compare(findChild(c, "title").text, "Aurora & Drift")
            compare(findChild(c, "title").textFormat, Text.PlainText)
        }

        function test_outlineAndLabel() {
            const c = createTemporaryObject(card, host)
            const outline = findChild(c, "outline")
            const badge = findChild(c, "badge")
            compare(outline.border.width, 1)
            verify(sameColor(outline.border.color, LibraryPalette.hairline))
            compare(badge.text, "3840 × 2160")
            verify(sameColor(badge.color, LibraryPalette.secondaryText))

            c.playing = true
            compare(outline.border.width, 2)
            verify(sameColor(outline.border.color, LibraryPalette.accent))
            compare(badge.text, "Playing")
            verify(sameColor(badge.color, LibraryPalette.accent))
            compare(badge.font.weight, Font.DemiBold)

            // Without a resolution a card that is not playing shows only its title.
            c.playing = false
            c.resolution = ""
            verify(!badge.visible)
        }

        function test_progressBarWhileDownloading() {
            const c = createTemporaryObject(card, host)
            const bar = findChild(c, "progressBar")
            verify(!bar.visible)
            c.downloading = true
            c.progress = 0.4
            verify(bar.visible)
            compare(bar.height, 4)
            compare(bar.anchors.leftMargin, 12)
            compare(bar.anchors.bottomMargin, 2)
        }

        function test_hover_data() {
            return [{ tag: "without a preview", preview: "" },
                    { tag: "with a preview", preview: "http://127.0.0.1:9/clip.mp4" }]
        }

        // The window hides with the pointer on the card: the hover ends and no player remains, also once
        // the window is back with the pointer elsewhere. Without a preview only the scale changes.
        function test_hover(data) {
            const c = createTemporaryObject(card, host, { previewUrl: data.preview })
            const preview = findChild(c, "preview")
            const window = host.Window.window
            mouseMove(c, 50, 50)
            tryCompare(c, "scale", 1.012)
            compare(preview.status, data.preview === "" ? Loader.Null : Loader.Ready)

            window.hide()
            verify(!c.hovering)
            compare(preview.status, Loader.Null)
            window.show()
            tryVerify(() => window.visible)
            verify(!c.hovering)
            compare(preview.status, Loader.Null)

            mouseMove(c, 60, 60)
            verify(c.hovering)
            mouseMove(host, 490, 390)
            tryCompare(c, "scale", 1)
        }

        function test_clicks() {
            const c = createTemporaryObject(card, host)
            const activated = createTemporaryObject(spy, host, { target: c, signalName: "activated" })
            const menu = createTemporaryObject(spy, host, { target: c, signalName: "menuRequested" })
            mouseClick(c)
            mouseClick(c, 10, 10, Qt.RightButton)
            compare(activated.count, 1)
            compare(menu.count, 1)
        }

        Component { id: spy; SignalSpy {} }
    }
}
