import QtQuick
import QtQuick.Controls
import ".."

// Asks whether the press just detected is the physical button of the marker being calibrated.
// The main window opens it while the controller holds a candidate and closes it when that clears.
Dialog {
    id: dialog
    // Laid out again for what it shows now: see AppController::rearrangePopup.
    onAboutToShow: dialog.windowRoot.app.rearrangePopup(dialog.contentItem)
    required property var windowRoot
    // Check modes show a chosen input here instead of a detected one.
    property string previewInput: ""

    readonly property string shownInput: dialog.windowRoot.demoInput && dialog.previewInput !== ""
        ? dialog.previewInput : dialog.windowRoot.app.calibrationCandidate

    modal: true
    width: Math.min(460, dialog.windowRoot.width - 40)
    padding: 20
    title: dialog.windowRoot.tr("Подтвердить привязку метки", "Confirm marker binding")
    font.family: Theme.fontFamily
    closePolicy: Popup.NoAutoClose

    background: Rectangle {
        color: dialog.windowRoot.paper
        radius: Theme.cardRadius
        border.color: dialog.windowRoot.line
    }

    header: Label {
        text: dialog.title
        textFormat: Text.PlainText
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSubheading
        font.weight: Font.DemiBold
        color: dialog.windowRoot.ink
        padding: 20
        bottomPadding: 0
        wrapMode: Text.Wrap
    }

    contentItem: Column {
        spacing: 8

        Txt {
            objectName: "bindingConfirmDetected"
            width: parent.width
            theme: dialog.windowRoot
            font.weight: Font.Bold
            text: dialog.windowRoot.tr("Определено: ", "Detected: ") + dialog.windowRoot.describe(dialog.shownInput)
        }

        Hint {
            width: parent.width
            theme: dialog.windowRoot
            text: dialog.windowRoot.tr(
                "Это физическая кнопка выбранной метки? Подтвердите, чтобы сохранить её обозначение на схеме. Назначения при этом не включаются.",
                "Is this the physical button for the selected marker? Confirm to save its label on the diagram. This does not enable mappings.")
        }
    }

    footer: Row {
        layoutDirection: Qt.RightToLeft
        spacing: 8
        padding: 20
        topPadding: 0

        Act {
            objectName: "bindingConfirmBind"
            theme: dialog.windowRoot
            primary: true
            text: dialog.windowRoot.tr("Связать", "Bind")
            onClicked: dialog.windowRoot.app.confirmHotspot()
        }
        Act {
            objectName: "bindingConfirmCancel"
            theme: dialog.windowRoot
            text: dialog.windowRoot.tr("Отмена", "Cancel")
            onClicked: dialog.windowRoot.app.captureMode = false
        }
    }
}
