import QtQuick
import QtQuick.Controls
import ".."

// The "physical input → result" card: what the user pressed, what the engine made of it, what
// is held down on either side. It only reads the live view; every word shown is made here.
Card {
    id: root
    required property var app

    // A hidden panel reads this fixed map, so its bindings do not follow every live update.
    readonly property var hiddenLive: ({ historyEnabled: false, history: [], dropped: "0" })
    readonly property var live: visible ? app.live : hiddenLive
    readonly property var last: live.last ? live.last : ({})
    readonly property bool hasExecution: last.execution !== undefined
    readonly property bool failed: last.failed !== undefined && last.failed.length > 0
    readonly property bool narrow: width < 620
    readonly property alias reasonPopup: reason
    readonly property alias historyPopup: historyList

    implicitHeight: Math.max(narrow ? 300 : 176, content.implicitHeight + 24)

    function tr(ru, en) {
        return theme.tr(ru, en)
    }

    function names(list) {
        var language = app.language
        var out = []
        for (var i = 0; list && i < list.length; ++i)
            out.push(app.describeInput(list[i]))
        return out.join(" + ")
    }

    readonly property var modifierWords: [[2, "Ctrl"], [1, "Shift"], [4, "Alt"], [8, "Win"]]
    // Pressing a modifier sets its own bit; "Ctrl + Ctrl" would say nothing new.
    readonly property var modifierKeys: ["key_160", "key_161", "key_162", "key_163", "key_164", "key_165", "key_91", "key_92"]

    function physical(row) {
        var language = app.language
        row = row || {}
        var mask = Number(row.modifiers || 0)
        var words = []
        for (var i = 0; i < modifierWords.length; ++i) {
            if (mask & modifierWords[i][0])
                words.push(modifierWords[i][1])
        }
        var input = row.input !== undefined && row.input !== null ? String(row.input) : ""
        var name = input.length > 0 ? app.describeInput(input) : tr("Действие движка", "Engine action")
        if (input.length > 0 && modifierKeys.indexOf(input) < 0 && words.length > 0)
            name = words.join(" + ") + " + " + name
        if (input.indexOf("wheel_") === 0)
            return name + " · " + Math.abs(Number(row.delta || 0)) + tr(" ед.", " units")
        if (input === "cursor_move")
            return name + " · ΔX " + Number(row.inputDx || 0) + " / ΔY " + Number(row.inputDy || 0)
        var phase = Number(row.phase || 0)
        return name + " · " + (phase === 1 ? tr("отпущено", "released")
                               : phase === 2 ? tr("повтор", "repeat") : tr("нажато", "pressed"))
    }

    // Indexed by the result code (app.resultCodes names them).
    readonly property var resultWords: [
        ["Без изменения · пропущено дальше", "Unchanged · passed through"],
        ["Заблокировано", "Blocked"],
        ["Отправлено в Windows", "Sent to Windows"],
        ["Ошибка отправки", "Send failed"],
        ["Слой изменён", "Layer changed"],
        ["Макрос · шаг ", "Macro · step "],
        ["Отменено", "Cancelled"],
        ["Завершено", "Completed"],
        ["Обработано · новых отправок нет", "Processed · no new output"],
        ["Действие в очереди", "Action queued"],
        ["Запрос Windows принят", "Windows request accepted"],
        ["Текст отправлен в Windows", "Text sent to Windows"],
        ["Команда выполнена", "Command completed"]
    ]
    readonly property var pointerModeWords: [null, ["Движение → прокрутка", "Movement → scroll"],
        ["Временная скорость", "Temporary speed"], ["Только X", "X only"], ["Только Y", "Y only"]]

    function resultCaption(row) {
        row = row || {}
        var mode = Number(row.pointerMode || 0)
        if (mode >= 1 && mode < pointerModeWords.length)
            return tr(pointerModeWords[mode][0], pointerModeWords[mode][1]) + " · "
                + (Number(row.outputPhase || 0) === 1 ? tr("завершено", "ended") : tr("удерживается", "held"))
        var code = row.result === undefined ? -1 : Number(row.result)
        if (!(code >= 0 && code < resultWords.length && code === Math.floor(code)))
            return tr("Нет результата", "No result")
        var text = tr(resultWords[code][0], resultWords[code][1])
        var codes = app.resultCodes
        if (code === codes.MacroRunning)
            return text + (Number(row.step || 0) + 1)
        if (code === codes.StepSent && Number(row.total || 0) !== 0)
            return text + " · " + Number(row.progress || 0) + " / " + Number(row.total)
        return text
    }

    function result(row) {
        row = row || {}
        if (row.failed && row.failed.length > 0)
            return tr("Ошибка / частичная отправка: ", "Failed / partially sent: ") + names(row.failed)
        var text = resultCaption(row)
        var code = Number(row.result)
        var codes = app.resultCodes
        if (code === codes.Pending && row.matchedRule && row.matchedRule.trigger && row.gestureOutcome === undefined)
            text = tr("Ожидаю распознавания · ", "Waiting for recognition · ")
                + Number(row.matchedRule.trigger.intervalMs || 0) + tr(" мс", " ms")
        if (row.actionName !== undefined && String(row.actionName).length > 0)
            text = row.actionName + " · " + text
        if (code === codes.Layer && row.destinationLayer !== undefined && String(row.destinationLayer).length > 0)
            text += " · " + row.destinationLayer
        if (row.pointer === true)
            text += " · ΔX " + Number(row.delta || 0) + " / ΔY " + Number(row.dy || 0)
        var outputs = row.outputs || []
        if (outputs.length > 0) {
            var units = row.wheelUnits || {}
            var parts = []
            for (var i = 0; i < outputs.length; ++i) {
                var sent = Number(units[outputs[i]] || 0)
                parts.push(app.describeInput(outputs[i]) + (sent !== 0 ? " · " + sent + tr(" ед.", " units") : ""))
            }
            text = parts.join(" + ") + " · " + text
            if (row.forwarded === true)
                text = tr("Оригинал + ", "Original + ") + text
        }
        return text
    }

    function observationText() {
        if (app.connected && !app.engineCompatible)
            return tr("Нужен новый движок", "Update engine")
        if (app.observing)
            return tr("● Показываем нажатия", "● Live input")
        if (app.liveEnabled)
            return tr("Ожидаем движок", "Waiting for engine")
        return tr("Показ выключен", "Display off")
    }

    onVisibleChanged: {
        if (!visible)
            reason.close()
    }

    Connections {
        target: root.app
        function onLiveChanged() {
            var latest = root.app.live.last
            if (reason.opened && !(latest && latest.execution !== undefined))
                reason.close()
        }
    }

    // Positioners, not layouts: a Qt Quick layout can keep a text's old height when a wider or
    // narrower window, or another language, changes how many lines the text wraps to.
    Column {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 12
        spacing: 12

        // Title, then the observation state and the two commands: on one line, or the
        // commands on a line of their own when narrow.
        Item {
            width: parent.width
            implicitHeight: root.narrow ? title.implicitHeight + 8 + commands.height
                                        : Math.max(title.implicitHeight, commands.height)

            Txt {
                id: title
                theme: root.theme
                width: root.narrow ? parent.width : parent.width - commands.width - 8
                y: root.narrow ? 0 : (commands.height - implicitHeight) / 2
                text: root.tr("Физический ввод → Результат", "Physical input → Result")
                font.bold: true
            }

            Row {
                id: commands
                anchors.right: parent.right
                y: root.narrow ? title.implicitHeight + 8 : 0
                spacing: 8

                Label {
                    objectName: "liveObservationState"
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.observationText()
                    textFormat: Text.PlainText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontCaption
                    color: root.app.observing ? root.theme.accent : root.theme.muted
                }
                Act {
                    objectName: "liveEnableToggle"
                    theme: root.theme
                    text: root.app.liveEnabled ? root.tr("Выключить", "Turn off") : root.tr("Включить", "Turn on")
                    enabled: root.app.engineCompatible
                    onClicked: root.app.setLiveEnabled(!root.app.liveEnabled)
                }
                Act {
                    objectName: "liveHistoryAction"
                    theme: root.theme
                    text: root.tr("История", "History")
                    onClicked: historyList.open()
                }
            }
        }

        // The two sides, input and result, each a column of texts that grows with their lines.
        Item {
            id: sides
            readonly property real sideWidth: root.narrow ? width : (width - arrow.width - 24) / 2
            width: parent.width
            implicitHeight: root.narrow ? physicalSide.height + 12 + resultSide.height
                                        : Math.max(physicalSide.height, arrow.height, resultSide.height)

            Column {
                id: physicalSide
                width: sides.sideWidth
                spacing: 4
                Hint {
                    theme: root.theme
                    width: parent.width
                    text: root.tr("ФИЗИЧЕСКИ", "PHYSICAL")
                    font.bold: true
                }
                Txt {
                    objectName: "livePhysicalText"
                    theme: root.theme
                    width: parent.width
                    text: root.last.input !== undefined ? root.physical(root.last)
                        : root.tr("Нажмите кнопку или клавишу, прокрутите колесо", "Press a button or key, or scroll the wheel")
                    maximumLineCount: 2
                    elide: Text.ElideRight
                }
                Hint {
                    objectName: "livePhysicalHeld"
                    theme: root.theme
                    width: parent.width
                    text: root.live.physical && root.live.physical.length > 0
                        ? root.tr("Удерживаются: ", "Held: ") + root.names(root.live.physical)
                        : root.live.inferred && root.live.inferred.length > 0
                          ? root.tr("Нажаты до наблюдения; источник не подтверждён", "Already down; origin unconfirmed")
                          : root.tr("Нет удерживаемых клавиш", "No held keys")
                }
            }

            Label {
                id: arrow
                visible: !root.narrow
                x: physicalSide.width + 12
                text: "→"
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBlock
                color: root.theme.accent
            }

            Column {
                id: resultSide
                x: root.narrow ? 0 : arrow.x + arrow.width + 12
                y: root.narrow ? physicalSide.height + 12 : 0
                width: sides.sideWidth
                spacing: 4
                Hint {
                    theme: root.theme
                    width: parent.width
                    text: root.tr("ПОСЛЕ ОБРАБОТКИ", "AFTER PROCESSING")
                    font.bold: true
                }
                Txt {
                    objectName: "liveResultText"
                    theme: root.theme
                    width: parent.width
                    text: root.hasExecution ? root.result(root.last)
                        : root.tr("Здесь появится фактический результат", "Actual output will appear here")
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    color: root.failed ? root.theme.danger : root.theme.accent
                }
                Hint {
                    objectName: "liveOutputHeld"
                    theme: root.theme
                    width: parent.width
                    text: root.live.outputHeld && root.live.outputHeld.length > 0
                        ? root.tr("Программа удерживает: ", "Held by the app: ") + root.names(root.live.outputHeld)
                        : root.tr("Нет синтетических удержаний", "No synthetic holds")
                }
            }
        }

        Item {
            width: parent.width
            implicitHeight: Math.max(footerHint.implicitHeight, footerCommands.height)

            Hint {
                id: footerHint
                theme: root.theme
                width: parent.width - footerCommands.width - 12
                anchors.verticalCenter: parent.verticalCenter
                text: root.app.dirty
                    ? root.tr("Есть неприменённые правки. Здесь показан работающий набор.",
                              "Unapplied edits exist. This panel shows the running collection.")
                    : root.narrow
                      ? root.tr("Сверху — вход, снизу — отправка в Windows.", "Top: input. Below: sending to Windows.")
                      : root.tr("Слева — вход. Справа — фактическая отправка, а не подтверждение действия в приложении.",
                                "Left: input. Right: actual sending, not confirmation from the target app.")
            }

            Row {
                id: footerCommands
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 12

                Hint {
                    objectName: "liveDropped"
                    theme: root.theme
                    anchors.verticalCenter: parent.verticalCenter
                    wrapMode: Text.NoWrap
                    visible: root.live.dropped !== undefined && String(root.live.dropped) !== "0"
                    text: root.tr("Пропусков: ", "Dropped: ") + root.live.dropped
                }
                Act {
                    objectName: "liveWhyAction"
                    theme: root.theme
                    text: root.tr("Почему так?", "Why?")
                    enabled: root.hasExecution
                    onClicked: reason.open()
                }
            }
        }
    }

    LiveInputReasonPopup {
        id: reason
        panel: root
    }

    LiveInputHistoryPopup {
        id: historyList
        panel: root
    }
}
