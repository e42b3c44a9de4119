pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import "../.."

// The agent's technical figures: counters, timings and the input devices Windows lists.
ColumnLayout {
    id: details
    objectName: "diagnosticDetails"
    required property var windowRoot

    readonly property var diagnostics: windowRoot.app.diagnostics
    readonly property bool measured: Number(diagnostics.timedEvents || 0) !== 0
    readonly property var counterRows: [
        { key: "inputEvents", ru: "Входных событий", en: "Input events" },
        { key: "suppressed", ru: "Подавлено исходных", en: "Suppressed originals" },
        { key: "outputEvents", ru: "Выходных событий", en: "Output events" },
        { key: "outputFailures", ru: "Ошибок отправки", en: "Output failures" },
        { key: "win32Error", ru: "Код последней ошибки Windows", en: "Last Windows error code" },
        { key: "hookRecoveries", ru: "Переустановок перехвата", en: "Hook recoveries" },
        { key: "lastHookRecoveryMs", ru: "Последняя, мс от запуска Windows", en: "Last recovery, Windows uptime ms" },
        { key: "hookRecoveryError", ru: "Ошибка восстановления", en: "Hook recovery error" },
        { key: "hookThreadPriority", ru: "Приоритет потока", en: "Thread priority" },
        { key: "hookPriorityError", ru: "Ошибка чтения приоритета", en: "Thread priority query error" },
        { key: "preciseTimerError", ru: "Ошибка точного таймера", en: "Precise timer error" },
        { key: "agentPowerPolicyError", ru: "EcoQoS · ошибка движка", en: "EcoQoS · engine error" },
        { key: "watchdogPowerPolicyError", ru: "EcoQoS · ошибка сторожа", en: "EcoQoS · watchdog error" },
        { key: "observationDrops", ru: "Пропущено в наблюдении", en: "Observation drops" },
        { key: "timedEvents", ru: "Измерено событий назначения", en: "Timed mapping events" },
        { key: "deviceEnumerationError", ru: "Ошибка списка устройств", en: "Device list error" }
    ]

    spacing: Theme.space12

    // A missing, zero or empty value reads "0".
    function valueText(value) {
        if (value === undefined || value === null || value === "" || value === false || Number(value) === 0)
            return "0"
        return String(value)
    }

    // Every cell of the grid: the sixteen counters, then the timer and the timings.
    readonly property var cells: {
        var tr = windowRoot.tr
        var d = diagnostics
        var out = []
        for (var i = 0; i < counterRows.length; ++i)
            out.push({ name: counterRows[i].key, label: tr(counterRows[i].ru, counterRows[i].en), value: valueText(d[counterRows[i].key]) })
        out.push({ name: "preciseTimer", label: tr("Точный таймер", "Precise timer"),
                   value: d.preciseTimer === true ? tr("Да", "Yes") : tr("Нет", "No") })
        out.push({ name: "percentiles", label: "p50 / p95 / p99",
                   value: measured ? valueText(d.p50us) + " / " + valueText(d.p95us) + " / " + valueText(d.p99us) + " µs"
                                   : tr("Нет измерений", "No measurements") })
        out.push({ name: "maximum", label: tr("Максимум внутренней обработки", "Maximum internal processing"),
                   value: measured ? valueText(d.maxus) + " µs" : "—" })
        return out
    }

    Grid {
        id: grid
        Layout.fillWidth: true
        columns: 2
        columnSpacing: Theme.space24
        rowSpacing: Theme.space8

        Repeater {
            model: details.cells
            delegate: Item {
                id: cell
                required property var modelData
                objectName: "diagnosticCell_" + modelData.name
                width: grid.width / 2 - Theme.space12
                implicitHeight: Math.max(label.implicitHeight, value.implicitHeight)
                Hint {
                    id: label
                    theme: details.windowRoot
                    anchors.left: parent.left
                    anchors.right: value.left
                    anchors.rightMargin: Theme.space8
                    font.pixelSize: Theme.fontBody
                    text: cell.modelData.label
                }
                Txt {
                    id: value
                    objectName: "diagnosticValue_" + cell.modelData.name
                    theme: details.windowRoot
                    anchors.right: parent.right
                    wrapMode: Text.NoWrap
                    text: cell.modelData.value
                }
            }
        }
    }

    Hint {
        theme: details.windowRoot
        Layout.fillWidth: true
        text: details.windowRoot.tr("Измеряется обработка в программе, а не полная задержка мыши или игры",
                                    "This measures software processing, not physical mouse or game latency")
    }

    Txt {
        theme: details.windowRoot
        Layout.fillWidth: true
        font.bold: true
        text: details.windowRoot.tr("Устройства Windows", "Windows devices")
    }

    Repeater {
        model: details.windowRoot.app.deviceList
        delegate: Hint {
            required property var modelData
            required property int index
            objectName: "diagnosticDevice_" + index
            theme: details.windowRoot
            Layout.fillWidth: true
            text: modelData.label + " · " + details.windowRoot.tr("кнопок: ", "buttons: ")
                + (modelData.buttons !== undefined ? modelData.buttons : "0")
        }
    }

    Hint {
        objectName: "diagnosticDevicesStale"
        theme: details.windowRoot
        Layout.fillWidth: true
        visible: Number(details.diagnostics.deviceEnumerationError || 0) !== 0
        text: details.windowRoot.tr("Список пока не обновлён. Повторим автоматически",
                                    "The list could not be refreshed. Retrying automatically")
    }

    Hint {
        theme: details.windowRoot
        Layout.fillWidth: true
        text: details.windowRoot.tr("Выбор схемы не определяет устройство. DPI, RGB и память мыши не настраиваются",
                                    "The diagram does not identify a device. Hardware DPI, RGB and memory are not configured")
    }
}
