import QtQuick
import QtQuick.Controls
import "../.."

// The diagram card's content: the model's name with the help button, the note when the chosen
// rule's button is not on this mouse (it only informs, saving is never blocked), and the diagram.
Item {
    id: page
    required property var app
    required property var theme

    readonly property var model: page.app.selectedModel && page.app.selectedModel.hotspots !== undefined ? page.app.selectedModel : ({})
    readonly property string fullName: page.model.generic === true ? page.theme.tr(page.model.nameRu, page.model.nameEn)
        : page.model.series !== undefined ? "Vorna " + page.model.series : ""
    readonly property var diagramObject: diagram

    implicitHeight: 500

    // The wheel is on every mouse; a button is when a visible marker stands for it.
    function hasInput(inputId) {
        if (inputId.indexOf("wheel_") === 0)
            return true;
        for (const hotspot of diagram.visibleHotspots) {
            if (diagram.inputOf(hotspot) === inputId)
                return true;
        }
        return false;
    }

    Item {
        id: titleRow
        anchors.top: parent.top
        anchors.topMargin: 8
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        height: 32

        Label {
            anchors.left: parent.left
            anchors.right: helpButton.left
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: page.fullName
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.family: Theme.fontFamily
            font.pixelSize: 16
            font.weight: Font.DemiBold
            color: diagram.ink
        }

        IconAct {
            id: helpButton
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            width: 32
            height: 32
            theme: page.theme
            icon.source: "qrc:/assets/icons/info.svg"
            icon.color: diagram.ink
            text: page.theme.tr("Как читать схему мыши", "How to read the mouse diagram")
            onClicked: helpPopup.open()
        }
    }

    Label {
        id: missingNote
        objectName: "missingMouseButton"
        anchors.top: titleRow.bottom
        anchors.topMargin: 4
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        visible: page.app.sourceId !== "" && !page.hasInput(page.app.sourceId)
        text: page.theme.tr("На этой мыши нет кнопки «" + page.theme.describe(page.app.sourceId) + "»",
            "This mouse has no button named “" + page.theme.describe(page.app.sourceId) + "”")
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        font.family: Theme.fontFamily
        font.pixelSize: 13
        color: page.theme.highContrast ? Theme.contrastAccent : Theme.mouseGraphiteWarning
    }

    MouseDiagram {
        id: diagram
        objectName: "mouseDiagram"
        anchors.top: missingNote.visible ? missingNote.bottom : titleRow.bottom
        anchors.topMargin: 4
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.bottomMargin: 8
        app: page.app
        theme: page.theme
        cardHeight: page.height
    }

    Popup {
        id: helpPopup
        parent: Overlay.overlay
        x: parent ? Math.round((parent.width - width) / 2) : 0
        y: parent ? Math.round((parent.height - height) / 2) : 0
        width: parent ? Math.min(420, parent.width - 32) : 420
        padding: 16
        modal: false
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        background: Rectangle {
            color: page.theme.paper
            radius: Theme.cardRadius
            border.color: page.theme.line
        }
        contentItem: Txt {
            theme: page.theme
            text: page.theme.tr(
                "Рамка показывает выбранную кнопку, заливка — физическое нажатие\nM4 и M5 — боковые кнопки. Правый щелчок по метке позволяет изменить привязку\nВыбор модели меняет только схему. Назначения действуют для всех мышей",
                "The outline shows selection; the fill shows a physical press\nM4 and M5 are side buttons. Right-click a marker to change its binding\nModel selection changes only the diagram. Mappings apply to all mice")
        }
    }
}
