import QtQuick
import QtQuick.Controls

// A one-line text field.
TextField {
    id: control
    required property var theme
    implicitHeight: 38
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontBody
    color: theme.ink
    placeholderTextColor: theme.muted
    selectByMouse: true
    background: Rectangle {
        radius: Theme.controlRadius
        color: control.theme.surfaceRaised
        border.color: control.activeFocus ? control.theme.accent : control.theme.controlLine
    }
}
