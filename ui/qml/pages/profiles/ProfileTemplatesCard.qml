pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import "../.."

// Starter profiles: each tile creates an editable profile for one kind of work or game. A new
// profile is never applied by itself; the user enables it from the header.
Card {
    id: card
    objectName: "profileTemplatesCard"
    required property var windowRoot
    readonly property var w: windowRoot
    readonly property var templates: [
        ["3d", "3D · камера", "3D · camera", "Обзор 3D-сцены", "View a 3D scene"],
        ["work", "Работа", "Work", "Копирование и вставка", "Copy and paste"],
        ["browser", "Браузер", "Browser", "Вкладки браузера", "Browser tabs"],
        ["editing", "Редактирование", "Editing", "Отмена и повтор", "Undo and redo"],
        ["fps", "FPS", "FPS", "Связь и смена слоя", "Voice and layers"],
        ["strategy", "Стратегия", "Strategy", "Shift и Ctrl", "Shift and Ctrl"],
        ["rpg", "RPG", "RPG", "Инвентарь и карта", "Inventory and map"]]
    theme: windowRoot
    implicitHeight: content.implicitHeight + 2 * Theme.space16

    ColumnLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: Theme.space16
        spacing: Theme.space8

        Txt {
            theme: card.w
            text: card.w.tr("Шаблоны", "Templates")
            font.pixelSize: Theme.fontBlock
            font.weight: Font.DemiBold
        }

        GridLayout {
            id: tiles
            Layout.fillWidth: true
            columns: width >= 768 ? 3 : 2
            columnSpacing: Theme.space8
            rowSpacing: Theme.space8

            Repeater {
                model: card.templates

                delegate: Rectangle {
                    id: tile
                    required property var modelData
                    readonly property string kind: modelData[0]
                    readonly property string shownName: card.w.tr(modelData[1], modelData[2])
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    implicitHeight: tileContent.implicitHeight + 2 * Theme.space12
                    radius: Theme.controlRadius
                    color: card.w.surfaceRaised
                    border.color: card.w.line

                    ColumnLayout {
                        id: tileContent
                        anchors.fill: parent
                        anchors.margins: Theme.space12
                        spacing: Theme.space4

                        Txt {
                            theme: card.w
                            Layout.fillWidth: true
                            text: tile.shownName
                            font.weight: Font.DemiBold
                        }

                        Hint {
                            theme: card.w
                            Layout.fillWidth: true
                            text: card.w.tr(tile.modelData[3], tile.modelData[4])
                        }

                        Act {
                            objectName: "preset" + tile.kind
                            theme: card.w
                            text: card.w.tr("Создать", "Create")
                            Accessible.name: card.w.tr("Создать профиль: ", "Create profile: ") + tile.shownName
                            onClicked: card.w.app.addGamePreset(tile.kind)
                        }
                    }
                }
            }
        }
    }
}
