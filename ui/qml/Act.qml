import QtQuick
import QtQuick.Controls

// A text button: plain, primary or danger.
Button {
    id: control
    required property var theme
    property bool primary: false
    property bool danger: false

    implicitHeight: 40
    leftPadding: 12
    rightPadding: 12
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontBody
    Accessible.name: text

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: !control.enabled ? control.theme.muted
            : control.primary ? control.theme.onAccent
            : control.danger ? control.theme.danger : control.theme.ink
        Behavior on color { ColorAnimation { duration: control.theme.animationDuration } }
    }

    background: Rectangle {
        radius: Theme.controlRadius
        color: !control.enabled ? control.theme.surfaceRaised
            : control.primary ? (control.down ? Theme.pressedGold : control.theme.accentFill)
            : control.hovered ? control.theme.surfaceRaised : control.theme.paper
        border.color: control.activeFocus ? control.theme.accent : control.theme.line
        border.width: control.primary ? 0 : 1
        Behavior on color { ColorAnimation { duration: control.theme.animationDuration } }
    }
}
