pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl

// The left navigation: one button per page, wide enough for the widest caption in the current
// language and font, and the brand tile at the bottom.
Rectangle {
    id: rail
    required property var theme

    readonly property var entries: [["Мышь", "Mouse", "mouse.svg"], ["Клавиатура", "Keyboard", "keyboard.svg"],
        ["Профили", "Profiles", "profiles.svg"], ["Макросы", "Macros", "macros.svg"],
        ["Диагностика", "Diagnostics", "diagnostics.svg"], ["Настройки", "Settings", "settings.svg"]]
    property real widestCaption: 0
    property var captionWidths: []

    function noteCaptionWidth(index, width) {
        var next = captionWidths.slice()
        next[index] = width
        captionWidths = next
        measureCaptions()
    }

    // Measured with the buttons' own fonts; font metrics give the first estimate.
    function measureCaptions() {
        var widest = 0
        for (var i = 0; i < entries.length; ++i)
            widest = Math.max(widest, estimate.advanceWidth(rail.theme.tr(entries[i][0], entries[i][1])))
        for (var j = 0; j < Math.min(buttons.count, captionWidths.length); ++j) {
            if (captionWidths[j] !== undefined)
                widest = Math.max(widest, captionWidths[j])
        }
        widestCaption = widest
    }

    implicitWidth: Math.max(Theme.railWidth, Math.ceil(widestCaption) + 8)
    color: theme.paper

    FontMetrics {
        id: estimate
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontCaption
    }

    Column {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.topMargin: 8

        Repeater {
            id: buttons
            model: rail.entries
            onItemAdded: rail.measureCaptions()
            onItemRemoved: function(index, item) {
                rail.captionWidths = rail.captionWidths.slice(0, index).concat(rail.captionWidths.slice(index + 1))
                rail.measureCaptions()
            }

            delegate: AbstractButton {
                id: button
                required property var modelData
                required property int index
                readonly property bool selected: rail.theme.page === index
                readonly property real captionWidth: measure.implicitWidth
                onCaptionWidthChanged: rail.noteCaptionWidth(index, captionWidth)
                Component.onCompleted: rail.noteCaptionWidth(index, captionWidth)

                objectName: "navigation_" + index
                width: rail.width
                height: 72
                text: rail.theme.tr(modelData[0], modelData[1])
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontCaption
                Accessible.name: text
                Accessible.role: Accessible.PageTab
                onClicked: rail.theme.openPage(index)

                Text {
                    id: measure
                    objectName: "navigationCaptionMeasure_" + button.index
                    visible: false
                    text: button.text
                    font: button.font
                    textFormat: Text.PlainText
                }

                background: Rectangle {
                    color: button.selected || button.hovered ? rail.theme.surfaceRaised : Theme.transparent
                    border.color: rail.theme.accent
                    border.width: button.activeFocus ? Theme.focusWidth : 0
                    Rectangle {
                        visible: button.selected
                        x: 0
                        y: 12
                        width: Theme.activeStripeWidth
                        height: parent.height - 24
                        color: rail.theme.accent
                    }
                }

                contentItem: Column {
                    spacing: 4
                    topPadding: 12
                    // The artwork is drawn in one colour and recoloured to the button's state.
                    IconImage {
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: Theme.navigationIconSize
                        height: Theme.navigationIconSize
                        sourceSize.width: Theme.navigationIconSize
                        sourceSize.height: Theme.navigationIconSize
                        source: "qrc:/assets/icons/" + button.modelData[2]
                        color: button.selected ? rail.theme.accent : rail.theme.muted
                    }
                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: button.text
                        textFormat: Text.PlainText
                        font: button.font
                        color: button.selected ? rail.theme.accent : rail.theme.muted
                    }
                }
            }
        }
    }

    Rectangle {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        width: 40
        height: 40
        radius: Theme.controlRadius
        color: rail.theme.accentFill
        Accessible.role: Accessible.Graphic
        Accessible.name: "Vorna Skelde"
        Text {
            anchors.centerIn: parent
            text: "VS"
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontBlock
            font.bold: true
            color: rail.theme.onAccent
        }
    }
}
