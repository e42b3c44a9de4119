pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// The running programs with a window, to pick a profile's application from. Choosing one only
// fills the conditions card's application field (through `picked`); nothing is saved or started.
Popup {
    id: picker
    // Laid out again for what it shows now: see AppController::rearrangePopup.
    onAboutToShow: picker.windowRoot.app.rearrangePopup(picker.contentItem)
    objectName: "runningPicker"
    required property var windowRoot
    signal picked(string applicationPath)

    function tr(ru, en) { return picker.windowRoot.tr(ru, en) }

    modal: true
    width: Math.min(720, picker.windowRoot.width - 40)
    height: 400
    padding: 16
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    background: Rectangle {
        color: picker.windowRoot.paper
        radius: Theme.cardRadius
        border.color: picker.windowRoot.line
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 12

        Txt {
            Layout.fillWidth: true
            theme: picker.windowRoot
            text: picker.tr("Запущенные приложения", "Running applications")
            font.bold: true
            font.pixelSize: Theme.fontBlock
        }

        Hint {
            Layout.fillWidth: true
            theme: picker.windowRoot
            text: picker.tr("Список окон с доступным полным путём к программе. Выбор задаёт условие профиля; приложение не запускается.",
                "Windows with an accessible verified executable path. Selection defines a profile condition; it does not launch the app.")
        }

        ListView {
            id: list
            objectName: "runningList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 4
            model: picker.windowRoot.runningApps
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

            delegate: ItemDelegate {
                id: row
                required property var modelData
                required property int index
                objectName: "runningApp_" + index
                width: list.width
                text: row.modelData.label !== undefined ? row.modelData.label : ""
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBody
                Accessible.name: text
                ToolTip.visible: hovered
                ToolTip.text: row.modelData.id !== undefined ? row.modelData.id : ""
                contentItem: Text {
                    text: row.text
                    textFormat: Text.PlainText
                    font: row.font
                    color: picker.windowRoot.ink
                    elide: Text.ElideRight
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    radius: Theme.controlRadius
                    color: row.hovered ? picker.windowRoot.surfaceRaised : picker.windowRoot.paper
                    border.color: picker.windowRoot.line
                }
                onClicked: {
                    picker.picked(row.modelData.id)
                    picker.close()
                }
            }
        }

        Act {
            objectName: "refreshRunningApps"
            theme: picker.windowRoot
            text: picker.tr("Обновить список", "Refresh list")
            onClicked: picker.windowRoot.runningApps = picker.windowRoot.app.runningApplications()
        }
    }
}
