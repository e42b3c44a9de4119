pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import "../.."

// The selected profile's ten layers: a number to select one and its name, edited in the row.
// A name is written only to the layer that was selected when the edit began.
Card {
    id: card
    objectName: "profileLayersCard"
    required property var windowRoot
    readonly property var w: windowRoot
    theme: windowRoot
    implicitHeight: content.implicitHeight + 2 * Theme.space16

    ColumnLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: Theme.space16
        spacing: Theme.space8

        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.space4

            Txt {
                theme: card.w
                text: card.w.tr("Слои", "Layers")
                font.pixelSize: Theme.fontBlock
                font.weight: Font.DemiBold
            }

            InfoPopover {
                theme: card.w
                text: card.w.tr("Наследование назначений", "Mapping inheritance")
                explanation: card.w.tr("Профили приложений наследуют глобальные назначения\nКаждый слой наследует основной: собственное правило заменяет базовое для той же кнопки\nНажмите на номер слоя, чтобы выбрать его; имя меняется прямо в строке",
                    "Application profiles inherit global mappings\nEach layer inherits its base; a local mapping overrides the same source button\nSelect a layer by its number and edit its name in the row")
            }

            Item {
                Layout.fillWidth: true
            }
        }

        Repeater {
            model: 10

            delegate: RowLayout {
                id: row
                required property int index
                readonly property string storedName: card.w.app.layers[index] !== undefined
                    ? card.w.app.layers[index].name : ""
                Layout.fillWidth: true
                spacing: Theme.space8

                Act {
                    objectName: "profileLayer_" + row.index
                    theme: card.w
                    implicitWidth: 44
                    primary: card.w.app.layerIndex === row.index
                    text: String(row.index + 1)
                    Accessible.name: card.w.tr("Выбрать слой ", "Select layer ") + (row.index + 1) + ": " + row.storedName
                    onClicked: card.w.app.layerIndex = row.index
                }

                Edit {
                    id: nameField
                    objectName: "layerName_" + row.index
                    theme: card.w
                    Layout.fillWidth: true
                    text: row.storedName
                    Accessible.name: card.w.tr("Название слоя ", "Layer name ") + (row.index + 1)
                    // The profile this edit began in.
                    property string editedProfile: ""

                    function finish() {
                        if (card.w.profile.id !== editedProfile || card.w.app.layerIndex !== row.index) {
                            text = row.storedName
                            return
                        }
                        if (text !== row.storedName)
                            card.w.app.renameLayer(text)
                    }

                    onActiveFocusChanged: {
                        if (!activeFocus)
                            return
                        if (card.w.app.layerIndex !== row.index)
                            card.w.app.layerIndex = row.index
                        editedProfile = card.w.profile.id !== undefined ? card.w.profile.id : ""
                    }
                    onAccepted: finish()
                    onEditingFinished: finish()
                }
            }
        }
    }
}
