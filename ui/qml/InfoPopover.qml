import QtQuick
import QtQuick.Controls

// An info button that opens its explanation centred over the window.
IconAct {
    id: control
    required property string explanation

    implicitWidth: 32
    implicitHeight: 32
    icon.source: "qrc:/assets/icons/info.svg"
    onClicked: popup.open()

    Popup {
        id: popup
        parent: Overlay.overlay
        x: parent ? Math.round((parent.width - width) / 2) : 0
        y: parent ? Math.round((parent.height - height) / 2) : 0
        width: parent ? Math.min(480, parent.width - 32) : 480
        padding: 16
        modal: false
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        background: Rectangle {
            color: control.theme.paper
            radius: Theme.cardRadius
            border.color: control.theme.line
        }
        contentItem: Txt {
            theme: control.theme
            text: control.explanation
        }
    }
}
