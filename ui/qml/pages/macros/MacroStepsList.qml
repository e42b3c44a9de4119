pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import "../.."

// The working copy's steps, one row each. A click opens the row's inline form; a step moves by
// its drag handle or Ctrl+Up/Down, always through neighbour exchanges in the controller.
FocusScope {
    id: list
    objectName: "macroStepsList"
    required property var windowRoot
    readonly property var app: windowRoot.app
    // Read again when the language changes: the step labels are in the interface language.
    readonly property var steps: app.language.length >= 0 ? app.macroSteps : []
    readonly property var timed: ["tap", "wait", "chord", "wheel", "move"]
    property int selected: -1
    // The inline form of the row being edited, if one is open.
    property var editingForm: null

    implicitHeight: column.implicitHeight

    // Walks the step from `from` to `to` one place at a time, then selects it there.
    function moveStep(from, to) {
        if (app.recording || to < 0 || to >= steps.length || from === to)
            return
        var direction = to > from ? 1 : -1
        for (var at = from; at !== to; at += direction)
            app.moveMacroStep(at, direction)
        selected = to
    }

    function rowAt(y) {
        var local = column.mapFromItem(null, 0, y).y
        if (local < 0)
            return 0
        for (var i = 0; i < rows.count; ++i) {
            var row = rows.itemAt(i)
            if (row && local < row.y + row.height)
                return i
        }
        return steps.length - 1
    }

    Keys.onPressed: function(event) {
        if (!(event.modifiers & Qt.ControlModifier) || list.selected < 0)
            return
        if (event.key === Qt.Key_Up) {
            list.moveStep(list.selected, list.selected - 1)
            event.accepted = true
        } else if (event.key === Qt.Key_Down) {
            list.moveStep(list.selected, list.selected + 1)
            event.accepted = true
        }
    }

    Column {
        id: column
        width: parent.width
        spacing: Theme.space4

        Repeater {
            id: rows
            model: list.steps
            delegate: Rectangle {
                id: row
                required property var modelData
                required property int index
                readonly property bool editing: list.windowRoot.editingStep === index
                objectName: "macroStepRow_" + index
                width: column.width
                height: line.height + (editing ? inline.implicitHeight + Theme.space12 : 0) + Theme.space8
                radius: Theme.controlRadius
                enabled: !list.app.recording
                color: editing || list.selected === index ? list.windowRoot.surfaceRaised : Theme.transparent
                border.color: list.selected === index ? list.windowRoot.accent : list.windowRoot.line

                // Loaded once it is the active form, so its value picker offers its own type's options.
                onEditingChanged: {
                    if (editing) {
                        list.editingForm = inline
                        inline.load(modelData)
                    } else if (!list.editingForm || list.editingForm === inline) {
                        list.editingForm = null
                    }
                }

                Row {
                    id: line
                    x: Theme.space4
                    y: Theme.space4
                    width: parent.width - 2 * Theme.space4
                    height: 40
                    spacing: Theme.space8

                    Rectangle {
                        objectName: "macroDragHandle_" + row.index
                        width: 24
                        height: parent.height
                        color: Theme.transparent
                        Accessible.name: list.windowRoot.tr("Перетащить блок", "Drag step")
                        Accessible.role: Accessible.Grip
                        Text {
                            anchors.centerIn: parent
                            text: "⋮⋮"
                            color: list.windowRoot.muted
                            font.pixelSize: Theme.fontBody
                        }
                        MouseArea {
                            anchors.fill: parent
                            cursorShape: Qt.SizeVerCursor
                            // A vertical drag must not become the scroll view's flick.
                            preventStealing: true
                            onReleased: function(mouse) {
                                var scene = mapToItem(null, mouse.x, mouse.y)
                                list.moveStep(row.index, list.rowAt(scene.y))
                            }
                        }
                    }
                    Txt {
                        theme: list.windowRoot
                        width: 28
                        anchors.verticalCenter: parent.verticalCenter
                        text: String(row.index + 1)
                        color: list.windowRoot.muted
                    }
                    Txt {
                        theme: list.windowRoot
                        width: 180
                        anchors.verticalCenter: parent.verticalCenter
                        text: list.windowRoot.macroKind(row.modelData.type, row.modelData.input)
                        font.bold: true
                        wrapMode: Text.NoWrap
                        elide: Text.ElideRight
                    }
                    Txt {
                        theme: list.windowRoot
                        width: parent.width - 24 - 28 - 180 - 90 - 40 - 5 * Theme.space8
                        anchors.verticalCenter: parent.verticalCenter
                        // A wait has no value: its kind and its duration say it all.
                        objectName: "macroStepLabel_" + row.index
                        text: row.modelData.label
                        wrapMode: Text.NoWrap
                        elide: Text.ElideRight
                    }
                    Txt {
                        theme: list.windowRoot
                        width: 90
                        anchors.verticalCenter: parent.verticalCenter
                        horizontalAlignment: Text.AlignRight
                        text: list.timed.indexOf(row.modelData.type) >= 0 ? row.modelData.ms + " ms" : ""
                        color: list.windowRoot.muted
                    }
                    IconAct {
                        objectName: "macroStepActions_" + row.index
                        theme: list.windowRoot
                        icon.source: "qrc:/assets/icons/more.svg"
                        text: list.windowRoot.tr("Действия с блоком", "Step actions")
                        onClicked: menu.open()

                        Menu {
                            id: menu
                            objectName: "macroStepMenu_" + row.index
                            MenuItem {
                                objectName: "macroDuplicate_" + row.index
                                text: list.windowRoot.tr("Дублировать", "Duplicate")
                                onTriggered: list.app.duplicateMacroStep(row.index)
                            }
                            MenuItem {
                                objectName: "macroRemove_" + row.index
                                text: list.windowRoot.tr("Удалить", "Delete")
                                onTriggered: list.app.removeMacroStep(row.index)
                            }
                        }
                    }
                }

                MouseArea {
                    anchors.fill: line
                    anchors.leftMargin: 32
                    anchors.rightMargin: 48
                    z: -1
                    onClicked: {
                        list.selected = row.index
                        list.forceActiveFocus()
                        list.windowRoot.editMacroBlock(row.index, row.modelData)
                    }
                }

                MacroStepEditor {
                    id: inline
                    x: Theme.space8
                    y: line.y + line.height + Theme.space8
                    width: parent.width - 2 * Theme.space8
                    visible: row.editing
                    windowRoot: list.windowRoot
                    stepIndex: row.index
                    active: row.editing
                }
            }
        }
    }
}
