pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// The wheel and cursor settings of the selected layer, and the four temporary pointer modes a
// held button can switch on. Nothing reaches the library until Save, Inherit or an Assign
// button succeeds.
Dialog {
    id: dialog
    required property var windowRoot
    readonly property var app: windowRoot.app
    readonly property var theme: windowRoot
    property int tab: 0

    modal: true
    width: Math.min(740, theme.width - 40)
    height: Math.min(710, theme.height - 40)
    padding: Theme.space16
    title: tr("Колесо и курсор Windows", "Windows wheel and cursor")

    function tr(ru, en) {
        return theme.tr(ru, en)
    }

    function load(s) {
        wheelV.box.value = s.wheelVertical
        wheelH.box.value = s.wheelHorizontal
        invertV.checked = s.invertVertical
        invertH.checked = s.invertHorizontal
        pages.checked = s.pages
        horizontal.checked = s.verticalToHorizontal
        scaleX.box.value = s.cursorX
        scaleY.box.value = s.cursorY
        invertX.checked = s.invertX
        invertY.checked = s.invertY
        axis.currentIndex = s.axis
        speed.box.value = s.temporarySpeed
        pixels.box.value = s.scrollPixels
    }

    function values() {
        return {
            wheelVertical: wheelV.box.value, wheelHorizontal: wheelH.box.value,
            invertVertical: invertV.checked, invertHorizontal: invertH.checked,
            pages: pages.checked, verticalToHorizontal: horizontal.checked,
            cursorX: scaleX.box.value, cursorY: scaleY.box.value, invertX: invertX.checked, invertY: invertY.checked,
            axis: axis.currentIndex, temporarySpeed: speed.box.value, scrollPixels: pixels.box.value
        }
    }

    function assign(id) {
        if (!app.saveMotion(values()))
            return
        app.targetId = id
        close()
    }

    function axisCaption(row) {
        if (row === 1)
            return tr("Только по X · горизонтально", "X only · horizontal")
        if (row === 2)
            return tr("Только по Y · вертикально", "Y only · vertical")
        return tr("Движение по обеим осям", "Move on both axes")
    }

    function showWheel() { tab = 0 }
    function showCursor() { tab = 1 }

    onTabChanged: body.contentItem.contentY = 0
    onAboutToShow: {
        dialog.app.rearrangePopup(dialog.contentItem)
        load(app.motion)
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

    component TabChoice: Button {
        id: choice
        required property int page
        readonly property bool selected: dialog.tab === page
        implicitHeight: 36
        leftPadding: Theme.space16
        rightPadding: Theme.space16
        Accessible.name: text
        contentItem: Text {
            text: choice.text
            textFormat: Text.PlainText
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontBody
            color: choice.selected ? (dialog.theme.dark ? Theme.goldText : Theme.white) : dialog.theme.ink
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: Theme.controlRadius
            color: choice.selected ? dialog.theme.accent : dialog.theme.canvas
            border.color: dialog.theme.accent
            border.width: choice.activeFocus ? Theme.focusWidth : 0
        }
        onClicked: dialog.tab = page
    }

    // A caption and its number field; `box` is the field.
    component Percent: RowLayout {
        id: percent
        required property string caption
        required property string boxName
        required property string accessibleName
        required property int from
        required property int to
        required property int step
        required property int initial
        readonly property alias box: spin
        spacing: Theme.space8
        Txt {
            theme: dialog.theme
            Layout.preferredWidth: 220
            text: percent.caption
        }
        SpinBox {
            id: spin
            objectName: percent.boxName
            // The Basic style draws the field's frame and its step buttons in this colour.
            palette.button: dialog.theme.controlLine
            editable: true
            from: percent.from
            to: percent.to
            stepSize: percent.step
            value: percent.initial
            // Plain digits: no group separators to type around.
            textFromValue: (number) => String(number)
            valueFromText: (text) => parseInt(text, 10)
            Accessible.name: percent.accessibleName
        }
    }

    component Note: Hint {
        theme: dialog.theme
        Layout.fillWidth: true
    }

    component Heading: Txt {
        theme: dialog.theme
        Layout.fillWidth: true
        font.bold: true
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.space8

        Hint {
            objectName: "rawInputHint"
            theme: dialog.theme
            Layout.fillWidth: true
            text: dialog.tr("В играх, которые читают мышь напрямую, изменение скорости и оси курсора может не действовать",
                "In games that read mouse input directly, cursor speed and axis changes may have no effect")
        }

        Txt {
            theme: dialog.theme
            Layout.fillWidth: true
            text: dialog.app.motionInherited
                ? dialog.tr("Унаследованы настройки основного слоя. Сохранение создаст настройки для выбранного слоя.",
                    "Inherited from the base layer. Saving creates settings for the selected layer.")
                : dialog.tr("Собственные настройки выбранного слоя.", "Settings belong to the selected layer.")
        }

        Row {
            objectName: "tabs"
            spacing: Theme.space4
            TabChoice {
                objectName: "wheelTab"
                page: 0
                text: dialog.tr("Колесо", "Wheel")
            }
            TabChoice {
                objectName: "cursorTab"
                page: 1
                text: dialog.tr("Курсор и удержание", "Cursor and hold modes")
            }
        }

        ScrollView {
            id: body
            // Shown whenever the content is taller, so a cut line reads as "scroll for more".
            ScrollBar.vertical.policy: ScrollBar.AlwaysOn
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: availableWidth
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

            ColumnLayout {
                width: body.availableWidth
                spacing: Theme.space8

                // Wheel page.
                ColumnLayout {
                    Layout.fillWidth: true
                    visible: dialog.tab === 0
                    spacing: Theme.space8

                    Note {
                        text: dialog.tr("Отдельное назначение колеса, в том числе Ctrl/Shift/Alt/Win + колесо, имеет приоритет. Эти параметры применяются к остальной физической прокрутке один раз.",
                            "An explicit wheel mapping, including Ctrl/Shift/Alt/Win + wheel, takes priority. These settings are applied once to other physical wheel events.")
                    }
                    Heading {
                        text: dialog.tr("Вертикальная прокрутка", "Vertical wheel")
                    }
                    Percent {
                        id: wheelV
                        caption: dialog.tr("Шаг, %", "Step, %")
                        boxName: "wheelV"
                        from: 10
                        to: 800
                        step: 10
                        initial: 100
                        accessibleName: dialog.tr("Шаг вертикального колеса, проценты", "Vertical wheel step, percent")
                    }
                    CheckBox {
                        id: invertV
                        objectName: "invertV"
                        text: dialog.tr("Инверсия", "Invert")
                    }
                    Heading {
                        text: dialog.tr("Горизонтальная прокрутка", "Horizontal wheel")
                    }
                    Percent {
                        id: wheelH
                        caption: dialog.tr("Шаг, %", "Step, %")
                        boxName: "wheelH"
                        from: 10
                        to: 800
                        step: 10
                        initial: 100
                        accessibleName: dialog.tr("Шаг горизонтального колеса, проценты", "Horizontal wheel step, percent")
                    }
                    CheckBox {
                        id: invertH
                        objectName: "invertH"
                        text: dialog.tr("Инверсия", "Invert")
                    }
                    Note {
                        text: dialog.tr("100% сохраняет величину прокрутки; 50% уменьшает её вдвое. Дробные остатки сохраняются. Реакция зависит от поддержки колеса приложением.",
                            "100% preserves wheel units; 50% halves them. Fractional remainders are retained. Applications decide how to respond to wheel input.")
                    }
                    CheckBox {
                        id: horizontal
                        objectName: "horizontal"
                        Layout.fillWidth: true
                        text: dialog.tr("Вертикальное колесо → горизонтальная прокрутка", "Vertical wheel → horizontal scroll")
                        onToggled: if (checked) pages.checked = false
                    }
                    CheckBox {
                        id: pages
                        objectName: "pages"
                        Layout.fillWidth: true
                        text: dialog.tr("Вертикальное колесо → Page Up / Page Down", "Vertical wheel → Page Up / Page Down")
                        onToggled: if (checked) horizontal.checked = false
                    }
                    Note {
                        text: dialog.tr("Режим страниц отправляет Page Up/Down в активное приложение после накопления полного шага. Он не перенаправляет клавиши в окно под курсором. Удерживаемые модификаторы сохраняются.",
                            "Page mode sends Page Up/Down to the active application after accumulating a whole step. It does not redirect keys to the window under the cursor. Held modifiers remain active.")
                    }
                }

                // Cursor page.
                ColumnLayout {
                    Layout.fillWidth: true
                    visible: dialog.tab === 1
                    spacing: Theme.space8

                    Note {
                        text: dialog.tr("Изменяет доступное движение обычного курсора Windows. Общие настройки системы не меняются; пауза сразу возвращает обычную обработку. DPI сенсора и движение камеры с Raw Input не настраиваются.",
                            "Transforms available Windows cursor movement. System-wide settings are unchanged; pause restores ordinary processing. Sensor DPI and Raw Input camera movement are outside this mode.")
                    }
                    Percent {
                        id: scaleX
                        caption: "X, %"
                        boxName: "scaleX"
                        from: 10
                        to: 400
                        step: 10
                        initial: 100
                        accessibleName: dialog.tr("Масштаб движения X", "X movement scale")
                    }
                    CheckBox {
                        id: invertX
                        objectName: "invertX"
                        text: dialog.tr("Инверсия X", "Invert X")
                    }
                    Percent {
                        id: scaleY
                        caption: "Y, %"
                        boxName: "scaleY"
                        from: 10
                        to: 400
                        step: 10
                        initial: 100
                        accessibleName: dialog.tr("Масштаб движения Y", "Y movement scale")
                    }
                    CheckBox {
                        id: invertY
                        objectName: "invertY"
                        text: dialog.tr("Инверсия Y", "Invert Y")
                    }
                    Pick {
                        id: axis
                        objectName: "axis"
                        theme: dialog.theme
                        Layout.fillWidth: true
                        // Row index = "axis"; the rows stay put when the language changes.
                        model: 3
                        displayText: dialog.axisCaption(currentIndex)
                        Accessible.name: dialog.tr("Ограничение движения по оси", "Movement axis restriction")

                        delegate: ItemDelegate {
                            id: axisRow
                            required property int index
                            width: axis.width
                            highlighted: axis.highlightedIndex === index
                            contentItem: Text {
                                text: dialog.axisCaption(axisRow.index)
                                textFormat: Text.PlainText
                                font.family: Theme.fontFamily
                                font.pixelSize: Theme.fontBody
                                color: dialog.theme.ink
                                elide: Text.ElideRight
                            }
                            background: Rectangle {
                                color: axisRow.highlighted ? dialog.theme.canvas : dialog.theme.paper
                            }
                        }
                    }
                    Note {
                        text: dialog.tr("Дельты уже обработаны Windows. У края экрана, при ограничении курсора приложением или пропуске событий недоступное движение восстановить нельзя. Сглаживание не применяется.",
                            "These deltas have already been processed by Windows. Unavailable movement at screen edges, application cursor limits or missing events cannot be reconstructed. No smoothing is applied.")
                    }
                    Heading {
                        text: dialog.tr("Временные режимы при удержании", "Temporary modes while held")
                    }
                    Percent {
                        id: speed
                        caption: dialog.tr("Временная скорость, %", "Temporary speed, %")
                        boxName: "speed"
                        from: 10
                        to: 400
                        step: 5
                        initial: 25
                        accessibleName: dialog.tr("Временная скорость курсора", "Temporary cursor speed")
                    }
                    Percent {
                        id: pixels
                        caption: dialog.tr("Пикселей на шаг прокрутки", "Pixels per scroll step")
                        boxName: "pixels"
                        from: 1
                        to: 500
                        step: 1
                        initial: 40
                        accessibleName: dialog.tr("Чувствительность движения в прокрутку", "Movement-to-scroll sensitivity")
                    }
                    Note {
                        text: dialog.tr("Назначьте режим кнопке в каталоге действий. Пока она удерживается, действует режим; отпускание отменяет его. Во время движения → прокрутка курсор остаётся на месте.",
                            "Assign a mode to a button in the action catalog. Holding activates it; release cancels it. Movement-to-scroll keeps the cursor in place.")
                    }
                    Flow {
                        Layout.fillWidth: true
                        spacing: Theme.space8
                        Repeater {
                            model: [["pointer:scroll", "Назначить: прокрутка", "Assign: scrolling"],
                                ["pointer:speed", "Назначить: скорость", "Assign: speed"],
                                ["pointer:axis-x", "Назначить: только X", "Assign: X only"],
                                ["pointer:axis-y", "Назначить: только Y", "Assign: Y only"]]
                            delegate: Act {
                                required property var modelData
                                theme: dialog.theme
                                objectName: "assign_" + modelData[0]
                                text: dialog.tr(modelData[1], modelData[2])
                                enabled: dialog.app.sourceId.indexOf("wheel_") !== 0
                                onClicked: dialog.assign(modelData[0])
                            }
                        }
                    }
                    Note {
                        text: dialog.tr("Сохраните правило: включённые назначения обновятся сразу, на паузе включите их вручную. При первом изменении постоянного движения курсора подтвердите пробный режим за 15 секунд.",
                            "Save the mapping: active mappings update immediately; enable them manually when paused. When changing persistent cursor movement, confirm the trial within 15 seconds.")
                    }
                }
            }
        }

        Txt {
            theme: dialog.theme
            Layout.fillWidth: true
            visible: dialog.app.notice.length > 0
            text: dialog.app.notice
            color: dialog.theme.accent
            maximumLineCount: 2
            elide: Text.ElideRight
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.space8
            Act {
                objectName: "inheritMotion"
                theme: dialog.theme
                Layout.minimumWidth: implicitWidth
                text: dialog.tr("Наследовать", "Inherit")
                onClicked: if (dialog.app.saveMotion({}, true)) dialog.close()
            }
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
                objectName: "saveMotion"
                theme: dialog.theme
                Layout.minimumWidth: implicitWidth
                primary: true
                text: dialog.tr("Сохранить", "Save")
                onClicked: if (dialog.app.saveMotion(dialog.values())) dialog.close()
            }
        }
    }
}
