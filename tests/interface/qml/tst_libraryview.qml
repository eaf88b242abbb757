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
        name: "LibraryView"
        when: windowShown

        Component { id: libraryView; LibraryView { anchors.fill: parent } }

        function tabTitles(view) {
            const row = findChild(view, "tabs")
            const titles = []
            for (let i = 0; i < row.children.length; ++i) {
                if (row.children[i].title !== undefined)
                    titles.push(row.children[i].contentItem.text)
            }
            return titles
        }

        function test_layoutFollowsTheModel() {
            const view = createTemporaryObject(libraryView, host)
            compare(tabTitles(view), ["All", "Nature", "Downloaded"])
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
        }

        function test_pauseButtonAndSheet() {
            const view = createTemporaryObject(libraryView, host)
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
            verify(view.showingSettings)
            tryCompare(findChild(view, "settingsSheet"), "opened", true)
        }
    }
}
