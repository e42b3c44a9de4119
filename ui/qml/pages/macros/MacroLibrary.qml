pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import "../.."

// The library's macros: open one, start a new one, delete the open one.
Card {
    id: library
    required property var windowRoot
    readonly property var app: windowRoot.app
    theme: windowRoot

    Column {
        anchors.fill: parent
        anchors.margins: Theme.space16
        spacing: Theme.space12

        Row {
            width: parent.width
            spacing: Theme.space8
            Txt {
                theme: library.windowRoot
                width: parent.width - newMacro.width - Theme.space8
                anchors.verticalCenter: parent.verticalCenter
                text: library.windowRoot.tr("Мои макросы", "My macros")
                font.pixelSize: Theme.fontSubheading
                font.bold: true
            }
            Act {
                id: newMacro
                objectName: "newMacroAction"
                theme: library.windowRoot
                text: library.windowRoot.tr("Новый", "New")
                enabled: !library.app.recording
                onClicked: library.app.editMacro(-1)
            }
        }

        Hint {
            theme: library.windowRoot
            width: parent.width
            visible: library.app.macros.length === 0
            text: library.windowRoot.tr("Создайте первый макрос справа", "Create your first macro on the right")
        }

        ListView {
            id: list
            objectName: "macroLibraryList"
            width: parent.width
            height: parent.height - y - deleteMacro.height - Theme.space12
            clip: true
            spacing: Theme.space4
            model: library.app.macros
            currentIndex: library.app.macroIndex
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }
            delegate: ItemDelegate {
                id: row
                required property var modelData
                required property int index
                objectName: "macroLibraryRow_" + index
                width: list.width
                height: 52
                enabled: !library.app.recording
                highlighted: index === library.app.macroIndex
                Accessible.name: modelData.name
                onClicked: library.app.editMacro(index)
                contentItem: Column {
                    spacing: Theme.space2
                    Txt {
                        theme: library.windowRoot
                        width: parent.width
                        text: row.modelData.name
                        elide: Text.ElideRight
                        wrapMode: Text.NoWrap
                        font.bold: row.highlighted
                    }
                    Hint {
                        theme: library.windowRoot
                        width: parent.width
                        text: (row.modelData.steps ? row.modelData.steps.length : 0)
                            + library.windowRoot.tr(" блоков", " steps")
                    }
                }
                background: Rectangle {
                    radius: Theme.controlRadius
                    color: row.highlighted ? library.windowRoot.surfaceRaised : Theme.transparent
                    border.color: row.highlighted ? library.windowRoot.accent : Theme.transparent
                }
            }
        }

        Act {
            id: deleteMacro
            objectName: "deleteMacroAction"
            theme: library.windowRoot
            danger: true
            width: parent.width
            text: library.windowRoot.tr("Удалить макрос", "Delete macro")
            enabled: library.app.macroIndex >= 0 && !library.app.recording
            onClicked: library.app.deleteMacro()
        }
    }
}
