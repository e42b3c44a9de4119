pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import ".."
import "macros"

// The macro page: the library on the left; on the right the open macro's working copy with its
// name, mode, timeline, recording, steps, step form, save button and local preview. A thin view
// over the controller's macro members.
Item {
    id: page
    objectName: "macrosPage"
    required property var windowRoot
    readonly property var app: windowRoot.app

    // The step form the window loads and reads: the open inline form, else the new-step form.
    readonly property var activeForm: stepsList.editingForm ? stepsList.editingForm : newStepForm
    readonly property var stepTypeObject: activeForm.typeObject
    readonly property var stepInputObject: activeForm.inputObject
    readonly property var stepTimeObject: activeForm.timeObject
    readonly property var moveXObject: activeForm.moveXObject
    readonly property var moveYObject: activeForm.moveYObject
    readonly property var recordActionObject: recordAction
    readonly property var macroViewportObject: viewport
    readonly property var macroNameEditObject: nameEdit
    readonly property var macroRepeatsObject: repeats

    property int shownSeconds: 0
    implicitHeight: Math.max(560, windowRoot.height - Theme.headerHeight - 32)

    Timer {
        interval: 250
        repeat: true
        running: page.app.recording
        onTriggered: {
            page.shownSeconds = page.app.recordingSeconds()
            page.windowRoot.recordControlBounds()
        }
    }

    MacroLibrary {
        id: macroLibrary
        windowRoot: page.windowRoot
        width: Math.min(300, page.width * 0.28)
        height: page.height
    }

    ScrollView {
        id: viewport
        // Shown whenever the content is taller, so a cut line reads as "scroll for more".
        ScrollBar.vertical.policy: ScrollBar.AlwaysOn
        objectName: "macroViewport"
        x: macroLibrary.width + Theme.space16
        width: page.width - x
        height: page.height
        clip: true
        contentWidth: availableWidth

        Column {
            id: body
            width: viewport.availableWidth - Theme.space16
            spacing: Theme.space16

            Card {
                theme: page.windowRoot
                width: parent.width
                implicitHeight: editorColumn.implicitHeight + 2 * Theme.space16

                Column {
                    id: editorColumn
                    x: Theme.space16
                    y: Theme.space16
                    width: parent.width - 2 * Theme.space16
                    spacing: Theme.space12

                    Row {
                        spacing: Theme.space8
                        Txt {
                            theme: page.windowRoot
                            anchors.verticalCenter: parent.verticalCenter
                            text: page.windowRoot.tr("Редактор макроса", "Macro editor")
                            font.pixelSize: Theme.fontBlock
                            font.bold: true
                        }
                        InfoPopover {
                            theme: page.windowRoot
                            anchors.verticalCenter: parent.verticalCenter
                            text: page.windowRoot.tr("Ограничения макросов", "Macro limits")
                            explanation: page.windowRoot.tr(
                                "До 64 блоков и 100 повторов; воспроизведение — до 5 минут, смена окна отменяет его. Запись — до 30 секунд, F12 останавливает её. Нажатия и отпускания должны быть парными; при сохранении последовательность проверяется.",
                                "Up to 64 steps and 100 cycles; playback runs up to 5 minutes and a window change cancels it. Recording lasts up to 30 seconds and F12 stops it. Presses and releases must balance; saving checks the sequence.")
                        }
                    }

                    Row {
                        width: parent.width
                        spacing: Theme.space8
                        Edit {
                            id: nameEdit
                            objectName: "macroNameEdit"
                            theme: page.windowRoot
                            width: parent.width - modePicker.width - repeats.width - 2 * Theme.space8
                            text: page.app.macroName
                            maximumLength: 80
                            placeholderText: page.windowRoot.tr("Название макроса", "Macro name")
                            Accessible.name: page.windowRoot.tr("Название макроса", "Macro name")
                            onTextEdited: page.app.macroName = text
                        }
                        Pick {
                            id: modePicker
                            objectName: "macroModePicker"
                            theme: page.windowRoot
                            width: 220
                            Accessible.name: page.windowRoot.tr("Режим макроса", "Macro mode")
                            // A fixed model: a language change relabels it without losing the choice.
                            textRole: page.app.language === "en" ? "en" : "ru"
                            model: [
                                { id: "once", ru: "Один раз", en: "Once" },
                                { id: "count", ru: "Несколько раз", en: "Repeat count" },
                                { id: "hold", ru: "Пока держу кнопку", en: "While button held" },
                                { id: "toggle", ru: "Старт / стоп нажатием", en: "Toggle on / off" }
                            ]
                            currentIndex: Math.max(0, indexOfValue(page.app.macroMode))
                            onActivated: page.app.macroMode = currentValue
                        }
                        SpinBox {
                            id: repeats
                            objectName: "macroRepeats"
                            // The Basic style draws the field's frame and its step buttons in this colour.
                            palette.button: page.windowRoot.controlLine
                            width: 130
                            height: 38
                            from: 1
                            to: 100
                            value: page.app.macroRepeat
                            editable: true
                            enabled: page.app.macroMode === "count"
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontBody
                            Accessible.name: page.windowRoot.tr("Повторы", "Repeats")
                            onValueModified: page.app.macroRepeat = value
                        }
                    }

                    MacroTimeline {
                        windowRoot: page.windowRoot
                        width: parent.width
                    }

                    Flow {
                        width: parent.width
                        spacing: Theme.space12

                        Act {
                            id: recordAction
                            objectName: "recordAction"
                            theme: page.windowRoot
                            danger: page.app.recording
                            text: page.app.recording ? page.windowRoot.tr("● СТОП · F12", "● STOP · F12")
                                                     : page.windowRoot.tr("Записать действия", "Record actions")
                            onClicked: {
                                page.windowRoot.recordControlBounds()
                                if (page.app.recording) {
                                    page.app.stopRecording()
                                } else {
                                    page.shownSeconds = 0
                                    page.app.startRecording()
                                }
                            }
                        }
                        Txt {
                            theme: page.windowRoot
                            height: recordAction.height
                            verticalAlignment: Text.AlignVCenter
                            visible: page.app.recording
                            text: page.shownSeconds + page.windowRoot.tr(" с", " s")
                        }
                        Repeater {
                            model: [
                                { flag: "recordKeyboard", ru: "Клавиатура", en: "Keyboard" },
                                { flag: "recordMouse", ru: "Кнопки мыши", en: "Mouse buttons" },
                                { flag: "recordWheel", ru: "Колесо", en: "Wheel" },
                                { flag: "recordMovement", ru: "Движение", en: "Movement" }
                            ]
                            delegate: CheckBox {
                                required property var modelData
                                height: recordAction.height
                                text: page.windowRoot.tr(modelData.ru, modelData.en)
                                font.family: Theme.fontFamily
                                font.pixelSize: Theme.fontBody
                                checked: page.app[modelData.flag]
                                enabled: !page.app.recording
                                onToggled: page.app[modelData.flag] = checked
                            }
                        }
                    }

                    Hint {
                        theme: page.windowRoot
                        width: parent.width
                        visible: page.app.recordMovement
                        text: page.windowRoot.tr(
                            "Движение записывается до 10 блоков в секунду в физических пикселях Windows. Камеры Raw Input могут его не учитывать",
                            "Movement uses up to 10 steps/s in physical Windows pixels. Raw Input cameras may ignore it")
                    }

                    Hint {
                        theme: page.windowRoot
                        width: parent.width
                        text: page.windowRoot.tr("Щёлкните строку, чтобы изменить блок. Порядок: перетащите за ручку или нажмите Ctrl+Вверх/Вниз",
                            "Click a row to edit. Order: drag its handle or press Ctrl+Up/Down")
                    }

                    MacroStepsList {
                        id: stepsList
                        windowRoot: page.windowRoot
                        width: parent.width
                    }

                    MacroStepEditor {
                        id: newStepForm
                        windowRoot: page.windowRoot
                        width: parent.width
                        visible: page.windowRoot.editingStep < 0
                        active: stepsList.editingForm === null
                    }

                    Act {
                        objectName: "saveMacroAction"
                        theme: page.windowRoot
                        primary: true
                        enabled: !page.app.recording
                        text: page.windowRoot.tr("Сохранить макрос", "Save macro")
                        onClicked: page.app.saveMacro()
                    }
                }
            }

            MacroPreview {
                windowRoot: page.windowRoot
                width: parent.width
            }
        }
    }
}
