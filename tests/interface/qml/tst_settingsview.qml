// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Lumivale.Interface

// TestCase draws nothing and takes no input; the objects under test live in this item.
Item {
    id: host
    width: 460
    height: 500

    TestCase {
        name: "SettingsView"
        when: windowShown

        Component { id: settingsView; SettingsView {} }
        Component { id: spy; SignalSpy {} }

        function switchIn(view, name) { return findChild(findChild(view, name), "switch") }

        function test_pauseSwitchesWriteThroughToTheEngine() {
            const view = createTemporaryObject(settingsView, host)
            const battery = switchIn(view, "pauseOnBattery")
            const covered = switchIn(view, "pauseWhenCovered")
            verify(battery.checked)
            verify(covered.checked)
            mouseClick(battery)
            compare(testEngine.pauseOnBattery, false)
            verify(!battery.checked)
            mouseClick(covered)
            compare(testEngine.pauseWhenCovered, false)
            // The engine changed elsewhere: the switch follows.
            testEngine.pauseOnBattery = true
            verify(battery.checked)
            testEngine.pauseWhenCovered = true
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
        }

        function test_loginSwitch() {
            testLogin.enabled = false
            testLogin.refuse = false
            testLogin.calls = 0
            const view = createTemporaryObject(settingsView, host)
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

            // A new sheet reads the state afresh.
            testLogin.enabled = false
            const again = createTemporaryObject(settingsView, host)
            verify(!switchIn(again, "launchAtLogin").checked)
        }

        function test_doneAndReturn() {
            const view = createTemporaryObject(settingsView, host)
            const done = createTemporaryObject(spy, host, { target: view, signalName: "done" })
            mouseClick(findChild(view, "done"))
            view.forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(done.count, 2)
        }
    }
}
