pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// How the press of the rule being edited is recognised: at once, short or long, single or
// double, or after preceding inputs. The controller checks the choice with the core; the rule's
// own Save stores it.
Dialog {
    id: dialog
    required property var windowRoot
    readonly property var app: windowRoot.app
    readonly property var theme: windowRoot
    readonly property var kinds: ["immediate", "holdTap", "double", "chord"]
    readonly property string kind: kindPick.currentIndex >= 0 && kindPick.currentIndex < kinds.length
        ? kinds[kindPick.currentIndex] : "immediate"
    readonly property bool pressPair: kind === "holdTap" || kind === "double"

    modal: true
    width: Math.min(620, theme.width - 40)
    height: Math.min(640, theme.height - 40)
    padding: Theme.space16
    title: tr("Как распознавать нажатие", "How to recognize the press")

    function tr(ru, en) {
        return theme.tr(ru, en)
    }

    function choices() {
        var result = [{ id: "", label: tr("Не требуется", "Not required") }]
        var options = app.inputOptions
        for (var i = 0; i < options.length; ++i) {
            if (options[i].id.indexOf("wheel_") !== 0 && options[i].id !== app.sourceId)
                result.push(options[i])
        }
        return result
    }

    function actions() {
        var needle = search.text.toLowerCase()
        var options = app.outputOptions
        if (needle.length === 0)
            return options
        var result = []
        for (var i = 0; i < options.length; ++i) {
            if ((options[i].label + " " + options[i].id).toLowerCase().indexOf(needle) >= 0)
                result.push(options[i])
        }
        return result
    }

    function index(list, id) {
        return theme.indexOf(list, id)
    }

    function kindCaption(kindName) {
        if (kindName === "holdTap")
            return tr("Короткое / длинное", "Short / long press")
        if (kindName === "double")
            return tr("Одиночное / двойное", "Single / double press")
        if (kindName === "chord")
            return tr("Сочетание исходных кнопок", "Source button combination")
        return tr("Обычное · сразу", "Ordinary · immediate")
    }

    function explanation() {
        if (kind === "holdTap")
            return tr("До порога: при отпускании выполняется короткое действие. На пороге: выполняется длинное действие, его удержание сохраняется до отпускания кнопки.",
                "Before the threshold: release runs the short action. At the threshold: the long action starts and stays held until the source is released.")
        if (kind === "double")
            return tr("Интервал отсчитывается от первого нажатия. В нём нужно отпустить кнопку и нажать снова. На границе интервала выполняется одиночное действие. Если первая кнопка всё ещё удерживается, оно также удерживается до отпускания.",
                "The interval starts at the first press. Release and press again within it. At the deadline, the single action runs. If the first press is still held, the single action remains held until release.")
        if (kind === "chord")
            return tr("Удерживайте выбранные ниже кнопки в указанном порядке, затем нажмите основную кнопку в пределах интервала. Предыдущие кнопки сохраняют свои обычные назначения. Результат удерживается до отпускания основной кнопки.",
                "Hold the buttons below in order, then press the source within the interval. Earlier buttons keep their ordinary mappings. The result remains held until the final source is released.")
        return tr("Назначение выполняется сразу при получении события Windows. Удержание и отпускание сохраняются.",
            "The mapping runs as soon as the Windows event arrives. Press and release remain paired.")
    }

    function targetCaption() {
        if (kind === "holdTap")
            return tr("Длинное действие: ", "Long action: ")
        if (kind === "double")
            return tr("Двойное действие: ", "Double action: ")
        return tr("Действие сочетания: ", "Combination action: ")
    }

    function footerNote() {
        if (kind === "immediate")
            return tr("Сохраните правило. Включённые назначения обновятся сразу; на паузе включите их вручную.",
                "Save the mapping. Active mappings update immediately; enable them manually when paused.")
        return tr("Ожидание действует только на это правило. Смена окна, пауза или аварийная остановка отменяет незавершённое распознавание. Для короткого/двойного исходные события подавляются; «Без изменения» воспроизводится программой после распознавания.",
            "Only this rule acquires a delay. Window changes, pause or emergency stop cancel pending recognition. Short/double rules suppress the originals; Keep original is replayed by the program after recognition.")
    }

    function select() {
        var keys = []
        var prefixes = [prefix1, prefix2, prefix3]
        for (var i = 0; i < prefixes.length; ++i) {
            var value = prefixes[i].currentValue
            if (value !== undefined && value !== "")
                keys.push(value)
        }
        var fallbackValue = fallback.currentValue !== undefined && fallback.currentValue !== "" ? fallback.currentValue : "unchanged"
        if (app.configureTrigger(kind, interval.value, fallbackValue, keys))
            close()
    }

    // A picker whose rows follow the search and the language while it keeps the chosen id.
    component ChoicePick: Pick {
        property string choice: ""
        theme: dialog.theme
        function choose(id) {
            choice = id
            currentIndex = Math.max(0, dialog.index(model, id))
        }
        onActivated: choice = currentValue
        onModelChanged: currentIndex = Math.max(0, dialog.index(model, choice))
    }

    onAboutToShow: {
        dialog.app.rearrangePopup(dialog.contentItem)
        var trigger = app.trigger
        var at = kinds.indexOf(trigger.kind !== undefined ? trigger.kind : "")
        kindPick.currentIndex = at >= 0 ? at : 0
        interval.value = trigger.intervalMs !== undefined ? trigger.intervalMs : 300
        search.text = ""
        fallback.choose(trigger.fallback !== undefined ? trigger.fallback : "unchanged")
        var keys = trigger.keys !== undefined ? trigger.keys : []
        prefix1.choose(keys[0] !== undefined ? keys[0] : "")
        prefix2.choose(keys[1] !== undefined ? keys[1] : "")
        prefix3.choose(keys[2] !== undefined ? keys[2] : "")
        content.contentItem.contentY = 0
    }

    background: Rectangle {
        color: dialog.theme.paper
        border.color: dialog.theme.line
        radius: Theme.space12
    }

    header: Txt {
        theme: dialog.theme
        padding: Theme.space16
        bottomPadding: 0
        text: dialog.title
        font.pixelSize: Theme.fontBlock
        font.weight: Font.DemiBold
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.space8

        ScrollView {
            id: content
            // Shown whenever the content is taller, so a cut line reads as "scroll for more".
            ScrollBar.vertical.policy: ScrollBar.AlwaysOn
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: availableWidth
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

            ColumnLayout {
                width: content.availableWidth
                spacing: Theme.space8

                Txt {
                    theme: dialog.theme
                    Layout.fillWidth: true
                    text: dialog.tr("Кнопка: ", "Source: ") + dialog.app.describeInput(dialog.app.sourceId)
                    font.bold: true
                }

                Pick {
                    id: kindPick
                    objectName: "kindPick"
                    theme: dialog.theme
                    Layout.fillWidth: true
                    // The rows stay the same object when the language changes, so the choice stays.
                    model: dialog.kinds
                    displayText: dialog.kindCaption(dialog.kinds[currentIndex])
                    Accessible.name: dialog.title

                    delegate: ItemDelegate {
                        id: kindRow
                        required property string modelData
                        required property int index
                        width: kindPick.width
                        highlighted: kindPick.highlightedIndex === index
                        contentItem: Text {
                            text: dialog.kindCaption(kindRow.modelData)
                            textFormat: Text.PlainText
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontBody
                            color: dialog.theme.ink
                            elide: Text.ElideRight
                        }
                        background: Rectangle {
                            color: kindRow.highlighted ? dialog.theme.canvas : dialog.theme.paper
                        }
                    }
                }

                Hint {
                    theme: dialog.theme
                    Layout.fillWidth: true
                    text: dialog.explanation()
                }

                RowLayout {
                    Layout.fillWidth: true
                    visible: dialog.kind !== "immediate"
                    spacing: Theme.space8
                    Txt {
                        theme: dialog.theme
                        text: dialog.tr("Интервал, мс", "Interval, ms")
                    }
                    SpinBox {
                        id: interval
                        objectName: "interval"
                        // The Basic style draws the field's frame and its step buttons in this colour.
                        palette.button: dialog.theme.controlLine
                        from: 100
                        to: 2000
                        stepSize: 50
                        value: 300
                        editable: true
                        // Plain digits: no group separators to type around.
                        textFromValue: (number) => String(number)
                        valueFromText: (text) => parseInt(text, 10)
                        Accessible.name: dialog.tr("Интервал распознавания", "Recognition interval")
                    }
                }

                Txt {
                    theme: dialog.theme
                    Layout.fillWidth: true
                    visible: dialog.kind !== "immediate"
                    color: dialog.theme.accent
                    text: dialog.targetCaption() + dialog.app.describeInput(dialog.app.targetId)
                }

                Txt {
                    theme: dialog.theme
                    Layout.fillWidth: true
                    visible: dialog.pressPair
                    text: dialog.kind === "double" ? dialog.tr("Одиночное действие", "Single action")
                        : dialog.tr("Короткое действие", "Short action")
                }

                Edit {
                    id: search
                    objectName: "search"
                    theme: dialog.theme
                    Layout.fillWidth: true
                    visible: dialog.pressPair
                    placeholderText: dialog.tr("Поиск короткого / одиночного действия", "Search short / single action")
                    Accessible.name: placeholderText
                }

                ChoicePick {
                    id: fallback
                    objectName: "fallback"
                    model: dialog.actions()
                    Layout.fillWidth: true
                    visible: dialog.pressPair
                    Accessible.name: dialog.tr("Короткое или одиночное действие", "Short or single action")
                }

                Txt {
                    theme: dialog.theme
                    Layout.fillWidth: true
                    visible: dialog.kind === "chord"
                    text: dialog.tr("Порядок: 1 → 2 → 3 → основная кнопка. Выберите от одной до трёх предыдущих кнопок.",
                        "Order: 1 → 2 → 3 → source. Choose one to three preceding buttons.")
                }

                ChoicePick {
                    id: prefix1
                    objectName: "prefix1"
                    model: dialog.choices()
                    Layout.fillWidth: true
                    visible: dialog.kind === "chord"
                    Accessible.name: dialog.tr("Первая кнопка сочетания", "First combination button")
                }

                ChoicePick {
                    id: prefix2
                    objectName: "prefix2"
                    model: dialog.choices()
                    Layout.fillWidth: true
                    visible: dialog.kind === "chord"
                    Accessible.name: dialog.tr("Вторая кнопка сочетания", "Second combination button")
                }

                ChoicePick {
                    id: prefix3
                    objectName: "prefix3"
                    model: dialog.choices()
                    Layout.fillWidth: true
                    visible: dialog.kind === "chord"
                    Accessible.name: dialog.tr("Третья кнопка сочетания", "Third combination button")
                }

                Hint {
                    theme: dialog.theme
                    Layout.fillWidth: true
                    text: dialog.footerNote()
                }
            }
        }

        Txt {
            theme: dialog.theme
            Layout.fillWidth: true
            visible: dialog.app.notice.length > 0
            text: dialog.app.notice
            color: dialog.theme.accent
            maximumLineCount: 3
            elide: Text.ElideRight
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.space8
            Item {
                Layout.fillWidth: true
            }
            Act {
                theme: dialog.theme
                Layout.minimumWidth: implicitWidth
                text: dialog.tr("Отмена", "Cancel")
                onClicked: dialog.close()
            }
            Act {
                objectName: "selectTrigger"
                theme: dialog.theme
                Layout.minimumWidth: implicitWidth
                primary: true
                text: dialog.tr("Выбрать", "Select")
                onClicked: dialog.select()
            }
        }
    }
}
