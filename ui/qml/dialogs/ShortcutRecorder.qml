import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// Records a shortcut through the agent: the user presses up to four keys together and may take
// them as the rule's output. Each opening and each close ends whatever capture ran before.
Dialog {
    id: recorder
    // Laid out again for what it shows now: see AppController::rearrangePopup.
    onAboutToShow: recorder.app.rearrangePopup(recorder.contentItem)
    required property var app
    required property var theme
    required property var windowRoot

    readonly property var capture: app.outputCapture
    readonly property bool capturing: capture.active === true

    modal: true
    width: Math.min(480, windowRoot.width - 32)
    title: theme.tr("Записать сочетание", "Record a shortcut")
    padding: 16

    onOpened: app.cancelOutputCapture()
    onClosed: app.cancelOutputCapture()

    background: Rectangle {
        color: recorder.theme.paper
        border.color: recorder.theme.line
        radius: Theme.space12
    }

    header: Label {
        text: recorder.title
        textFormat: Text.PlainText
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSubheading
        font.bold: true
        color: recorder.theme.ink
        padding: 16
        bottomPadding: 0
    }

    // Choose closes only when the controller took the recording as the rule's output.
    footer: RowLayout {
        spacing: 8
        Item {
            Layout.fillWidth: true
        }
        Act {
            objectName: "shortcutRecorderChoose"
            theme: recorder.theme
            primary: true
            Layout.bottomMargin: 16
            text: recorder.theme.tr("Выбрать", "Choose")
            enabled: recorder.capture.ready === true
            onClicked: {
                if (recorder.app.useOutputCapture())
                    recorder.accept()
            }
        }
        Act {
            objectName: "shortcutRecorderCancel"
            theme: recorder.theme
            Layout.rightMargin: 16
            Layout.bottomMargin: 16
            text: recorder.theme.tr("Отмена", "Cancel")
            onClicked: recorder.reject()
        }
    }

    contentItem: ColumnLayout {
        spacing: 12

        Hint {
            theme: recorder.theme
            Layout.fillWidth: true
            font.pixelSize: 12
            text: recorder.theme.tr("Запись поставит назначения на паузу. Нажмите до четырёх клавиш вместе, затем отпустите их. Записанное сочетание само не выполняется",
                                    "Recording pauses mappings. Press up to four keys together, then release them. The recorded shortcut is not executed")
        }
        Act {
            objectName: "startOutputCapture"
            theme: recorder.theme
            text: recorder.capturing ? recorder.theme.tr("Отменить запись", "Cancel capture")
                                     : recorder.theme.tr("Начать запись · 10 секунд", "Start recording · 10 seconds")
            enabled: recorder.app.engineCompatible && recorder.capture.held !== true
            onClicked: {
                if (recorder.capturing)
                    recorder.app.cancelOutputCapture()
                else
                    recorder.app.beginOutputCapture()
            }
        }
        Label {
            objectName: "outputCaptureLabel"
            Layout.fillWidth: true
            text: recorder.capture.label ? recorder.capture.label : "—"
            textFormat: Text.PlainText
            font.family: Theme.fontFamily
            font.pixelSize: 18
            font.bold: true
            color: recorder.theme.accent
            wrapMode: Text.Wrap
        }
        Txt {
            objectName: "outputCaptureMessage"
            theme: recorder.theme
            Layout.fillWidth: true
            text: recorder.capture.message ? recorder.capture.message
                : recorder.app.engineCompatible
                  ? recorder.theme.tr("После записи проверьте сочетание и нажмите «Выбрать»", "Review the recorded shortcut, then click Choose")
                  : recorder.app.engineIssue
        }
        Hint {
            objectName: "outputCaptureNote"
            theme: recorder.theme
            Layout.fillWidth: true
            font.pixelSize: 12
            text: recorder.theme.tr("Esc отменяет запись. Для сочетаний с Esc используйте ручной выбор. Ctrl+Alt+Delete и защищённые команды Windows не записываются. Для повторного включения правил нажмите «Включить» в шапке окна",
                                    "Esc cancels recording; use manual selection for shortcuts containing Esc. Ctrl+Alt+Delete and protected Windows commands cannot be recorded. Click Enable in the window header to enable them again")
        }
    }
}
