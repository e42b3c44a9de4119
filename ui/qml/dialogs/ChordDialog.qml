import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// A chord of two to four keys picked from lists, the manual alternative to recording one.
// The controller judges the chord; this dialog does not check that the keys differ.
Dialog {
    id: dialog
    // Laid out again for what it shows now: see AppController::rearrangePopup.
    onAboutToShow: dialog.windowRoot.app.rearrangePopup(dialog.contentItem)
    objectName: "chordDialog"
    required property var windowRoot

    readonly property var keys: windowRoot.keyboardList()
    readonly property var pickers: [chordA, chordB, chordC, chordD]

    modal: true
    width: 440
    title: windowRoot.tr("Сочетание клавиш", "Key combination")
    standardButtons: Dialog.Ok | Dialog.Cancel
    padding: 16

    function chordTarget() {
        return "chord:" + pickers.slice(0, count.value).map(picker => picker.currentValue).join("+")
    }

    onAccepted: {
        var root = windowRoot
        root.app.targetId = chordTarget()
        if (root.search.text !== "")
            root.search.text = ""
        if (root.page === root.pageMacros && root.stepType && root.stepType.currentValue === "chord" && root.stepInput)
            root.stepInput.currentIndex = root.stepInput.indexOfValue(root.app.targetId)
    }

    background: Rectangle {
        color: dialog.windowRoot.paper
        border.color: dialog.windowRoot.line
        radius: Theme.cardRadius
    }

    header: Label {
        text: dialog.title
        textFormat: Text.PlainText
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSubheading
        font.bold: true
        color: dialog.windowRoot.ink
        padding: 16
        bottomPadding: 0
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Hint {
            theme: dialog.windowRoot
            Layout.fillWidth: true
            text: dialog.windowRoot.tr("Выберите от двух до четырёх разных клавиш. Они нажимаются по порядку и отпускаются в обратном.",
                                       "Choose two to four different keys. They press in order and release in reverse.")
        }
        Act {
            objectName: "recordShortcut"
            theme: dialog.windowRoot
            text: dialog.windowRoot.tr("Записать нажатием…", "Record by pressing…")
            onClicked: {
                dialog.close()
                dialog.windowRoot.shortcutRecorderObject.open()
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Hint {
                theme: dialog.windowRoot
                Layout.fillWidth: true
                text: dialog.windowRoot.tr("Количество клавиш", "Key count")
            }
            SpinBox {
                id: count
                objectName: "chordCount"
                // The Basic style draws the field's frame and its step buttons in this colour.
                palette.button: dialog.windowRoot.controlLine
                from: 2
                to: 4
                value: 2
            }
        }
        Pick {
            id: chordA
            objectName: "chordA"
            theme: dialog.windowRoot
            Layout.fillWidth: true
            model: dialog.keys
            currentIndex: dialog.windowRoot.indexOf(dialog.keys, "key_162")
        }
        Pick {
            id: chordB
            objectName: "chordB"
            theme: dialog.windowRoot
            Layout.fillWidth: true
            model: dialog.keys
            currentIndex: dialog.windowRoot.indexOf(dialog.keys, "key_67")
        }
        Pick {
            id: chordC
            objectName: "chordC"
            theme: dialog.windowRoot
            Layout.fillWidth: true
            visible: count.value >= 3
            model: dialog.keys
        }
        Pick {
            id: chordD
            objectName: "chordD"
            theme: dialog.windowRoot
            Layout.fillWidth: true
            visible: count.value >= 4
            model: dialog.keys
        }
    }
}
