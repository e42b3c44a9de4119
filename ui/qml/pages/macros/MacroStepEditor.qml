import QtQuick
import "../.."

// One step form: the new-step form under the list, or the inline form of the row being edited.
// Only the active form carries the object names that the window and the check modes look up.
Column {
    id: form
    required property var windowRoot
    // The row this form edits, -1 for the new-step form.
    property int stepIndex: -1
    property bool active: true
    readonly property var app: windowRoot.app

    readonly property alias typeObject: typePick
    readonly property alias inputObject: inputPick
    readonly property alias timeObject: timeField
    readonly property alias moveXObject: moveX
    readonly property alias moveYObject: moveY

    readonly property string type: typePick.currentValue !== undefined ? typePick.currentValue : "tap"
    readonly property var timedTypes: ["tap", "wait", "wheel", "chord", "move"]
    readonly property var hints: ({
        profile: ["Смена профиля должна быть последним блоком в режиме «Один раз», без удерживаемых клавиш",
            "Profile switch must be the last step in Once mode, with no held keys"],
        command: ["Отправка может занять до 10 с; готовность другого приложения не проверяется",
            "Submission may take up to 10 s; another application's readiness is not checked"],
        move: ["Длительность — пауза перед перемещением курсора Windows",
            "Duration is the delay before moving the Windows cursor"],
        layer: ["Меняет основной слой; удерживаемый временный слой всё равно важнее",
            "Changes the base layer; a held temporary layer still takes precedence"]
    })

    spacing: Theme.space8

    function value() {
        if (type === "move")
            return (moveX.text || "0") + "," + (moveY.text || "0")
        return inputPick.visible && inputPick.currentValue !== undefined ? inputPick.currentValue : ""
    }

    function submit() {
        var ms = parseInt(timeField.text, 10)
        if (isNaN(ms))
            ms = 0
        if (stepIndex >= 0)
            app.updateMacroStep(stepIndex, type, value(), ms)
        else
            app.addMacroStep(type, value(), ms)
    }

    // An inline form opens on its row's step.
    function load(entry) {
        typePick.currentIndex = Math.max(0, typePick.indexOfValue(entry.type))
        if (entry.type === "move") {
            var parts = String(entry.input).split(",")
            moveX.text = parts[0] || "0"
            moveY.text = parts[1] || "0"
        } else {
            inputPick.currentIndex = inputPick.indexOfValue(entry.input)
        }
        timeField.text = String(entry.ms !== undefined ? entry.ms : 0)
    }

    component Caption: Hint {
        wrapMode: Text.NoWrap
        elide: Text.ElideRight
    }

    // A new-step form starts on the key A once its options exist.
    property bool seeded: false

    // Captions over the fields below, each as wide as its field: the number fields say nothing
    // of what they hold otherwise.
    Row {
        width: parent.width
        spacing: Theme.space8

        Caption {
            theme: form.windowRoot
            width: typePick.width
            text: form.windowRoot.tr("Тип блока", "Step type")
        }
        Caption {
            theme: form.windowRoot
            width: inputPick.width
            visible: inputPick.visible
            text: form.windowRoot.tr("Значение блока", "Step value")
        }
        Caption {
            theme: form.windowRoot
            objectName: form.active ? "moveXCaption" : ""
            width: moveX.width
            visible: moveRow.visible
            text: form.windowRoot.tr("Сдвиг по X", "Movement X")
        }
        Caption {
            theme: form.windowRoot
            objectName: form.active ? "moveYCaption" : ""
            width: moveY.width
            visible: moveRow.visible
            text: form.windowRoot.tr("Сдвиг по Y", "Movement Y")
        }
        Caption {
            theme: form.windowRoot
            objectName: form.active ? "stepTimeCaption" : ""
            width: timeField.width
            text: form.windowRoot.tr("Длительность, мс", "Duration, ms")
        }
    }

    Row {
        width: parent.width
        spacing: Theme.space8

        Pick {
            id: typePick
            objectName: form.active ? "stepType" : "macroInactiveStepType"
            theme: form.windowRoot
            width: Math.min(220, (parent.width - Theme.space8) / 3)
            Accessible.name: form.windowRoot.tr("Тип блока", "Step type")
            // A fixed model: a language change relabels it without losing the choice.
            textRole: form.windowRoot.app.language === "en" ? "en" : "ru"
            model: [
                { id: "tap", ru: "Короткое нажатие", en: "Tap" },
                { id: "down", ru: "Нажать", en: "Press" },
                { id: "up", ru: "Отпустить", en: "Release" },
                { id: "wait", ru: "Пауза", en: "Wait" },
                { id: "wheel", ru: "Прокрутка", en: "Scroll" },
                { id: "chord", ru: "Сочетание", en: "Chord" },
                { id: "move", ru: "Движение", en: "Movement" },
                { id: "command", ru: "Текст / команда", en: "Text / command" },
                { id: "layer", ru: "Основной слой", en: "Base layer" },
                { id: "profile", ru: "Сменить профиль", en: "Switch profile" }
            ]
        }

        Pick {
            id: inputPick
            objectName: form.active ? "stepInput" : "macroInactiveStepInput"
            theme: form.windowRoot
            width: parent.width - typePick.width - timeField.width - 2 * Theme.space8
            visible: form.type !== "wait" && form.type !== "move"
            Accessible.name: form.windowRoot.tr("Значение блока", "Step value")
            model: form.active ? form.windowRoot.macroInputs() : []
            onCountChanged: {
                if (form.seeded || form.stepIndex >= 0 || count === 0)
                    return
                form.seeded = true
                currentIndex = Math.max(0, indexOfValue("key_65"))
            }
        }

        Row {
            id: moveRow
            spacing: Theme.space8
            visible: form.type === "move"
            width: visible ? parent.width - typePick.width - timeField.width - 2 * Theme.space8 : 0
            Edit {
                id: moveX
                objectName: form.active ? "moveX" : "macroInactiveMoveX"
                theme: form.windowRoot
                width: (parent.width - Theme.space8) / 2
                text: "20"
                placeholderText: "X"
                Accessible.name: form.windowRoot.tr("Сдвиг по X", "Movement X")
                validator: IntValidator { bottom: -32767; top: 32767 }
            }
            Edit {
                id: moveY
                objectName: form.active ? "moveY" : "macroInactiveMoveY"
                theme: form.windowRoot
                width: (parent.width - Theme.space8) / 2
                text: "0"
                placeholderText: "Y"
                Accessible.name: form.windowRoot.tr("Сдвиг по Y", "Movement Y")
                validator: IntValidator { bottom: -32767; top: 32767 }
            }
        }

        Edit {
            id: timeField
            objectName: form.active ? "stepTime" : "macroInactiveStepTime"
            theme: form.windowRoot
            width: 130
            text: "100"
            enabled: form.timedTypes.indexOf(form.type) >= 0
            Accessible.name: form.windowRoot.tr("Длительность, мс", "Duration, ms")
            validator: IntValidator { bottom: 0; top: 60000 }
            Keys.onUpPressed: text = String(Math.min(60000, (parseInt(text, 10) || 0) + 10))
            Keys.onDownPressed: text = String(Math.max(0, (parseInt(text, 10) || 0) - 10))
        }
    }

    Hint {
        theme: form.windowRoot
        width: parent.width
        visible: form.hints[form.type] !== undefined
        text: visible ? form.windowRoot.tr(form.hints[form.type][0], form.hints[form.type][1]) : ""
    }

    Flow {
        width: parent.width
        spacing: Theme.space8

        Act {
            theme: form.windowRoot
            visible: form.type === "command"
            text: form.windowRoot.tr("Создать текст или команду…", "Create text or command…")
            onClicked: form.windowRoot.showCustomAction()
        }
        Act {
            theme: form.windowRoot
            visible: form.type === "chord"
            text: form.windowRoot.tr("Своё сочетание…", "Custom chord…")
            onClicked: form.windowRoot.showCustomChord()
        }
        Act {
            theme: form.windowRoot
            primary: form.stepIndex < 0
            enabled: !form.app.recording
            text: form.stepIndex >= 0 ? form.windowRoot.tr("Обновить блок", "Update block")
                                      : form.windowRoot.tr("Добавить блок", "Add block")
            onClicked: form.submit()
        }
        Act {
            theme: form.windowRoot
            visible: form.stepIndex >= 0
            text: form.windowRoot.tr("Отмена правки", "Cancel edit")
            onClicked: form.windowRoot.editingStep = -1
        }
    }
}
