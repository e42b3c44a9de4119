pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// The rule editor card beside the mouse and keyboard diagrams: the source, what it does, the
// rule's name and the advanced settings, with Save kept visible below the scrolling form.
Card {
    id: panel
    objectName: "actionEditorCard"
    required property var windowRoot
    readonly property var w: windowRoot
    readonly property var app: windowRoot.app
    readonly property alias searchObject: search
    readonly property alias categoryPickObject: categoryPick
    readonly property bool keyboardPage: w.page === w.pageKeyboard
    theme: windowRoot
    implicitHeight: Theme.space32 * 21

    function hasDiagramInput(inputId) {
        var revision = w.bindingRevision
        if (keyboardPage || String(inputId).indexOf("wheel_") === 0)
            return true
        var hotspots = app.selectedModel && app.selectedModel.hotspots ? app.selectedModel.hotspots : []
        for (var i = 0; i < hotspots.length; ++i) {
            if (app.hotspotInput(hotspots[i].id, hotspots[i].input || "") === inputId)
                return true
        }
        return false
    }

    // The inputs on the diagram first, then those missing from it; both stay selectable.
    function groupedInputOptions() {
        var rows = w.inputList().map(function(option) {
            var onDiagram = panel.hasDiagramInput(option.id)
            return { id: option.id, label: option.label, present: onDiagram, startsMissingGroup: false }
        })
        var missing = rows.filter(function(row) { return !row.present })
        if (missing.length > 0)
            missing[0].startsMissingGroup = true
        return rows.filter(function(row) { return row.present }).concat(missing)
    }

    readonly property var categoryCaptions: ({
        all: ["Все", "All"], favorites: ["Избранное", "Favorites"], editing: ["Буфер обмена", "Clipboard"],
        windows: ["Окна", "Windows"], media: ["Медиа", "Media"], mouse: ["Мышь", "Mouse"], keys: ["Клавиши", "Keys"],
        text: ["Текст", "Text"], applications: ["Программы", "Apps"] })

    function categoryCaption(category) {
        var caption = categoryCaptions[category]
        if (caption)
            return w.tr(caption[0], caption[1])
        var categories = app.actionCategories
        var at = w.indexOf(categories, category)
        return at >= 0 ? categories[at].label : category
    }

    function chooseCategory(index) {
        categoryPick.currentIndex = index
        categoryPick.activated(index)
    }

    function triggerCaption() {
        var kind = app.trigger.kind
        if (kind === "holdTap")
            return w.tr("Короткое / длинное…", "Short / long…")
        if (kind === "double")
            return w.tr("Одиночное / двойное…", "Single / double…")
        if (kind === "chord")
            return w.tr("Исходное сочетание…", "Source combination…")
        return w.tr("Нажатие: обычное…", "Press: ordinary…")
    }

    // Home, End and the arrows move through a list; `list` takes the new index.
    function steppedIndex(key, index, count) {
        if (key === Qt.Key_Home)
            return 0
        if (key === Qt.Key_End)
            return count - 1
        if (key === Qt.Key_Down || key === Qt.Key_Right)
            return Math.min(count - 1, index + 1)
        if (key === Qt.Key_Up || key === Qt.Key_Left)
            return Math.max(0, index - 1)
        return -1
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.space16
        spacing: Theme.space8

        Txt {
            theme: panel.w
            Layout.fillWidth: true
            text: panel.w.describe(panel.app.sourceId)
            font.pixelSize: Theme.fontBlock
            font.weight: Font.DemiBold
            maximumLineCount: 2
            elide: Text.ElideRight
        }

        ScrollView {
            id: viewport
            objectName: "mouseActionViewport"
            // Shown whenever the content is taller, so a cut line reads as "scroll for more".
            ScrollBar.vertical.policy: ScrollBar.AlwaysOn
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: availableWidth
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

            ColumnLayout {
                width: viewport.availableWidth
                spacing: Theme.space8

                Hint {
                    theme: panel.w
                    text: panel.keyboardPage ? panel.w.tr("Клавиша", "Key") : panel.w.tr("Кнопка", "Button")
                }

                Pick {
                    id: sourcePicker
                    objectName: "sourcePicker"
                    theme: panel.w
                    Layout.fillWidth: true
                    font.weight: Font.DemiBold
                    model: panel.groupedInputOptions()
                    currentIndex: panel.w.indexOf(model, panel.app.sourceId)
                    Accessible.name: panel.keyboardPage ? panel.w.tr("Выбрать клавишу", "Choose a key")
                        : panel.w.tr("Выбрать кнопку мыши", "Choose a mouse button")
                    onActivated: (index) => panel.app.selectRule(model[index].id)

                    delegate: ItemDelegate {
                        id: sourceRow
                        required property var modelData
                        required property int index
                        width: sourcePicker.width
                        highlighted: sourcePicker.highlightedIndex === index
                        contentItem: Column {
                            spacing: Theme.space2
                            Hint {
                                theme: panel.w
                                width: parent.width
                                visible: sourceRow.modelData.startsMissingGroup === true
                                text: panel.w.tr("Нет на этой мыши", "Not on this mouse")
                            }
                            Text {
                                width: parent.width
                                text: sourceRow.modelData.label
                                textFormat: Text.PlainText
                                font.family: Theme.fontFamily
                                font.pixelSize: Theme.fontBody
                                font.weight: sourceRow.index === sourcePicker.currentIndex ? Font.DemiBold : Font.Normal
                                color: sourceRow.modelData.present ? panel.w.ink : panel.w.muted
                                elide: Text.ElideRight
                            }
                        }
                        background: Rectangle {
                            color: sourceRow.highlighted ? panel.w.canvas : panel.w.paper
                        }
                    }
                }

                Act {
                    objectName: "captureAction"
                    theme: panel.w
                    Layout.fillWidth: true
                    enabled: panel.app.engineCompatible
                    text: panel.app.captureMode ? panel.w.tr("Ожидаю нажатие… Отмена", "Waiting… Cancel")
                        : panel.keyboardPage ? panel.w.tr("Нажать клавишу, чтобы выбрать", "Press a key to select")
                        : panel.w.tr("Нажать на мыши, чтобы выбрать", "Press a mouse button to select")
                    ToolTip.visible: hovered
                    ToolTip.text: enabled ? panel.w.tr("Ожидание до 10 секунд", "Waits for up to 10 seconds") : panel.app.engineIssue
                    onClicked: panel.app.captureMode = !panel.app.captureMode
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: Theme.space4

                    Hint {
                        theme: panel.w
                        Layout.fillWidth: true
                        text: panel.w.tr("Что делать", "What to do")
                    }

                    IconAct {
                        theme: panel.w
                        implicitWidth: 32
                        implicitHeight: 32
                        icon.source: "qrc:/assets/icons/info.svg"
                        text: panel.w.outputDescription().length > 0 ? panel.w.outputDescription()
                            : panel.w.tr("Описание действия", "Action description")
                    }

                    Act {
                        id: favoriteAction
                        objectName: "favoriteAction"
                        theme: panel.w
                        implicitWidth: 40
                        readonly property bool isFavorite: panel.w.targetFavorite()
                        readonly property string caption: isFavorite ? panel.w.tr("Убрать из избранного", "Remove favorite")
                            : panel.w.tr("В избранное", "Add favorite")
                        text: isFavorite ? "★" : "☆"
                        Accessible.name: caption
                        ToolTip.visible: hovered
                        ToolTip.text: caption
                        onClicked: panel.app.toggleFavorite(panel.app.targetId)
                    }
                }

                Edit {
                    id: search
                    objectName: "search"
                    theme: panel.w
                    Layout.fillWidth: true
                    placeholderText: panel.w.tr("Найти действие…", "Find an action…")
                    Accessible.name: panel.w.tr("Поиск действий", "Search actions")
                }

                Flow {
                    id: categoryPick
                    objectName: "categoryPick"
                    Layout.fillWidth: true
                    spacing: Theme.space4
                    activeFocusOnTab: true

                    readonly property var categories: panel.app.actionCategories
                    readonly property var primaryIds: ["all", "favorites", "editing", "windows", "media", "mouse", "keys",
                        "text", "applications"]
                    property int currentIndex: 0
                    readonly property int count: categories.length
                    readonly property string currentValue: currentIndex >= 0 && currentIndex < count
                        ? categories[currentIndex].id : "all"
                    signal activated(int index)

                    function valueAt(index) {
                        return index >= 0 && index < count ? categories[index].id : ""
                    }

                    Keys.onPressed: (event) => {
                        var next = panel.steppedIndex(event.key, currentIndex, count)
                        if (next < 0)
                            return
                        panel.chooseCategory(next)
                        event.accepted = true
                    }

                    Repeater {
                        model: categoryPick.categories
                        delegate: Button {
                            id: chip
                            required property var modelData
                            required property int index
                            readonly property bool current: categoryPick.currentIndex === index
                            visible: categoryPick.primaryIds.indexOf(modelData.id) >= 0
                            focusPolicy: Qt.NoFocus
                            implicitHeight: 32
                            leftPadding: Theme.space12
                            rightPadding: Theme.space12
                            text: panel.categoryCaption(modelData.id)
                            Accessible.name: text
                            contentItem: Text {
                                text: chip.text
                                textFormat: Text.PlainText
                                font.family: Theme.fontFamily
                                font.pixelSize: Theme.fontCaption
                                color: panel.w.ink
                                verticalAlignment: Text.AlignVCenter
                            }
                            background: Rectangle {
                                radius: Theme.controlRadius
                                color: chip.current || chip.hovered ? panel.w.surfaceRaised : panel.w.paper
                                border.color: chip.current ? panel.w.accent : panel.w.line
                                border.width: chip.current && categoryPick.activeFocus ? Theme.focusWidth : 1
                            }
                            onClicked: panel.chooseCategory(index)
                        }
                    }

                    Button {
                        id: moreChip
                        focusPolicy: Qt.NoFocus
                        implicitHeight: 32
                        leftPadding: Theme.space12
                        rightPadding: Theme.space12
                        readonly property bool current: categoryPick.primaryIds.indexOf(categoryPick.currentValue) < 0
                        text: panel.w.tr("Ещё ▾", "More ▾")
                        Accessible.name: text
                        contentItem: Text {
                            text: moreChip.text
                            textFormat: Text.PlainText
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontCaption
                            color: panel.w.ink
                            verticalAlignment: Text.AlignVCenter
                        }
                        background: Rectangle {
                            radius: Theme.controlRadius
                            color: moreChip.current || moreChip.hovered ? panel.w.surfaceRaised : panel.w.paper
                            border.color: moreChip.current ? panel.w.accent : panel.w.line
                        }
                        onClicked: moreMenu.popup(moreChip, 0, moreChip.height)

                        Menu {
                            id: moreMenu
                            Repeater {
                                model: categoryPick.categories
                                delegate: MenuItem {
                                    id: moreItem
                                    required property var modelData
                                    required property int index
                                    visible: categoryPick.primaryIds.indexOf(modelData.id) < 0
                                    height: visible ? implicitHeight : 0
                                    checkable: true
                                    checked: categoryPick.currentIndex === index
                                    text: modelData.label
                                    onTriggered: panel.chooseCategory(index)
                                }
                            }
                        }
                    }
                }

                ListView {
                    id: targetPicker
                    objectName: "targetPicker"
                    Layout.fillWidth: true
                    Layout.preferredHeight: Theme.space32 * 7
                    clip: true
                    activeFocusOnTab: true
                    keyNavigationEnabled: false
                    // Rows are made when shown, never in the background: a row half made when the window
                    // closes would be left behind.
                    cacheBuffer: 0
                    boundsBehavior: Flickable.StopAtBounds
                    model: panel.w.outputList(search.text)
                    currentIndex: panel.w.indexOf(model, panel.app.targetId)
                    readonly property string currentValue: valueAt(currentIndex)
                    signal activated(int index)
                    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

                    function valueAt(index) {
                        return model && index >= 0 && index < model.length ? model[index].id : ""
                    }

                    onActivated: (index) => {
                        if (index >= 0 && index < count)
                            panel.app.targetId = model[index].id
                    }

                    Keys.onPressed: (event) => {
                        var next = panel.steppedIndex(event.key, currentIndex, count)
                        if (next < 0 || event.key === Qt.Key_Left || event.key === Qt.Key_Right)
                            return
                        activated(next)
                        positionViewAtIndex(next, ListView.Contain)
                        event.accepted = true
                    }

                    delegate: ItemDelegate {
                        id: targetRow
                        required property var modelData
                        required property int index
                        readonly property bool chosen: modelData.id === panel.app.targetId
                        width: targetPicker.width
                        implicitHeight: Math.max(40, contentItem.implicitHeight + topPadding + bottomPadding)
                        focusPolicy: Qt.NoFocus
                        contentItem: Text {
                            text: targetRow.modelData.label
                            textFormat: Text.PlainText
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontBody
                            font.weight: targetRow.chosen ? Font.DemiBold : Font.Normal
                            color: panel.w.ink
                            elide: Text.ElideRight
                            verticalAlignment: Text.AlignVCenter
                        }
                        background: Rectangle {
                            radius: Theme.controlRadius
                            color: targetRow.chosen ? panel.w.surfaceRaised : targetRow.hovered ? panel.w.canvas : panel.w.paper
                            border.color: panel.w.accent
                            border.width: targetRow.chosen && targetPicker.activeFocus ? Theme.focusWidth : 0
                        }
                        onClicked: targetPicker.activated(index)
                    }
                }

                Hint {
                    theme: panel.w
                    text: panel.w.tr("Название (необязательно)", "Name (optional)")
                }

                Edit {
                    objectName: "ruleNameEditor"
                    theme: panel.w
                    Layout.fillWidth: true
                    text: panel.app.ruleName
                    maximumLength: 80
                    placeholderText: panel.w.tr("Например: Копировать выделенное", "For example: Copy selection")
                    Accessible.name: panel.w.tr("Название правила", "Mapping name")
                    onTextEdited: panel.app.ruleName = text
                }

                Act {
                    objectName: "advancedMapping"
                    theme: panel.w
                    Layout.fillWidth: true
                    text: panel.w.advancedMapping ? panel.w.tr("Дополнительно ▴", "Advanced ▴")
                        : panel.w.tr("Дополнительно ▾", "Advanced ▾")
                    onClicked: panel.w.advancedMapping = !panel.w.advancedMapping
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    visible: panel.w.advancedMapping
                    spacing: Theme.space8

                    Pick {
                        objectName: "modifierPicker"
                        theme: panel.w
                        Layout.fillWidth: true
                        model: panel.w.modifierList()
                        currentIndex: panel.w.indexOf(model, String(panel.app.sourceModifiers))
                        Accessible.name: panel.w.tr("Модификаторы источника", "Source modifiers")
                        onActivated: (index) => panel.app.sourceModifiers = parseInt(model[index].id, 10)
                    }

                    Act {
                        theme: panel.w
                        Layout.fillWidth: true
                        text: panel.triggerCaption()
                        enabled: panel.app.sourceId.indexOf("wheel_") !== 0
                        onClicked: panel.w.triggerEditorObject.open()
                    }

                    CheckBox {
                        id: keepOriginal
                        Layout.fillWidth: true
                        readonly property string kind: panel.app.trigger.kind !== undefined ? panel.app.trigger.kind : ""
                        enabled: kind === "" || kind === "chord"
                        checked: panel.app.keepOriginal
                        text: panel.w.tr("Сохранить исходное действие", "Also keep the original action")
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontBody
                        ToolTip.visible: hovered
                        ToolTip.text: panel.w.tr("Windows получит исходное и новое действие",
                            "Windows receives both the original and the new action")
                        onToggled: panel.app.keepOriginal = checked
                    }

                    Act {
                        theme: panel.w
                        Layout.fillWidth: true
                        text: panel.w.tr("Своё сочетание клавиш…", "Custom key combination…")
                        onClicked: panel.w.chordDialogObject.open()
                    }

                    Act {
                        theme: panel.w
                        Layout.fillWidth: true
                        text: panel.w.tr("Текст, приложение, команда…", "Text, app, command…")
                        onClicked: panel.w.actionEditorObject.open()
                    }

                    Act {
                        theme: panel.w
                        Layout.fillWidth: true
                        visible: !panel.keyboardPage
                        text: panel.w.tr("Колесо и курсор Windows…", "Windows wheel and cursor…")
                        onClicked: panel.w.motionEditorObject.open()
                    }

                    Act {
                        objectName: "mouseCapabilitiesAction"
                        theme: panel.w
                        Layout.fillWidth: true
                        visible: !panel.keyboardPage
                        text: panel.w.tr("Что доступно моей мыши…", "What my mouse can do…")
                        onClicked: panel.w.mouseCapabilitiesObject.open()
                    }
                }
            }
        }

        Act {
            objectName: "saveRuleAction"
            theme: panel.w
            primary: true
            Layout.fillWidth: true
            text: panel.w.tr("Сохранить", "Save")
            onClicked: {
                if (panel.app.saveRule() && panel.app.notice.length === 0)
                    panel.w.toastStackObject.pushNotice(panel.w.tr("Правило сохранено", "Mapping saved"), false)
            }
        }
    }
}
