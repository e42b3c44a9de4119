import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."
import "../panels"
import "settings"

// The preferences: appearance, the agent's start at sign-in, the safety shortcut, the support
// actions and the program's identity. Every control reads the controller and writes it back;
// a write the store refused comes back as the stored value and a notice.
Item {
    id: page
    objectName: "settingsPage"
    required property var windowRoot
    readonly property var app: windowRoot.app
    readonly property var themeOptions: [
        { id: "system", label: page.windowRoot.tr("Как в Windows", "Follow Windows") },
        { id: "light", label: page.windowRoot.tr("Светлое", "Light") },
        { id: "dark", label: page.windowRoot.tr("Тёмное", "Dark") },
        { id: "contrast", label: page.windowRoot.tr("Высокий контраст", "High contrast") }
    ]
    readonly property var languageOptions: [{ id: "ru", label: "Русский" }, { id: "en", label: "English" }]

    implicitHeight: cards.implicitHeight + Theme.space32

    Column {
        id: cards
        x: Theme.space16
        y: Theme.space16
        width: page.width - 2 * Theme.space16
        spacing: Theme.space16

        SettingsSection {
            width: cards.width
            windowRoot: page.windowRoot
            title: page.windowRoot.tr("Внешний вид", "Appearance")

            GridLayout {
                width: parent.width
                columns: page.width >= 650 ? 2 : 1
                columnSpacing: Theme.space16
                rowSpacing: Theme.space12

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: Theme.space8

                    Hint {
                        Layout.fillWidth: true
                        theme: page.windowRoot
                        text: page.windowRoot.tr("Оформление", "Theme")
                    }

                    Pick {
                        objectName: "themePicker"
                        Layout.fillWidth: true
                        theme: page.windowRoot
                        model: page.themeOptions
                        currentIndex: page.windowRoot.indexOf(page.themeOptions, page.app.theme)
                        Accessible.name: page.windowRoot.tr("Оформление", "Theme")
                        onActivated: page.app.theme = currentValue
                    }
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: Theme.space8

                    Hint {
                        Layout.fillWidth: true
                        theme: page.windowRoot
                        text: page.windowRoot.tr("Язык", "Language")
                    }

                    Pick {
                        objectName: "languagePicker"
                        Layout.fillWidth: true
                        theme: page.windowRoot
                        model: page.languageOptions
                        currentIndex: page.app.language === "en" ? 1 : 0
                        Accessible.name: page.windowRoot.tr("Язык интерфейса", "Interface language")
                        onActivated: page.app.language = currentValue
                    }
                }
            }
        }

        SettingsSection {
            width: cards.width
            windowRoot: page.windowRoot
            title: page.windowRoot.tr("Запуск", "Startup")

            CheckBox {
                id: startupToggle
                objectName: "startupToggle"
                width: parent.width
                checked: page.app.startup
                text: page.windowRoot.tr("Запускать движок при входе в Windows", "Start engine on Windows sign-in")
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBody
                Accessible.name: text
                contentItem: Text {
                    leftPadding: startupToggle.indicator.width + startupToggle.spacing
                    text: startupToggle.text
                    textFormat: Text.PlainText
                    font: startupToggle.font
                    color: page.windowRoot.ink
                    verticalAlignment: Text.AlignVCenter
                    wrapMode: Text.Wrap
                }
                onToggled: page.app.startup = checked
            }

            Hint {
                width: parent.width
                theme: page.windowRoot
                text: page.windowRoot.tr("После входа назначения включаются только вручную",
                    "After sign-in, mappings are enabled only manually")
            }
        }

        SettingsSection {
            width: cards.width
            windowRoot: page.windowRoot
            title: page.windowRoot.tr("Безопасность", "Safety")

            Txt {
                width: parent.width
                theme: page.windowRoot
                text: "Ctrl + Alt + F12   /   Ctrl + Alt + Pause"
                font.bold: true
                font.pixelSize: Theme.fontBlock
                color: page.windowRoot.accent
            }

            Hint {
                width: parent.width
                theme: page.windowRoot
                text: page.windowRoot.tr("Аварийная остановка отключает назначения и отпускает удержания",
                    "Emergency stop pauses mappings and releases held input")
            }
        }

        SettingsSection {
            width: cards.width
            windowRoot: page.windowRoot
            title: page.windowRoot.tr("Поддержка", "Support")

            SupportActions {
                width: parent.width
                windowRoot: page.windowRoot
                actionPrefix: "settings"
            }
        }

        SettingsSection {
            width: cards.width
            windowRoot: page.windowRoot
            title: page.windowRoot.tr("О программе", "About")

            Txt {
                width: parent.width
                theme: page.windowRoot
                text: page.windowRoot.brand.displayName + " · " + page.windowRoot.brand.version
                font.bold: true
            }

            Hint {
                width: parent.width
                theme: page.windowRoot
                text: page.windowRoot.tr("Открытое тестирование · полностью бесплатно", "Open testing · completely free")
            }

            Flow {
                width: parent.width
                spacing: Theme.space8

                Act {
                    objectName: "websiteAction"
                    theme: page.windowRoot
                    text: page.windowRoot.brand.website !== undefined ? page.windowRoot.brand.website : ""
                    onClicked: page.app.openWebsite()
                }

                Act {
                    objectName: "thirdPartyNoticesAction"
                    theme: page.windowRoot
                    text: page.windowRoot.tr("Лицензии сторонних компонентов", "Third-party notices")
                    onClicked: page.app.openThirdPartyNotices()
                }

                Act {
                    objectName: "aboutQuitAction"
                    theme: page.windowRoot
                    danger: true
                    text: page.windowRoot.tr("Отключить и выйти", "Disable and quit")
                    onClicked: page.app.shutdownAgent()
                }
            }
        }
    }
}
