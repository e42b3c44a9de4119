import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../.."

// When a profile switches on by itself: its application (typed, chosen as a file or from the
// running programs), its priority, and an optional window condition. The fields show the stored
// profile and are refilled whenever the library changes.
Card {
    id: card
    objectName: "profileConditionsCard"
    required property var windowRoot
    readonly property var app: windowRoot.app
    readonly property var profile: windowRoot.profile
    readonly property var condition: profile && profile.condition !== undefined ? profile.condition : ({})
    readonly property bool globalProfile: app.profileIndex === 0
    readonly property int minimumProfilePriority: -1000
    readonly property int maximumProfilePriority: 1000
    readonly property alias appPathObject: appPath
    readonly property alias priorityObject: priority
    readonly property alias advancedContextObject: advancedContext
    readonly property var windowModes: [
        { id: "foreground", label: card.windowRoot.tr("Активное окно", "Foreground window") },
        { id: "underCursor", label: card.windowRoot.tr("Окно под курсором", "Window under cursor") }
    ]

    function tr(ru, en) { return card.windowRoot.tr(ru, en) }

    theme: windowRoot
    implicitHeight: column.implicitHeight + 32

    ColumnLayout {
        id: column
        x: 16
        y: 16
        width: card.width - 32
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Txt {
                Layout.fillWidth: true
                theme: card.windowRoot
                text: card.tr("Когда включать", "When to activate")
                font.bold: true
                font.pixelSize: Theme.fontBlock
            }

            InfoPopover {
                theme: card.windowRoot
                text: card.tr("Приоритет и выбор профиля", "Priority and profile matching")
                explanation: card.tr("При равном приоритете важнее полный путь, затем число условий окна, затем порядок в списке\n"
                    + "Для ручного выбора снимите «По приложению» в шапке\n"
                    + "Сохранение не включает назначения на паузе",
                    "Equal priorities prefer a full path, then more window conditions, then list order\n"
                    + "Clear Match application in the header to select a profile manually\n"
                    + "Saving does not enable paused mappings")
            }
        }

        Hint {
            Layout.fillWidth: true
            theme: card.windowRoot
            text: card.tr("Программа (.exe или путь)", "Application (.exe or path)")
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Edit {
                id: appPath
                objectName: "appPath"
                Layout.fillWidth: true
                theme: card.windowRoot
                enabled: !card.globalProfile
                placeholderText: "notepad.exe"
                text: card.profile && card.profile.application !== undefined ? card.profile.application : ""
                Accessible.name: card.tr("Программа для профиля", "Profile application")
            }

            Act {
                theme: card.windowRoot
                enabled: !card.globalProfile
                text: card.tr("Выбрать файл…", "Browse…")
                onClicked: card.windowRoot.appFileObject.open()
            }

            Act {
                objectName: "runningApplicationsAction"
                theme: card.windowRoot
                enabled: !card.globalProfile
                text: card.tr("Из запущенных…", "Running…")
                onClicked: {
                    card.windowRoot.runningApps = card.app.runningApplications()
                    card.windowRoot.runningPickerObject.open()
                }
            }
        }

        Hint {
            Layout.fillWidth: true
            theme: card.windowRoot
            text: card.tr("Приоритет", "Priority")
        }

        SpinBox {
            id: priority
            objectName: "priority"
            // The Basic style draws the field's frame and its step buttons in this colour.
            palette.button: card.windowRoot.controlLine
            editable: true
            from: card.minimumProfilePriority
            to: card.maximumProfilePriority
            value: card.profile && card.profile.priority !== undefined ? card.profile.priority : 0
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontBody
            Accessible.name: card.tr("Приоритет профиля", "Profile priority")
        }

        Act {
            id: advancedContext
            objectName: "advancedContext"
            theme: card.windowRoot
            checkable: true
            enabled: !card.globalProfile
            text: checked ? card.tr("Дополнительные условия окна ▴", "Window conditions ▴")
                          : card.tr("Дополнительные условия окна ▾", "Window conditions ▾")
        }

        ColumnLayout {
            objectName: "windowConditionBlock"
            Layout.fillWidth: true
            spacing: 8
            visible: advancedContext.checked && !card.globalProfile

            Hint {
                Layout.fillWidth: true
                theme: card.windowRoot
                text: card.tr("Какое окно проверять", "Window to match")
            }

            Pick {
                id: windowMode
                objectName: "windowMode"
                Layout.fillWidth: true
                theme: card.windowRoot
                model: card.windowModes
                currentIndex: card.condition.mode === "underCursor" ? 1 : 0
                Accessible.name: card.tr("Какое окно проверять", "Window to match")
            }

            Hint {
                Layout.fillWidth: true
                theme: card.windowRoot
                text: card.tr("Заголовок содержит", "Title contains")
            }

            Edit {
                id: windowTitle
                objectName: "windowTitle"
                Layout.fillWidth: true
                theme: card.windowRoot
                maximumLength: 256
                text: card.condition.title !== undefined ? card.condition.title : ""
                Accessible.name: card.tr("Заголовок окна содержит", "Window title contains")
            }

            Hint {
                Layout.fillWidth: true
                theme: card.windowRoot
                text: card.tr("Точный класс окна (необязательно)", "Exact window class (optional)")
            }

            Edit {
                id: windowClass
                objectName: "windowClass"
                Layout.fillWidth: true
                theme: card.windowRoot
                maximumLength: 256
                text: card.condition["class"] !== undefined ? card.condition["class"] : ""
                Accessible.name: card.tr("Точный класс окна", "Exact window class")
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                Act {
                    objectName: "saveWindowCondition"
                    theme: card.windowRoot
                    text: card.tr("Сохранить условия", "Save conditions")
                    onClicked: card.app.updateWindowCondition(windowMode.currentValue, windowTitle.text, windowClass.text)
                }

                InfoPopover {
                    theme: card.windowRoot
                    text: card.tr("Как работают условия окна", "How window conditions work")
                    explanation: card.tr("Имя или путь приложения обязателен\n"
                        + "Заголовок проверяется как обычный текст без учёта регистра, класс — на полное совпадение\n"
                        + "Окно под курсором проверяется каждые 100 мс: это выбирает профиль, а не перенаправляет клики",
                        "An application name or path is required\n"
                        + "Title uses a case-insensitive literal substring; class uses an exact match\n"
                        + "The window under the cursor is checked every 100 ms to select a profile; clicks are not redirected")
                }
            }
        }

        Act {
            objectName: "saveProfileAction"
            Layout.fillWidth: true
            theme: card.windowRoot
            primary: true
            text: card.tr("Сохранить профиль", "Save profile")
            onClicked: card.app.updateProfile(card.windowRoot.profileName ? card.windowRoot.profileName.text
                    : (card.profile.name !== undefined ? card.profile.name : ""),
                appPath.text, priority.value)
        }
    }
}
