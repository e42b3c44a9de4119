import QtQuick
import QtQuick.Controls
import "../.."

// The row of every mouse model of the catalog. The cards share the row's width by their preferred
// widths, so all of them stay visible in the smallest window; choosing one changes only the picture.
Item {
    id: selector
    objectName: "modelSelector"
    required property var app
    required property var theme

    readonly property var models: selector.app.models
    readonly property int count: models.length
    readonly property int currentIndex: selector.app.selectedIndex
    readonly property int spacing: 6
    readonly property real preferredTotal: {
        let total = 0;
        for (const model of selector.models)
            total += selector.preferredWidth(model);
        return total;
    }

    implicitHeight: Theme.mouseSelectorHeight

    function preferredWidth(model) {
        return Theme.mouseSelectorCardWidth * (model.generic === true ? 1.5 : 1);
    }

    function fullName(model) {
        return model.generic === true ? selector.theme.tr(model.nameRu, model.nameEn) : "Vorna " + model.series;
    }

    function cardAt(index) {
        return cards.itemAt(index);
    }

    Row {
        id: row
        anchors.fill: parent
        spacing: selector.spacing

        Repeater {
            id: cards
            model: selector.models
            // Delegates reach the selector by id from the repeater's context.
            // qmllint disable unqualified
            delegate: AbstractButton {
                id: card
                required property var modelData
                required property int index
                readonly property bool selected: card.index === selector.currentIndex
                readonly property string fullName: selector.fullName(card.modelData)

                objectName: "modelOption_" + card.index
                width: selector.preferredTotal > 0
                    ? (selector.width - selector.spacing * (selector.count - 1)) * selector.preferredWidth(card.modelData) / selector.preferredTotal
                    : 0
                height: selector.height
                topPadding: 8
                bottomPadding: 8
                leftPadding: 6
                rightPadding: 6
                hoverEnabled: true
                focusPolicy: Qt.StrongFocus

                Accessible.role: Accessible.Button
                Accessible.name: card.fullName
                Accessible.description: card.selected ? selector.theme.tr("Выбранная схема", "Selected diagram") : ""
                ToolTip.visible: card.hovered
                ToolTip.text: card.fullName + "\n" + selector.theme.tr("Выбор меняет схему. Назначения действуют для всех мышей",
                    "Selection changes the diagram. Mappings apply to all mice")

                onClicked: {
                    selector.app.selectedIndex = card.index;
                    selector.app.saveSelection();
                }
                Keys.onLeftPressed: {
                    const neighbour = selector.cardAt(card.index - 1);
                    if (neighbour)
                        neighbour.forceActiveFocus(Qt.TabFocusReason);
                }
                Keys.onRightPressed: {
                    const neighbour = selector.cardAt(card.index + 1);
                    if (neighbour)
                        neighbour.forceActiveFocus(Qt.TabFocusReason);
                }
                Keys.onReturnPressed: card.clicked()
                Keys.onEnterPressed: card.clicked()

                background: Rectangle {
                    radius: Theme.cardRadius
                    gradient: Gradient {
                        GradientStop {
                            position: 0
                            color: selector.theme.highContrast ? Theme.black : card.hovered ? Theme.mouseGraphiteHover : Theme.mouseGraphite
                            Behavior on color { ColorAnimation { duration: selector.theme.animationDuration } }
                        }
                        GradientStop {
                            position: 1
                            color: selector.theme.highContrast ? Theme.black : card.hovered ? Theme.mouseGraphiteHoverBottom : Theme.mouseGraphiteBottom
                            Behavior on color { ColorAnimation { duration: selector.theme.animationDuration } }
                        }
                    }
                    border.color: card.selected || card.activeFocus
                        ? (selector.theme.highContrast ? Theme.contrastAccent : Theme.mouseGraphiteAccent)
                        : (selector.theme.highContrast ? Theme.white : Theme.mouseGraphiteLine)
                    border.width: card.selected || card.activeFocus ? 2 : 1
                }

                contentItem: Row {
                    spacing: 6

                    MouseModelThumbnail {
                        objectName: "modelImage_" + card.index
                        anchors.verticalCenter: parent.verticalCenter
                        width: Math.max(32, Math.min(Theme.mouseSelectorImageWidth, card.availableWidth * 0.4))
                        height: Theme.mouseSelectorImageHeight
                        source: selector.app.imageUrl(card.modelData.image)
                    }

                    Label {
                        objectName: "modelLabel_" + card.index
                        anchors.verticalCenter: parent.verticalCenter
                        width: Math.max(0, card.availableWidth - parent.spacing - Math.max(32, Math.min(Theme.mouseSelectorImageWidth, card.availableWidth * 0.4)))
                        text: card.modelData.generic === true ? card.fullName : card.modelData.series
                        textFormat: Text.PlainText
                        font.family: Theme.fontFamily
                        font.pixelSize: 14
                        font.weight: Font.DemiBold
                        color: selector.theme.highContrast ? Theme.white : Theme.mouseGraphiteInk
                        wrapMode: card.modelData.generic === true ? Text.Wrap : Text.NoWrap
                        elide: Text.ElideRight
                        maximumLineCount: card.modelData.generic === true ? 3 : 1
                    }
                }
            }
            // qmllint enable unqualified
        }
    }
}
