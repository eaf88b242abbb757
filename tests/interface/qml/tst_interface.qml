// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Lumivale.Interface

// TestCase draws nothing and takes no input; the objects under test live in this item.
Item {
    id: host
    width: 1120
    height: 740

    TestCase {
        name: "Interface"
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
        }

        function test_card() {
            const c = createTemporaryObject(card, host)
            const activated = createTemporaryObject(spy, host, { target: c, signalName: "activated" })
            const menu = createTemporaryObject(spy, host, { target: c, signalName: "menuRequested" })
            mouseClick(c)
            mouseClick(c, 10, 10, Qt.RightButton)
            compare(activated.count, 1)
            compare(menu.count, 1)
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
            mouseMove(c, 60, 60)
            verify(c.hovering)
        }

        Component { id: libraryView; LibraryView { anchors.fill: parent } }

        function test_layoutFollowsTheModel() {
            const view = createTemporaryObject(libraryView, host)
            const tabs = Array.from(findChild(view, "tabs").children).filter(tab => tab.title !== undefined)
            compare(tabs.map(tab => tab.contentItem.text), ["All", "Nature", "Downloaded"])
            // Two screens: the picker shows; no assignment: no pause button.
            verify(findChild(view, "displayPicker").visible)
            compare(findChild(findChild(view, "displayPicker"), "pickerTitle").text, "All displays")
            verify(!findChild(view, "pauseButton").visible)
            compare(findChild(view, "statusLine").text, testEngine.statusLine)

            const grid = findChild(view, "grid")
            tryCompare(grid, "count", 3)
            // 1120 wide: three columns of cards.
            compare(grid.columns, 3)
            view.model.category = "Nowhere"
            verify(!grid.visible)
            verify(findChild(view, "emptyState").visible)
            view.model.category = "All"

            view.model.activate("a")
            const pause = findChild(view, "pauseButton")
            verify(pause.visible)
            compare(pause.title, "Pause")
            mouseClick(pause)
            compare(testEngine.userPaused, true)
            compare(pause.title, "Resume")
            testEngine.stop()
            testEngine.userPaused = false
            verify(!pause.visible)

            mouseClick(findChild(view, "settingsButton"))
            tryCompare(findChild(view, "settingsSheet"), "opened", true)
        }

        Component { id: settingsView; SettingsView {} }

        function switchIn(view, name) { return findChild(findChild(view, name), "switch") }

        function test_switchesWriteThrough() {
            const view = createTemporaryObject(settingsView, host)
            const battery = switchIn(view, "pauseOnBattery")
            const covered = switchIn(view, "pauseWhenCovered")
            verify(battery.checked)
            verify(covered.checked)
            mouseClick(battery)
            compare(testEngine.pauseOnBattery, false)
            mouseClick(covered)
            compare(testEngine.pauseWhenCovered, false)
            // The engine changed elsewhere: the switch follows.
            testEngine.pauseOnBattery = true
            verify(battery.checked)
            testEngine.pauseWhenCovered = true

            const login = switchIn(view, "launchAtLogin")
            verify(!login.checked)
            mouseClick(login)
            verify(login.checked)
            compare(testLogin.enabled, true)

            // Refused: the switch returns to the real state, and nothing is tried again.
            testLogin.refuse = true
            mouseClick(login)
            verify(login.checked)
            compare(testLogin.calls, 2)
        }

        // The menu's entries are items of a popup, which findChild does not reach: pick through the signal.
        function test_rotationRow() {
            const view = createTemporaryObject(settingsView, host)
            const interval = findChild(view, "rotationInterval")
            const order = findChild(view, "rotationOrder")
            compare(findChild(interval, "pullDownTitle").text, "Off")
            verify(!order.enabled)
            compare(interval.items.map(item => item.title),
                    ["Off", "5 minutes", "15 minutes", "30 minutes", "1 hour", "1 day"])
            interval.picked(900)
            compare(testEngine.rotation.intervalSeconds, 900)
            compare(findChild(interval, "pullDownTitle").text, "15 minutes")
            verify(order.enabled)
            order.picked(true)
            compare(findChild(order, "pullDownTitle").text, "Shuffled")
            // A value set from the command line shows as a custom interval.
            testEngine.rotation.setChoice(90, false)
            compare(findChild(interval, "pullDownTitle").text, "Custom (1m30s)")
            compare(interval.items.length, 7)
            compare(findChild(order, "pullDownTitle").text, "In order")
            testEngine.rotation.setChoice(0, false)

            const done = createTemporaryObject(spy, host, { target: view, signalName: "done" })
            mouseClick(findChild(view, "done"))
            view.forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(done.count, 2)
        }
    }
}
