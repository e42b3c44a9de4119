import QtQuick
import QtQuick.Controls
import "../.."
import "preview_logic.js" as Logic

// Plays the working copy into a field of its own on timers: no agent command, no synthetic
// input, no system clipboard, no external action. The player lives in preview_logic.js.
Card {
    id: preview
    objectName: "macroPreview"
    required property var windowRoot
    readonly property var app: windowRoot.app
    property var player: Logic.createPreview()
    // Bumped after every change of `player`, whose own members do not notify.
    property int revision: 0
    readonly property bool running: revision >= 0 && player.running
    readonly property var env: ({
        tr: function(ru, en) { return preview.windowRoot.tr(ru, en) },
        kind: function(type, input) { return preview.windowRoot.macroKind(type, input) },
        label: function(type, input) { return preview.windowRoot.stepLabel(type, input) },
        describe: function(id) { return preview.windowRoot.describe(id) },
        now: function() { return Date.now() }
    })

    theme: windowRoot
    implicitHeight: content.implicitHeight + 2 * Theme.space16

    function syncField() {
        var f = player.field
        field.text = f.text
        if (f.selectionEnd > f.selectionStart)
            field.select(f.selectionStart, f.selectionEnd)
        else
            field.cursorPosition = f.cursor
        revision += 1
    }

    function begin() {
        if (app.recording)
            return
        player.field = { text: field.text, selectionStart: field.selectionStart, selectionEnd: field.selectionEnd,
            cursor: field.cursorPosition }
        if (!Logic.start(player, app.macroSteps, app.customActions, app.macroMode, app.macroRepeat, env))
            return
        deadline.restart()
        revision += 1
        step()
    }

    function step() {
        var delay = Logic.advance(player, env)
        syncField()
        if (delay >= 0) {
            stepTimer.interval = delay
            stepTimer.restart()
        } else {
            finish()
        }
    }

    function finish() {
        stepTimer.stop()
        deadline.stop()
        revision += 1
    }

    function halt(message) {
        if (!player.running)
            return
        Logic.stop(player, message)
        finish()
    }

    onVisibleChanged: {
        if (!visible)
            halt(Logic.phrase("Проверка остановлена", "Preview stopped"))
    }

    Connections {
        target: preview.app
        function onMacroChanged() {
            preview.halt(Logic.phrase("Макрос изменён: запустите проверку снова", "Macro changed: start preview again"))
        }
    }

    Timer {
        id: stepTimer
        repeat: false
        onTriggered: preview.step()
    }

    Timer {
        id: deadline
        interval: Logic.playLimitMs
        repeat: false
        onTriggered: preview.halt(Logic.phrase("Предел проверки — 5 минут", "Preview limit is 5 minutes"))
    }

    Column {
        id: content
        x: Theme.space16
        y: Theme.space16
        width: parent.width - 2 * Theme.space16
        spacing: Theme.space8

        Row {
            width: parent.width
            spacing: Theme.space8
            Txt {
                theme: preview.windowRoot
                width: parent.width - previewAction.width - Theme.space8
                anchors.verticalCenter: parent.verticalCenter
                text: preview.windowRoot.tr("Проверить макрос", "Preview macro")
                font.pixelSize: Theme.fontSubheading
                font.bold: true
            }
            Act {
                id: previewAction
                objectName: "macroPreviewAction"
                theme: preview.windowRoot
                text: preview.running ? preview.windowRoot.tr("Остановить", "Stop") : preview.windowRoot.tr("Проверить", "Preview")
                enabled: !preview.app.recording && preview.app.macroSteps.length > 0
                onClicked: {
                    if (preview.running)
                        preview.halt(Logic.phrase("Проверка остановлена", "Preview stopped"))
                    else
                        preview.begin()
                }
            }
        }

        Hint {
            theme: preview.windowRoot
            width: parent.width
            text: preview.windowRoot.tr("Ввод остаётся в этом поле. Буквы — латиница; действия Windows и мыши только отмечаются",
                "Input stays in this field. Letters use Latin; Windows and mouse actions are only noted")
        }

        TextArea {
            id: field
            objectName: "macroTestField"
            width: parent.width
            height: 96
            readOnly: preview.running
            wrapMode: TextEdit.Wrap
            textFormat: TextEdit.PlainText
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontBody
            color: preview.windowRoot.ink
            placeholderText: preview.windowRoot.tr("Здесь появится локальный результат", "Local result appears here")
            placeholderTextColor: preview.windowRoot.muted
            Accessible.name: preview.windowRoot.tr("Поле проверки макроса", "Macro preview field")
            background: Rectangle {
                radius: Theme.controlRadius
                color: preview.windowRoot.surfaceRaised
                border.color: field.activeFocus ? preview.windowRoot.accent : preview.windowRoot.controlLine
            }
        }

        Txt {
            objectName: "macroPreviewResult"
            theme: preview.windowRoot
            width: parent.width
            text: preview.revision >= 0 ? Logic.resultText(preview.player, preview.env) : ""
        }

        TextArea {
            objectName: "macroPreviewEvents"
            width: parent.width
            height: Math.min(140, implicitHeight)
            readOnly: true
            visible: text.length > 0
            text: preview.revision >= 0 ? Logic.logText(preview.player, preview.env) : ""
            wrapMode: TextEdit.Wrap
            textFormat: TextEdit.PlainText
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontCaption
            color: preview.windowRoot.muted
            Accessible.name: preview.windowRoot.tr("Журнал проверки", "Preview log")
            background: Rectangle {
                radius: Theme.controlRadius
                color: preview.windowRoot.canvas
                border.color: preview.windowRoot.line
            }
        }
    }
}
