// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Lumivale.Interface

// TestCase draws nothing and takes no input; the objects under test live in this item.
Item {
    id: host
    width: 400
    height: 200

    TestCase {
        id: testCase
        name: "Buttons"
        when: windowShown

        // Text keeps its colour at 8 bits a channel.
        function sameColor(a, b) {
            const x = Qt.color(a), y = Qt.color(b)
            return Math.abs(x.r - y.r) < 0.003 && Math.abs(x.g - y.g) < 0.003 && Math.abs(x.b - y.b) < 0.003
                && Math.abs(x.a - y.a) < 0.003
        }

        Component { id: chromeButton; ChromeButton { title: "Add video"; symbol: "list-add" } }
        Component { id: symbolOnly; ChromeButton { symbol: "preferences-system"; toolTip: "Settings" } }
        Component { id: tabButton; TabButton { title: "R&D" } }
        Component { id: clicks; SignalSpy { signalName: "clicked" } }

        function white(opacity) { return Qt.rgba(1, 1, 1, opacity) }

        function test_chromeButton() {
            const button = createTemporaryObject(chromeButton, host)
            compare([button.leftPadding, button.rightPadding, button.topPadding, button.bottomPadding], [12, 12, 7, 7])
            compare(button.background.radius, 8)
            verify(sameColor(button.background.color, white(0.08)))
            mousePress(button)
            verify(sameColor(button.background.color, white(0.16)))
            mouseRelease(button)
            verify(sameColor(button.background.color, white(0.08)))
        }

        function test_symbolOnlyChromeButtonKeepsPaddingAndReactsInIt() {
            const button = createTemporaryObject(symbolOnly, host)
            compare(button.implicitWidth, 12 + 14 + 12)
            compare(button.implicitHeight, 7 + 14 + 7)
            verify(sameColor(button.background.color, white(0.08)))
            const spy = createTemporaryObject(clicks, host, { target: button })
            // Inside the padding, outside the symbol.
            mouseClick(button, 3, 3)
            compare(spy.count, 1)
        }

        function test_tabButton() {
            const tab = createTemporaryObject(tabButton, host)
            compare([tab.leftPadding, tab.rightPadding, tab.topPadding, tab.bottomPadding], [13, 13, 6, 6])
            compare(tab.background.radius, tab.height / 2)
            // Plain text: the "&" is shown, not taken as a shortcut marker.
            compare(tab.contentItem.text, "R&D")
            compare(tab.contentItem.textFormat, Text.PlainText)

            verify(sameColor(tab.background.color, white(0.06)))
            verify(sameColor(tab.contentItem.color, white(0.75)))
            compare(tab.contentItem.font.weight, Font.Normal)
            mousePress(tab)
            verify(sameColor(tab.background.color, white(0.14)))
            mouseRelease(tab)

            tab.selected = true
            verify(sameColor(tab.background.color, "white"))
            verify(sameColor(tab.contentItem.color, "black"))
            compare(tab.contentItem.font.weight, Font.DemiBold)
            mousePress(tab)
            verify(sameColor(tab.background.color, "white"))
            mouseRelease(tab)
        }
    }
}
