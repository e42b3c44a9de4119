import QtQuick
import QtQuick.Controls

// An icon-only button; its text is the accessible name and the hover tool tip.
Button {
    id: control
    required property var theme
    property bool primary: false
    property bool danger: false

    implicitWidth: 40
    implicitHeight: 40
    padding: 4
    display: AbstractButton.IconOnly
    icon.width: Theme.controlIconSize
    icon.height: Theme.controlIconSize
    icon.color: !control.enabled ? control.theme.muted
        : control.primary ? control.theme.onAccent
        : control.danger ? control.theme.danger : control.theme.ink
    // Set explicitly: the platform's own name is empty while no assistive client runs.
    Accessible.name: text
    ToolTip.visible: hovered && text.length > 0
    ToolTip.text: text

    background: Rectangle {
        radius: Theme.controlRadius
        color: control.primary && control.enabled ? control.theme.accentFill
            : control.hovered ? control.theme.surfaceRaised : Theme.transparent
        border.color: control.theme.accent
        border.width: control.activeFocus ? Theme.focusWidth : 0
    }
}
