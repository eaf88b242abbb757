// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// A small indeterminate spinner: an arc turning once a second.
Item {
    id: spinner

    implicitWidth: 18
    implicitHeight: 18

    Canvas {
        id: arc
        anchors.fill: parent
        onPaint: {
            const context = getContext("2d")
            context.reset()
            context.lineWidth = 2
            context.lineCap = "round"
            context.strokeStyle = Qt.rgba(1, 1, 1, 0.2)
            context.beginPath()
            context.arc(width / 2, height / 2, width / 2 - 2, 0, 2 * Math.PI)
            context.stroke()
            context.strokeStyle = Qt.rgba(1, 1, 1, 0.75)
            context.beginPath()
            context.arc(width / 2, height / 2, width / 2 - 2, 0, Math.PI / 2)
            context.stroke()
        }
    }

    RotationAnimator {
        target: arc
        from: 0
        to: 360
        duration: 1000
        loops: Animation.Infinite
        running: spinner.visible
    }
}
