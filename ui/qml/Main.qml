import QtQuick
import QtQuick.Controls
import QtQuick.Window
import "dialogs"

// The settings window: theme colours, page switching, the shared dialogs, the keyboard shortcuts
// and the functions that pages and the check modes call through the root object.
ApplicationWindow {
    id: w

    width: Math.min(1380, Screen.desktopAvailableWidth)
    height: Math.min(960, Screen.desktopAvailableHeight)
    minimumWidth: 1000
    minimumHeight: 680
    visible: true
    title: brand.displayName + " · " + brand.version
    font.family: Theme.fontFamily
    font.pixelSize: Theme.font14
    color: canvas

    // The two context properties of the entry point, reached once here.
    // qmllint disable unqualified
    readonly property var app: controller
    readonly property var brand: typeof branding !== "undefined" ? branding : ({ displayName: "Vorna Input Trellan", version: "" })
    // qmllint enable unqualified

    readonly property int pageMouse: 0
    readonly property int pageKeyboard: 1
    readonly property int pageProfiles: 2
    readonly property int pageMacros: 3
    readonly property int pageDiagnostics: 4
    readonly property int pageSettings: 5
    property int page: pageMouse
    property bool advancedMapping: false
    property bool demoInput: false
    property int bindingRevision: 0
    property int editingStep: -1
    property var runningApps: []
    readonly property var liveState: w.app.live
    readonly property bool compact: height < 680
    readonly property bool compactNavigation: height < 820

    readonly property bool highContrast: w.app.theme === "contrast"
        || (w.app.theme === "system" && w.app.windowsHighContrast)
    readonly property bool dark: highContrast || w.app.theme === "dark"
        || (w.app.theme === "system" && w.app.systemDark)

    readonly property color paper: paletteColor(Theme.black, Theme.darkPaper, Theme.white)
    readonly property color canvas: paletteColor(Theme.black, Theme.darkCanvas, Theme.lightCanvas)
    readonly property color ink: paletteColor(Theme.white, Theme.darkInk, Theme.lightInk)
    readonly property color muted: paletteColor(Theme.white, Theme.darkMuted, Theme.lightMuted)
    readonly property color line: paletteColor(Theme.white, Theme.darkLine, Theme.lightLine)
    readonly property color accent: paletteColor(Theme.contrastAccent, Theme.gold, Theme.lightAccent)
    readonly property color accentFill: paletteColor(Theme.contrastAccent, Theme.gold, Theme.gold)
    // An alias: a declared property whose name is "on" and the name of another property
    // ("accent") would read its initial binding as a handler of that property's changes, so the
    // colour never arrived and everything drawn on the accent fell back to black.
    readonly property alias onAccent: colourOnAccent.value
    readonly property color controlLine: paletteColor(Theme.white, Theme.controlOutline, Theme.controlOutline)
    readonly property color surfaceRaised: paletteColor(Theme.black, Theme.darkSurfaceRaised, Theme.lightSurfaceRaised)
    readonly property color success: paletteColor(Theme.white, Theme.darkSuccess, Theme.lightSuccess)
    readonly property color warning: paletteColor(Theme.contrastAccent, Theme.darkWarning, Theme.lightWarning)
    readonly property color danger: paletteColor(Theme.white, Theme.darkDanger, Theme.lightDanger)

    readonly property int animationSettingsPollMilliseconds: 750
    property bool animationsEnabled: w.app.animationsEnabled
    readonly property int animationDuration: animationsEnabled ? Theme.animationMilliseconds : 0

    readonly property alias windowHeaderObject: header
    readonly property alias toastStackObject: toasts
    property string lastPresentedNotice: ""
    readonly property var mouse: w.app.selectedModel ? w.app.selectedModel : ({})
    readonly property var profile: w.app.profiles[w.app.profileIndex] !== undefined
        ? w.app.profiles[w.app.profileIndex] : ({})
    readonly property bool mapping: page === pageMouse || page === pageKeyboard

    // Handles of the pages' fields; an empty filter stands in while no mapping workspace exists.
    readonly property var profileName: workspace.profilesPageObject.profileNameObject
    readonly property var appPath: workspace.profilesPageObject.appPathObject
    readonly property var priority: workspace.profilesPageObject.priorityObject
    readonly property var advancedContext: workspace.profilesPageObject.advancedContextObject
    readonly property var exportScope: workspace.profilesPageObject.exportScopeObject
    readonly property var stepType: workspace.macrosPageObject.stepTypeObject
    readonly property var stepInput: workspace.macrosPageObject.stepInputObject
    readonly property var stepTime: workspace.macrosPageObject.stepTimeObject
    readonly property var moveX: workspace.macrosPageObject.moveXObject
    readonly property var moveY: workspace.macrosPageObject.moveYObject
    readonly property var recordAction: workspace.macrosPageObject.recordActionObject
    readonly property var macroViewport: workspace.macrosPageObject.macroViewportObject
    readonly property var macroNameEdit: workspace.macrosPageObject.macroNameEditObject
    readonly property var macroRepeats: workspace.macrosPageObject.macroRepeatsObject
    readonly property var search: workspace.searchObject ? workspace.searchObject : noFilter
    readonly property var categoryPick: workspace.categoryPickObject ? workspace.categoryPickObject : noFilter

    readonly property alias shortcutRecorderObject: shortcutRecorder
    readonly property alias chordDialogObject: chordDialog
    readonly property alias triggerEditorObject: triggerEditor
    readonly property alias motionEditorObject: motionEditor
    readonly property alias actionEditorObject: actionEditor
    readonly property alias mouseCapabilitiesObject: mouseCapabilities
    readonly property alias runningPickerObject: runningPicker
    readonly property alias appFileObject: appFile
    readonly property alias exportFileObject: exportFile
    readonly property alias importFileObject: importFile

    palette.window: paper
    palette.base: paper
    palette.text: ink
    palette.windowText: ink
    palette.placeholderText: muted
    palette.button: canvas
    palette.buttonText: ink
    // The Basic style draws check boxes, switches and menus from these: a box outline and an
    // unchecked switch track that stand out, and highlighted or pressed entries on a raised
    // surface rather than on white.
    palette.mid: controlLine
    palette.midlight: controlLine
    palette.light: surfaceRaised
    palette.highlight: Theme.gold
    palette.highlightedText: Theme.goldText

    QtObject {
        id: colourOnAccent
        readonly property color value: w.paletteColor(Theme.goldText, Theme.goldText, Theme.goldText)
    }

    QtObject {
        id: noFilter
        readonly property string text: ""
        readonly property string currentValue: "all"
    }

    function paletteColor(contrastValue, darkValue, lightValue) {
        return highContrast ? contrastValue : (dark ? darkValue : lightValue)
    }

    function tr(ru, en) {
        return w.app.language === "en" ? en : ru
    }

    // Every caption the apply command can show, so the header can reserve the widest.
    function applyCaptions() {
        return [tr("Применение…", "Applying…"), tr("Применить правки", "Apply edits"), tr("Пауза", "Pause"),
            tr("Включить", "Enable")]
    }

    function applyCaption() {
        var captions = applyCaptions()
        if (w.app.applying)
            return captions[0]
        if ((w.app.active || w.app.armed) && w.app.dirty)
            return captions[1]
        if (w.app.active || w.app.armed)
            return captions[2]
        return captions[3]
    }

    readonly property var successNotices: ["Сохранено и применено", "Saved and applied", "Отчёт для поддержки скопирован",
        "Support report copied", "Кнопка на схеме привязана.", "Button marker bound."]
    readonly property var successPrefixes: ["Действие сохранено.", "Action saved.", "Макрос сохранён.", "Macro saved.",
        "Настройки колеса / курсора сохранены.", "Wheel / cursor settings saved.", "Экспорт сохранён.",
        "Экспорт сохранён вместе", "Scoped export saved", "Exported.", "Боковые метки поменяны", "Side markers swapped.",
        "Восстановлено. ", "Restored. "]

    function noticeIsSuccess(message) {
        if (successNotices.indexOf(message) >= 0)
            return true
        for (var i = 0; i < successPrefixes.length; ++i) {
            if (message.indexOf(successPrefixes[i]) === 0)
                return true
        }
        return false
    }

    function presentControllerNotice() {
        var message = w.app.notice
        if (message === lastPresentedNotice)
            return
        lastPresentedNotice = message
        if (message.length > 0)
            toasts.pushNotice(message, !noticeIsSuccess(message))
    }

    function describe(id) {
        // Named so the binding re-evaluates when the language or the option tables change.
        var language = w.app.language
        var options = w.app.outputOptions
        return w.app.describeInput(id)
    }

    // A macro step's value, named again when the language changes.
    function stepLabel(type, input) {
        var language = w.app.language
        var options = w.app.outputOptions
        return w.app.macroStepLabel(type, input)
    }

    function indexOf(list, id) {
        if (!list)
            return -1
        for (var i = 0; i < list.length; ++i) {
            if (list[i] && list[i].id === id)
                return i
        }
        return -1
    }

    function openPage(pageIndex) {
        w.app.stopRecording()
        page = pageIndex
    }

    function keepWorkingAndClose() {
        w.app.stopRecording()
        w.app.setLivePage(false)
        close()
    }

    function syncLivePage() {
        w.app.setLivePage(visible && visibility !== Window.Minimized
            && (page === pageMouse || page === pageKeyboard || page === pageDiagnostics))
    }

    function outputList(query) {
        var category = categoryPick && categoryPick.currentValue !== undefined ? categoryPick.currentValue : "all"
        var needle = (query || "").toLowerCase()
        var result = []
        var options = w.app.outputOptions
        for (var i = 0; i < options.length; ++i) {
            var option = options[i]
            if (category === "favorites" && option.favorite !== true)
                continue
            if (category !== "all" && category !== "favorites" && option.category !== category)
                continue
            var haystack = (option.label + " " + option.id + " " + (option.keywords || "")).toLowerCase()
            if (needle.length === 0 || haystack.indexOf(needle) >= 0)
                result.push(option)
        }
        return result
    }

    function outputDescription() {
        var options = w.app.outputOptions
        var at = indexOf(options, w.app.targetId)
        return at >= 0 && options[at].description !== undefined ? options[at].description : ""
    }

    function targetFavorite() {
        var options = w.app.outputOptions
        return w.app.favorite(w.app.targetId)
    }

    function inputList() {
        var options = w.app.inputOptions
        var result = []
        for (var i = 0; i < options.length; ++i) {
            var id = options[i].id
            if (page === pageKeyboard ? id.indexOf("key_") === 0
                    : (id.indexOf("mouse_") === 0 || id.indexOf("wheel_") === 0 || id === w.app.sourceId))
                result.push(options[i])
        }
        return result
    }

    function filteredRules(query) {
        var needle = (query || "").trim().toLowerCase()
        var rules = w.app.rules
        if (needle.length === 0)
            return rules
        var result = []
        for (var i = 0; i < rules.length; ++i) {
            var rule = rules[i]
            var haystack = [rule.name, rule.sourceLabel, rule.targetLabel].join(" ").toLowerCase()
            if (haystack.indexOf(needle) >= 0)
                result.push(rule)
        }
        return result
    }

    function keyboardList() {
        var options = w.app.inputOptions
        var result = []
        for (var i = 0; i < options.length; ++i) {
            if (options[i].id.indexOf("key_") === 0)
                result.push(options[i])
        }
        return result
    }

    function modifierList() {
        var names = [[2, "Ctrl"], [1, "Shift"], [4, "Alt"], [8, "Win"]]
        var result = []
        for (var mask = 0; mask < 16; ++mask) {
            var parts = []
            for (var i = 0; i < names.length; ++i) {
                if (mask & names[i][0])
                    parts.push(names[i][1])
            }
            result.push({ id: String(mask), label: mask === 0 ? tr("Без модификатора", "No modifier") : parts.join(" + ") + " +" })
        }
        return result
    }

    function optionsStartingWith(prefix) {
        var options = w.app.outputOptions
        var result = []
        for (var i = 0; i < options.length; ++i) {
            if (options[i].id.indexOf(prefix) === 0)
                result.push(options[i])
        }
        return result
    }

    function macroInputs() {
        var type = stepType ? stepType.currentValue : ""
        if (type === "command")
            return optionsStartingWith("action:")
        if (type === "chord")
            return optionsStartingWith("chord:")
        if (type === "profile")
            return [{ id: "next", label: tr("Следующий профиль", "Next profile") },
                    { id: "previous", label: tr("Предыдущий профиль", "Previous profile") }]
        if (type === "layer") {
            var layers = w.app.layers
            var result = []
            for (var n = 1; n <= 10; ++n)
                result.push({ id: "layer:" + n, label: n + " · " + (layers[n - 1] ? layers[n - 1].name : "") })
            return result
        }
        var inputs = w.app.inputOptions
        if (type === "wheel") {
            var wheels = []
            for (var i = 0; i < inputs.length; ++i) {
                if (inputs[i].id.indexOf("wheel_") === 0)
                    wheels.push(inputs[i])
            }
            return wheels
        }
        return inputs
    }

    function macroValue() {
        var type = stepType ? stepType.currentValue : ""
        if (type === "move")
            return (moveX ? moveX.text : "0") + "," + (moveY ? moveY.text : "0")
        return stepInput && stepInput.currentValue !== undefined ? stepInput.currentValue : ""
    }

    function macroKind(type, input) {
        if (type === "wheel" || String(input).indexOf("wheel_") === 0)
            return tr("Прокрутка", "Scroll")
        var kinds = { wait: ["Пауза", "Wait"], tap: ["Короткое нажатие", "Tap"], down: ["Нажать", "Press"],
            up: ["Отпустить", "Release"], chord: ["Сочетание", "Chord"], move: ["Движение", "Movement"],
            command: ["Текст / команда", "Text / command"], layer: ["Слой", "Layer"], profile: ["Профиль", "Profile"] }
        return kinds[type] ? tr(kinds[type][0], kinds[type][1]) : type
    }

    function editMacroBlock(index, row) {
        if (stepType)
            stepType.currentIndex = stepType.indexOfValue(row.type)
        if (row.type === "move") {
            var parts = String(row.input).split(",")
            if (moveX)
                moveX.text = parts[0] || "0"
            if (moveY)
                moveY.text = parts[1] || "0"
        } else if (stepInput) {
            stepInput.currentIndex = stepInput.indexOfValue(row.input)
        }
        if (stepTime)
            stepTime.text = String(row.ms)
        editingStep = index
    }

    function recordControlBounds() {
        if (!recordAction || !macroViewport)
            return
        var topLeft = recordAction.mapToItem(null, 0, 0)
        var view = macroViewport.mapToItem(null, 0, 0)
        var left = Math.max(topLeft.x, view.x)
        var top = Math.max(topLeft.y, view.y)
        var right = Math.min(topLeft.x + recordAction.width, view.x + macroViewport.width)
        var bottom = Math.min(topLeft.y + recordAction.height, view.y + macroViewport.height)
        w.app.setRecordingControl(left, top, Math.max(0, right - left), Math.max(0, bottom - top))
    }

    function showCustomChord() { chordDialog.open() }
    function closeCustomChord() { chordDialog.close() }
    function showCustomAction() { actionEditor.open() }
    function closeCustomAction() { actionEditor.close() }

    function showProfileConditions() {
        page = pageProfiles
        if (advancedContext)
            advancedContext.checked = true
    }

    function showRunningPickerDemo() {
        runningApps = [{ id: "C:/Windows/notepad.exe", label: "notepad.exe · Example document" }]
        runningPicker.open()
    }

    function closeRunningPicker() { runningPicker.close() }

    function showMacroMovementDemo() {
        var steps = w.app.macroSteps
        if (steps.length > 2)
            editMacroBlock(2, steps[2])
        if (macroViewport && macroViewport.contentItem)
            macroViewport.contentItem.contentY = 180
    }

    function showMotionEditor() {
        motionEditor.showWheel()
        motionEditor.open()
    }

    function showCursorEditor() {
        motionEditor.showCursor()
        motionEditor.open()
    }
    function closeMotionEditor() { motionEditor.close() }

    function showTriggerEditor() {
        page = pageMouse
        triggerEditor.open()
    }

    function closeTriggerEditor() { triggerEditor.close() }

    function scrollBodyStart() {
        if (bodyViewport.contentItem)
            bodyViewport.contentItem.contentY = 0
    }

    function scrollBodyEnd() {
        if (bodyViewport.contentItem)
            bodyViewport.contentItem.contentY = Math.max(0, workspace.height - bodyViewport.availableHeight)
    }

    // Scrolls every scrollable ancestor so the focused item shows with a margin of 6.
    function revealFocus() {
        var item = activeFocusItem
        if (!item)
            return
        for (var ancestor = item.parent; ancestor; ancestor = ancestor.parent) {
            if (!(ancestor instanceof Flickable))
                continue
            var view = ancestor
            var at = item.mapToItem(view["contentItem"], 0, 0)
            if (at.y - 6 < view["contentY"])
                view["contentY"] = Math.max(0, at.y - 6)
            else if (at.y + item.height + 6 > view["contentY"] + view.height)
                view["contentY"] = Math.min(Math.max(0, view["contentHeight"] - view.height), at.y + item.height + 6 - view.height)
        }
    }

    // Later, once the newly focused item has its final place.
    onActiveFocusItemChanged: revealFocusLater.restart()

    Timer {
        id: revealFocusLater
        interval: 0
        onTriggered: w.revealFocus()
    }

    onPageChanged: {
        if (page === pageKeyboard && w.app.sourceId.indexOf("key_") !== 0)
            w.app.selectRule("key_20")
        else if (page === pageMouse && w.app.sourceId.indexOf("key_") === 0)
            w.app.selectRule("mouse_back")
        scrollBodyStart()
        syncLivePage()
    }
    onVisibleChanged: syncLivePage()
    onVisibilityChanged: syncLivePage()
    onClosing: w.app.setLivePage(false)

    Component.onCompleted: {
        // The controller loaded the rule before the window existed, so its first change was missed.
        if (w.app.keepOriginal)
            advancedMapping = true
        syncLivePage()
        presentControllerNotice()
    }

    Connections {
        target: w.app
        function onMappingChanged() {
            if (w.app.sourceModifiers !== 0 || (w.app.trigger.kind !== undefined && w.app.trigger.kind !== "")
                    || w.app.keepOriginal)
                w.advancedMapping = true
        }
        function onSelectionChanged() { w.bindingRevision += 1 }
        function onStateChanged() {
            if (w.app.calibrationCandidate.length > 0)
                bindingConfirm.open()
            else
                bindingConfirm.close()
        }
        function onMacroChanged() {
            w.editingStep = -1
            if (w.macroNameEdit)
                w.macroNameEdit.text = w.app.macroName
            if (w.macroRepeats)
                w.macroRepeats.value = w.app.macroRepeat
        }
        function onLibraryChanged() {
            w.presentControllerNotice()
            var selected = w.app.profiles[w.app.profileIndex]
            if (w.profileName)
                w.profileName.text = selected && selected.name !== undefined ? selected.name : ""
            if (w.appPath)
                w.appPath.text = selected && selected.application !== undefined ? selected.application : ""
            if (w.priority)
                w.priority.value = selected && selected.priority !== undefined ? selected.priority : 0
        }
    }

    Timer {
        interval: w.animationSettingsPollMilliseconds
        repeat: true
        running: w.visible
        onTriggered: w.animationsEnabled = w.app.animationsEnabled
    }

    Shortcut {
        sequence: "Ctrl+Z"
        onActivated: w.app.undo()
    }

    Shortcut {
        sequence: "Ctrl+Y"
        onActivated: w.app.redo()
    }

    Row {
        anchors.fill: parent

        NavigationRail {
            id: rail
            theme: w
            height: parent.height
        }

        Column {
            width: parent.width - rail.width
            height: parent.height

            WindowHeader {
                id: header
                app: w.app
                theme: w
                width: parent.width
                height: Theme.headerHeight
            }

            ScrollView {
                id: bodyViewport
                // Shown whenever the content is taller, so a cut line reads as "scroll for more".
                ScrollBar.vertical.policy: ScrollBar.AlwaysOn
                objectName: "bodyViewport"
                width: parent.width
                // The notices keep a band of their own below the page, so they never lie on a
                // control of it.
                height: parent.height - header.height - (toasts.height > 0 ? toasts.height + 16 : 0)
                padding: 16
                clip: true
                contentWidth: availableWidth

                Workspace {
                    id: workspace
                    windowRoot: w
                    viewport: bodyViewport
                }
            }
        }
    }

    ToastStack {
        id: toasts
        theme: w
        z: 20
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        // Half of the body's height at most: the page keeps the other half.
        maximumHeight: Math.max(0, (parent.height - Theme.headerHeight) / 2 - 16)
    }

    // Shared dialogs, each in its own file under dialogs/.
    ShortcutRecorder {
        id: shortcutRecorder
        objectName: "shortcutRecorder"
        anchors.centerIn: parent
        windowRoot: w
        app: w.app
        theme: w
    }

    MouseCapabilities {
        id: mouseCapabilities
        objectName: "mouseCapabilities"
        anchors.centerIn: parent
        windowRoot: w
    }

    ActionEditor {
        id: actionEditor
        objectName: "actionEditor"
        anchors.centerIn: parent
        windowRoot: w
        app: w.app
        theme: w
    }

    TriggerEditor {
        id: triggerEditor
        objectName: "triggerEditor"
        anchors.centerIn: parent
        windowRoot: w
    }

    MotionEditor {
        id: motionEditor
        objectName: "motionEditor"
        anchors.centerIn: parent
        windowRoot: w
    }

    BindingConfirm {
        id: bindingConfirm
        objectName: "bindingConfirm"
        anchors.centerIn: parent
        windowRoot: w
    }

    RunningPicker {
        id: runningPicker
        anchors.centerIn: parent
        windowRoot: w
        onPicked: (applicationPath) => {
            if (w.appPath)
                w.appPath.text = applicationPath
        }
    }

    ChordDialog {
        id: chordDialog
        anchors.centerIn: parent
        windowRoot: w
    }

    // The window's own pickers: they follow the theme and the language on every platform.
    FilePicker {
        id: exportFile
        objectName: "exportFile"
        windowRoot: w
        mode: "save"
        title: w.tr("Экспорт профилей", "Export profiles")
        nameFilters: ["*.json"]
        filterLabel: "JSON (*.json)"
        defaultSuffix: "json"
        suggestedName: "profiles.json"
        onPicked: (file) => {
            // Each export says how it went, even when it ends as the previous one did.
            w.lastPresentedNotice = ""
            w.app.exportProfiles(file, w.exportScope ? w.exportScope.currentValue : "collection")
        }
    }

    FilePicker {
        id: importFile
        objectName: "importFile"
        windowRoot: w
        mode: "open"
        title: w.tr("Импорт профилей", "Import profiles")
        nameFilters: ["*.json"]
        filterLabel: "JSON (*.json)"
        onPicked: (file) => {
            w.lastPresentedNotice = ""
            w.app.previewImport(file)
        }
    }

    FilePicker {
        id: appFile
        objectName: "appFile"
        windowRoot: w
        mode: "open"
        title: w.tr("Выберите приложение", "Select application")
        nameFilters: ["*.exe"]
        filterLabel: "Windows (*.exe)"
        onPicked: (file) => w.app.useApplicationFile(file)
    }
}
