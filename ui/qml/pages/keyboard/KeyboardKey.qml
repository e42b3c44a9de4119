import QtQuick
import QtQuick.Controls
import "../.."

// One key of the diagram: shows the live press, the key being edited and a saved rule, and
// opens that key's rule on click.
AbstractButton {
    id: key
    required property var app
    required property var theme
    required property string inputId
    required property string caption
    property bool assigned: false

    // The live state is read only while the key is on screen.
    readonly property bool held: visible && key.app.live.physical !== undefined && key.app.live.physical.indexOf(inputId) >= 0
    readonly property bool flash: visible && key.app.live.flash !== undefined && key.app.live.flash.indexOf(inputId) >= 0
    readonly property bool lit: held || flash

    height: 40
    padding: 4
    focusPolicy: Qt.StrongFocus
    onClicked: key.app.selectRule(inputId)

    Accessible.name: key.app.describeInput(inputId)
    Accessible.pressed: held
    Accessible.description: assigned ? key.theme.tr("Есть назначение", "Has a mapping") : key.theme.tr("Как обычно", "As usual")
    ToolTip.visible: hovered
    ToolTip.text: key.app.describeInput(inputId) + (held ? key.theme.tr(" · удерживается", " · held") : "")

    background: Rectangle {
        radius: 8
        color: key.lit ? key.theme.accentFill : key.theme.canvas
        border.color: key.activeFocus || key.app.sourceId === key.inputId ? key.theme.accent : key.theme.line
        border.width: key.activeFocus || key.app.sourceId === key.inputId ? Theme.focusWidth : 1
        Behavior on color { ColorAnimation { duration: key.theme.animationDuration } }

        Rectangle {
            objectName: "keyboardAssigned_" + key.inputId
            width: 4
            height: 4
            radius: 2
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.margins: 4
            visible: key.assigned
            color: key.lit ? key.theme.onAccent : key.theme.accent
        }
    }

    contentItem: Text {
        text: key.caption
        textFormat: Text.PlainText
        font.family: Theme.fontFamily
        font.pixelSize: 13
        color: key.lit ? key.theme.onAccent : key.theme.ink
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideNone
        wrapMode: Text.NoWrap
        maximumLineCount: 1
    }
}
