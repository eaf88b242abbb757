// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick

// The system UI font at the sizes of the platform's text styles, in logical pixels.
QtObject {
    readonly property string family: Qt.application.font.family
    readonly property int title3: 15
    readonly property int headline: 13
    readonly property int callout: 12
    readonly property int caption: 10
    readonly property int title: 22
}
