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
        name: "Controls"
        when: windowShown

        Component { id: symbolOnly; ChromeButton { symbol: "preferences-system"; toolTip: "Settings" } }
        Component { id: tabButton; TabButton { title: "R&D" } }
        Component { id: spy; SignalSpy {} }
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

        // A click inside a symbol button's padding, outside the symbol, is a click.
        function test_buttons() {
            const button = createTemporaryObject(symbolOnly, host)
            const clicks = createTemporaryObject(spy, host, { target: button, signalName: "clicked" })
            mouseClick(button, 3, 3)
            compare(clicks.count, 1)
            // Titles from the catalog are plain text: the "&" is shown, not taken as a shortcut marker.
            const tab = createTemporaryObject(tabButton, host)
            compare(tab.contentItem.text, "R&D")
            compare(tab.contentItem.textFormat, Text.PlainText)
            tab.selected = true
            verify(Qt.colorEqual(tab.background.color, "white"))
        }

        function test_cardShowsItsState() {
            const c = createTemporaryObject(card, host)
            compare(findChild(c, "title").textFormat, Text.PlainText)
            const badge = findChild(c, "badge")
            const bar = findChild(c, "progressBar")
            compare(badge.text, "3840 × 2160")
            verify(!bar.visible)
            c.playing = true
            compare(badge.text, "Playing")
            c.playing = false
            c.resolution = ""
            verify(!badge.visible)
            c.downloading = true
            c.progress = 0.4
            verify(bar.visible)
        }

        function test_hover_data() {
            return [{ tag: "without a preview", preview: "" },
                    { tag: "with a preview", preview: "http://127.0.0.1:9/clip.mp4" }]
        }

        // The window hides with the pointer on the card: the hover ends and no player remains, also once
        // the window is back with the pointer elsewhere.
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

        function test_cardClicks() {
            const c = createTemporaryObject(card, host)
            const activated = createTemporaryObject(spy, host, { target: c, signalName: "activated" })
            const menu = createTemporaryObject(spy, host, { target: c, signalName: "menuRequested" })
            mouseClick(c)
            mouseClick(c, 10, 10, Qt.RightButton)
            compare(activated.count, 1)
            compare(menu.count, 1)
        }
    }
}
