import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// One line under the mouse diagram: the latest press and what became of it, with a fold button
// that shows the full live panel. Whether it is unfolded is a stored preference.
Card {
    id: root
    objectName: "diagramLivePanel"
    required property var app

    readonly property var last: app.live.last ? app.live.last : ({})
    readonly property bool expanded: app.mouseLiveExpanded
    readonly property alias details: details

    implicitHeight: summaryRow.implicitHeight + 16 + (expanded ? details.implicitHeight + 12 : 0)

    readonly property var shortNames: ({
        mouse_left: "L", mouse_right: "R", mouse_middle: "M", mouse_back: "M4", mouse_forward: "M5",
        key_160: "Shift", key_161: "Shift", key_162: "Ctrl", key_163: "Ctrl", key_164: "Alt", key_165: "Alt",
        key_91: "Win", key_92: "Win"
    })

    function shortInput(id) {
        return shortNames[id] !== undefined ? shortNames[id] : app.describeInput(id)
    }

    function summaryResult(row) {
        row = row || {}
        var outputs = row.outputs || []
        if ((!row.failed || row.failed.length === 0) && Number(row.result) === app.resultCodes.Sent && outputs.length > 0) {
            var parts = []
            for (var i = 0; i < outputs.length; ++i)
                parts.push(shortInput(outputs[i]))
            return parts.join("+") + theme.tr(" · отправлено", " · sent")
        }
        return details.result(row)
    }

    function summaryText() {
        var language = app.language
        if (last.input === undefined)
            return theme.tr("Последнее нажатие: нажмите кнопку мыши или прокрутите колесо",
                            "Last press: press a mouse button or scroll the wheel")
        return theme.tr("Последнее нажатие: ", "Last press: ") + shortInput(last.input) + " → " + summaryResult(last)
    }

    RowLayout {
        id: summaryRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.leftMargin: 12
        anchors.rightMargin: 8
        anchors.topMargin: 8
        spacing: 8

        Txt {
            objectName: "mouseLiveSummary"
            theme: root.theme
            Layout.fillWidth: true
            text: root.summaryText()
        }

        Button {
            id: fold
            objectName: "mouseLiveExpand"
            flat: true
            implicitWidth: 32
            implicitHeight: 32
            text: root.expanded ? "▴" : "▾"
            font.family: Theme.fontFamily
            palette.buttonText: root.theme.ink
            readonly property string explanation: root.expanded
                ? root.theme.tr("Свернуть физический ввод", "Collapse physical input")
                : root.theme.tr("Показать физический ввод и результат", "Show physical input and result")
            Accessible.name: explanation
            ToolTip.visible: hovered
            ToolTip.text: explanation
            onClicked: root.app.mouseLiveExpanded = !root.expanded
        }
    }

    LiveInputPanel {
        id: details
        objectName: "mouseLiveDetails"
        app: root.app
        theme: root.theme
        visible: root.expanded
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: summaryRow.bottom
        anchors.topMargin: 8
        anchors.margins: 12
        height: implicitHeight
    }
}
