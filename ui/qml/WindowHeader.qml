import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The fixed header: page title, profile and layer pickers, automatic switch, undo and redo, the
// agent's status, the trial confirmation, the main apply command and the quick theme menu.
Rectangle {
    id: header
    required property var app
    required property var theme

    readonly property bool compact: theme.width < 1280
    readonly property bool trialRunning: app.trialSeconds !== 0
    readonly property var pageTitles: [["Мышь", "Mouse"], ["Клавиатура", "Keyboard"], ["Профили", "Profiles"],
        ["Макросы", "Macros"], ["Диагностика", "Diagnostics"], ["Настройки", "Settings"]]

    function tr(ru, en) { return header.theme.tr(ru, en) }

    // First match wins: connection, compatibility, elevation, then what the agent is doing.
    function statusCaption() {
        if (!app.connected)
            return compact ? tr("Нет связи", "Disconnected") : tr("Нет связи с движком", "Engine disconnected")
        if (!app.engineCompatible)
            return tr("Старый движок", "Older engine")
        if (app.foregroundElevated)
            return compact ? tr("Окно администратора", "Administrator window")
                           : tr("Окно администратора — назначения не действуют", "Administrator window — mappings blocked")
        if (app.applying)
            return tr("Применение…", "Applying…")
        if (app.active)
            return tr("Работает", "Working")
        if (app.armed)
            return tr("Набор включён", "Enabled")
        return tr("На паузе", "Paused")
    }

    function statusColor() {
        if (!app.connected || !app.engineCompatible)
            return theme.danger
        if (app.foregroundElevated || !app.active)
            return theme.warning
        return theme.success
    }

    function statusExplanation() {
        var lines = []
        if (!app.engineCompatible)
            lines.push(app.engineIssue)
        if (app.foregroundElevated)
            lines.push(tr("Окно администратора — назначения в нём не действуют", "Administrator window — mappings do not work there"))
        lines.push(app.status)
        lines.push(tr("Ctrl+Alt+F12 — аварийная остановка", "Ctrl+Alt+F12 — emergency stop"))
        return lines.join("\n")
    }

    readonly property bool pauses: (app.active || app.armed) && !app.dirty

    implicitHeight: Theme.headerHeight
    color: theme.paper

    RowLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: header.compact ? 2 : 4

        Label {
            objectName: "pageTitle"
            text: header.tr(header.pageTitles[header.theme.page][0], header.pageTitles[header.theme.page][1])
            textFormat: Text.PlainText
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontPage
            font.weight: Font.DemiBold
            color: header.theme.ink
            maximumLineCount: 1
            Layout.minimumWidth: implicitWidth
        }

        Item { Layout.fillWidth: true }

        Pick {
            id: profilePicker
            objectName: "profilePicker"
            theme: header.theme
            model: header.app.profiles
            textRole: "name"
            valueRole: "id"
            currentIndex: header.app.profileIndex
            displayText: header.compact ? header.tr("Профиль", "Profile") : currentText
            Layout.preferredWidth: header.compact ? 108 : 164
            Layout.minimumWidth: header.compact ? 108 : 112
            Accessible.name: header.tr("Профиль", "Profile")
            ToolTip.visible: hovered
            ToolTip.text: Accessible.name + ": " + currentText
            onActivated: function(index) { header.app.profileIndex = index }
        }

        Pick {
            id: layerPicker
            objectName: "layerPicker"
            theme: header.theme
            model: header.app.layers
            textRole: "name"
            valueRole: "name"
            currentIndex: header.app.layerIndex
            displayText: header.compact ? header.tr("Слой", "Layer") : currentText
            Layout.preferredWidth: header.compact ? 80 : 124
            Layout.minimumWidth: 80
            Accessible.name: header.tr("Слой", "Layer")
            ToolTip.visible: hovered
            ToolTip.text: Accessible.name + ": " + currentText
            onActivated: function(index) { header.app.layerIndex = index }
        }

        CheckBox {
            id: automaticPick
            objectName: "automaticPick"
            // Short when compact, never empty: a bare box says nothing.
            text: header.compact ? header.tr("Авто", "Auto") : header.tr("По приложению", "By application")
            ToolTip.visible: hovered && header.compact
            ToolTip.text: Accessible.name
            checked: header.app.automatic
            visible: !(header.compact && header.trialRunning)
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontBody
            Accessible.name: header.tr("По приложению", "By application")
            palette.windowText: header.theme.ink
            onToggled: header.app.automatic = checked
        }

        IconAct {
            objectName: "undoAction"
            theme: header.theme
            implicitWidth: 32
            text: header.tr("Отменить · Ctrl+Z", "Undo · Ctrl+Z")
            icon.source: "qrc:/assets/icons/undo.svg"
            enabled: header.app.canUndo
            visible: !(header.compact && header.trialRunning)
            onClicked: header.app.undo()
        }

        IconAct {
            objectName: "redoAction"
            theme: header.theme
            implicitWidth: 32
            text: header.tr("Повторить · Ctrl+Y", "Redo · Ctrl+Y")
            icon.source: "qrc:/assets/icons/redo.svg"
            enabled: header.app.canRedo
            visible: !(header.compact && header.trialRunning)
            onClicked: header.app.redo()
        }

        Rectangle {
            id: statusPill
            Layout.preferredWidth: header.compact ? 126 : 208
            Layout.minimumWidth: header.compact ? 120 : 208
            Layout.preferredHeight: 40
            radius: Theme.controlRadius
            color: header.theme.surfaceRaised
            HoverHandler { id: statusHover }
            ToolTip.visible: statusHover.hovered
            ToolTip.text: header.statusExplanation()

            Row {
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 4
                spacing: 8
                Rectangle {
                    width: 8
                    height: 8
                    radius: 4
                    anchors.verticalCenter: parent.verticalCenter
                    color: header.statusColor()
                }
                Label {
                    objectName: "headerStatus"
                    width: parent.width - 8 - 8 - statusInformation.width - 8
                    anchors.verticalCenter: parent.verticalCenter
                    text: header.statusCaption()
                    textFormat: Text.PlainText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontCaption
                    color: header.theme.ink
                    // One word wider than the compact pill ("Disconnected") is set smaller
                    // rather than split in the middle of the word.
                    height: 36
                    verticalAlignment: Text.AlignVCenter
                    wrapMode: Text.WordWrap
                    maximumLineCount: 2
                    fontSizeMode: Text.Fit
                    minimumPixelSize: 9
                    Accessible.name: header.statusExplanation()
                }
                IconAct {
                    id: statusInformation
                    objectName: "statusInformation"
                    theme: header.theme
                    implicitWidth: 28
                    implicitHeight: 28
                    anchors.verticalCenter: parent.verticalCenter
                    icon.source: "qrc:/assets/icons/info.svg"
                    text: header.statusExplanation()
                    onClicked: statusPopup.open()
                }
            }

            Popup {
                id: statusPopup
                y: statusPill.height + 4
                width: Math.min(420, header.theme.width - 32)
                padding: 16
                closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
                background: Rectangle {
                    color: header.theme.paper
                    radius: Theme.cardRadius
                    border.color: header.theme.line
                }
                contentItem: Txt {
                    theme: header.theme
                    text: header.statusExplanation()
                }
            }
        }

        Act {
            objectName: "confirmTrialAction"
            theme: header.theme
            primary: true
            visible: header.app.trialSeconds > 0
            text: header.tr("Подтвердить · ", "Confirm · ") + header.app.trialSeconds
            onClicked: header.app.confirmTrial()
        }

        Act {
            id: applyAction
            objectName: "applyAction"
            theme: header.theme
            primary: true
            // As wide as its widest caption, so a change of caption never moves the header.
            Layout.preferredWidth: {
                var captions = header.theme.applyCaptions()
                var widest = 0
                for (var i = 0; i < captions.length; ++i)
                    widest = Math.max(widest, applyMetrics.advanceWidth(captions[i]))
                return Math.ceil(widest) + leftPadding + rightPadding
            }
            FontMetrics {
                id: applyMetrics
                font: applyAction.font
            }
            text: header.theme.applyCaption()
            enabled: !header.app.applying && (header.pauses ? header.app.connected : header.app.engineCompatible)
            onClicked: header.pauses ? header.app.pause() : header.app.applyProfile()
        }

        IconAct {
            objectName: "quickThemeAction"
            theme: header.theme
            text: header.tr("Выбрать тему оформления", "Choose appearance theme")
            icon.source: "qrc:/assets/icons/theme.svg"
            onClicked: quickThemeMenu.popup(0, height)

            Menu {
                id: quickThemeMenu
                objectName: "quickThemeMenu"
                MenuItem {
                    objectName: "quickThemeDark"
                    text: header.tr("Тёмная", "Dark")
                    checkable: true
                    checked: header.app.theme === "dark"
                    onTriggered: header.app.theme = "dark"
                }
                MenuItem {
                    objectName: "quickThemeLight"
                    text: header.tr("Светлая", "Light")
                    checkable: true
                    checked: header.app.theme === "light"
                    onTriggered: header.app.theme = "light"
                }
                MenuItem {
                    objectName: "quickThemeSystem"
                    text: header.tr("Как в Windows", "Follow Windows")
                    checkable: true
                    checked: header.app.theme === "system"
                    onTriggered: header.app.theme = "system"
                }
                MenuItem {
                    objectName: "quickThemeContrast"
                    text: header.tr("Высокий контраст", "High contrast")
                    checkable: true
                    checked: header.app.theme === "contrast"
                    onTriggered: header.app.theme = "contrast"
                }
            }
        }
    }
}
