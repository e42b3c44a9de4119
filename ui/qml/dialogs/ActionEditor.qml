pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import ".."

// Custom actions: a text to type or paste, an application, file, folder or website to open, or a
// command for the foreground window. Saving checks and commits through the controller and
// points the open rule at the saved action; opening saves and runs nothing.
Dialog {
    id: editor
    required property var windowRoot
    required property var app
    required property var theme

    readonly property var types: ["text", "application", "file", "folder", "website", "window"]
    readonly property var commands: ["minimize", "maximize", "restore", "close", "lock"]
    property int editing: -1
    readonly property string kind: typePick.currentIndex >= 0 ? types[typePick.currentIndex] : "text"

    modal: true
    width: Math.min(640, theme.width - 40)
    height: Math.min(650, theme.height - 40)
    padding: Theme.space16
    title: theme.tr("Текст, приложения и команды", "Text, applications and commands")

    // Loads action `index` of the library into the fields (-1: a new, empty action).
    function edit(index) {
        editing = index
        var list = app.customActions
        var action = index >= 0 && index < list.length ? list[index] : ({})
        var at = types.indexOf(action.type !== undefined ? action.type : "text")
        typePick.currentIndex = Math.max(0, at)
        nameField.text = action.name !== undefined ? action.name : ""
        valueField.text = action.value !== undefined ? action.value : ""
        clipboardBox.checked = action.clipboard === true
        argumentsField.text = action.arguments !== undefined ? action.arguments.join("\n") : ""
        commandPick.currentIndex = Math.max(0, commands.indexOf(action.value))
        existing.currentIndex = index + 1
    }

    function save() {
        var value = kind === "window" ? commands[commandPick.currentIndex] : valueField.text
        if (app.saveAction(editing, kind, nameField.text, value, argumentsField.text, clipboardBox.checked))
            close()
    }

    onAboutToShow: {
        editor.app.rearrangePopup(editor.contentItem)
        var target = app.targetId
        edit(target.indexOf("action:") === 0 ? parseInt(target.slice(7), 10) - 1 : -1)
    }

    background: Rectangle {
        color: editor.theme.paper
        radius: Theme.cardRadius
        border.color: editor.theme.line
    }

    header: Txt {
        theme: editor.theme
        padding: Theme.space16
        bottomPadding: 0
        text: editor.title
        font.pixelSize: Theme.fontBlock
        font.bold: true
    }

    ScrollView {
        id: scroller
        // Shown whenever the content is taller, so a cut line reads as "scroll for more".
        ScrollBar.vertical.policy: ScrollBar.AlwaysOn
        anchors.fill: parent
        clip: true
        contentWidth: availableWidth

        Column {
            width: scroller.availableWidth
            spacing: Theme.space10

            Hint {
                theme: editor.theme
                width: parent.width
                text: editor.theme.tr("Сохранение создаёт действие. Оно выполнится по назначенной кнопке, когда назначения включены.",
                    "Saving defines an action. It runs from an assigned button while mappings are enabled.")
            }

            Pick {
                id: existing
                objectName: "existing"
                theme: editor.theme
                width: parent.width
                Accessible.name: editor.theme.tr("Действие", "Action")
                textRole: editor.app.language === "en" ? "en" : "ru"
                model: {
                    var entries = [{ id: -1, ru: "Новое действие", en: "New action" }]
                    var list = editor.app.customActions
                    for (var i = 0; i < list.length; ++i)
                        entries.push({ id: i, ru: list[i].name, en: list[i].name })
                    return entries
                }
                onActivated: function(index) { editor.edit(index - 1) }
            }

            Edit {
                id: nameField
                objectName: "actionName"
                theme: editor.theme
                width: parent.width
                maximumLength: 80
                placeholderText: editor.theme.tr("Название, например «Открыть рабочую папку»", "Name, e.g. Open work folder")
                Accessible.name: editor.theme.tr("Название действия", "Action name")
            }

            Pick {
                id: typePick
                objectName: "typePick"
                theme: editor.theme
                width: parent.width
                Accessible.name: editor.theme.tr("Тип действия", "Action type")
                // A fixed model: a language change relabels it without losing the choice.
                textRole: editor.app.language === "en" ? "en" : "ru"
                model: [{ id: "text", ru: "Текстовый шаблон", en: "Text template" },
                    { id: "application", ru: "Приложение", en: "Application" }, { id: "file", ru: "Файл", en: "File" },
                    { id: "folder", ru: "Папка", en: "Folder" }, { id: "website", ru: "Сайт http/https", en: "Website http/https" },
                    { id: "window", ru: "Команда Windows", en: "Windows command" }]
                onActivated: {
                    valueField.text = ""
                    argumentsField.text = ""
                    clipboardBox.checked = false
                }
            }

            Pick {
                id: commandPick
                objectName: "commandPick"
                theme: editor.theme
                width: parent.width
                visible: editor.kind === "window"
                Accessible.name: editor.theme.tr("Команда Windows", "Windows command")
                textRole: editor.app.language === "en" ? "en" : "ru"
                model: [{ id: "minimize", ru: "Свернуть активное окно", en: "Minimize active window" },
                    { id: "maximize", ru: "Развернуть активное окно", en: "Maximize active window" },
                    { id: "restore", ru: "Восстановить размер окна", en: "Restore window size" },
                    { id: "close", ru: "Запросить закрытие окна", en: "Request window close" },
                    { id: "lock", ru: "Заблокировать сеанс", en: "Lock session" }]
            }

            TextArea {
                id: valueField
                objectName: "value"
                width: parent.width
                height: editor.kind === "text" ? 145 : 80
                visible: editor.kind !== "window"
                wrapMode: TextEdit.Wrap
                textFormat: TextEdit.PlainText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBody
                color: editor.theme.ink
                placeholderTextColor: editor.theme.muted
                placeholderText: editor.kind === "text"
                    ? editor.theme.tr("Введите шаблон: русский, English, несколько строк…", "Enter text: English, русский, multiple lines…")
                    : editor.kind === "website" ? "https://example.com/"
                    : editor.theme.tr("Полный путь к файлу или папке", "Absolute file or folder path")
                Accessible.name: editor.theme.tr("Текст или путь действия", "Action text or path")
                background: Rectangle {
                    radius: Theme.controlRadius
                    color: editor.theme.surfaceRaised
                    border.color: valueField.activeFocus ? editor.theme.accent : editor.theme.controlLine
                }
            }

            Act {
                theme: editor.theme
                visible: editor.kind === "application" || editor.kind === "file" || editor.kind === "folder"
                text: editor.theme.tr("Выбрать…", "Browse…")
                onClicked: editor.kind === "folder" ? folderDialog.open() : fileDialog.open()
            }

            Hint {
                theme: editor.theme
                width: parent.width
                visible: editor.kind === "application"
                text: editor.theme.tr("Параметры запуска: один аргумент в строке, без обрамляющих кавычек. Командная оболочка не используется.",
                    "Launch arguments: one per line, without surrounding quotes. No command shell is used.")
            }

            TextArea {
                id: argumentsField
                objectName: "args"
                width: parent.width
                height: 80
                visible: editor.kind === "application"
                wrapMode: TextEdit.NoWrap
                textFormat: TextEdit.PlainText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBody
                color: editor.theme.ink
                placeholderTextColor: editor.theme.muted
                placeholderText: editor.theme.tr("Необязательные аргументы", "Optional arguments")
                Accessible.name: editor.theme.tr("Аргументы", "Arguments")
                background: Rectangle {
                    radius: Theme.controlRadius
                    color: editor.theme.surfaceRaised
                    border.color: argumentsField.activeFocus ? editor.theme.accent : editor.theme.controlLine
                }
            }

            CheckBox {
                id: clipboardBox
                objectName: "clipboard"
                visible: editor.kind === "text"
                text: editor.theme.tr("Вставка через буфер обмена", "Paste through clipboard")
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBody
            }

            Hint {
                theme: editor.theme
                width: parent.width
                visible: editor.kind === "text"
                text: editor.theme.tr("После сочетания программа ждёт отпускания Shift/Ctrl/Alt/Win до 2 секунд, затем вводит текст в то же окно. Для вставки также отпустите V. Смена окна или новый модификатор во время ввода отменяет действие. В макросе отпускайте модификаторы до текстового блока.",
                    "After a shortcut, the app waits up to 2 seconds for Shift/Ctrl/Alt/Win release, then types into the same window. For paste also release V. A window change or new modifier during typing cancels the action. In macros release modifiers before text blocks.")
            }

            Hint {
                theme: editor.theme
                width: parent.width
                text: editor.kind !== "text"
                    ? editor.theme.tr("Результат показывает принятие команды Windows. Он не подтверждает загрузку сайта или готовность приложения. Для окон с повышенными правами действие может быть недоступно.",
                        "The result indicates Windows accepted the request, not website loading or application readiness. Elevated windows may reject it.")
                    : clipboardBox.checked
                    ? editor.theme.tr("Отправляет Ctrl+V. Предыдущее содержимое восстанавливается через 0,4 с, если буфер не изменился. Для неподдерживаемого формата вставка отменяется. Для истории буфера и облака Windows запрашивается исключение шаблона.",
                        "Sends Ctrl+V. Previous data is restored after 0.4 s if the clipboard is unchanged. Unsupported formats cancel the paste. The template requests exclusion from Windows clipboard history and cloud sync.")
                    : editor.theme.tr("Прямой Unicode-ввод не меняет буфер. Отпустите Shift, Ctrl, Alt и Win. Смена окна отменит ввод. Шаблон хранится в профилях, но его текст не попадает в диагностику.",
                        "Direct Unicode input leaves the clipboard alone. Release Shift, Ctrl, Alt and Win. Changing windows cancels typing. The template is stored in profiles; its text is excluded from diagnostics.")
            }

            Label {
                objectName: "actionNotice"
                width: parent.width
                visible: editor.app.notice.length > 0
                text: editor.app.notice
                textFormat: Text.PlainText
                color: editor.theme.accent
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBody
                wrapMode: Text.Wrap
                maximumLineCount: 3
                elide: Text.ElideRight
            }
        }
    }

    footer: Row {
        padding: Theme.space16
        topPadding: Theme.space8
        spacing: Theme.space8
        layoutDirection: Qt.RightToLeft

        Act {
            objectName: "saveActionAction"
            theme: editor.theme
            primary: true
            text: editor.theme.tr("Сохранить и выбрать", "Save and select")
            onClicked: editor.save()
        }
        Act {
            objectName: "closeActionEditor"
            theme: editor.theme
            text: editor.theme.tr("Закрыть", "Close")
            onClicked: editor.close()
        }
        Act {
            objectName: "deleteActionAction"
            theme: editor.theme
            danger: true
            enabled: editor.editing >= 0
            text: editor.theme.tr("Удалить", "Delete")
            onClicked: {
                if (editor.app.deleteAction(editor.editing))
                    editor.edit(-1)
            }
        }
    }

    FilePicker {
        id: fileDialog
        objectName: "actionFile"
        windowRoot: editor.windowRoot
        mode: "open"
        title: editor.theme.tr("Выберите файл", "Select a file")
        nameFilters: editor.kind === "application" ? ["*.exe"] : []
        filterLabel: editor.kind === "application" ? "Windows (*.exe)" : ""
        onPicked: (file) => valueField.text = editor.app.localPath(file)
    }

    FilePicker {
        id: folderDialog
        objectName: "actionFolder"
        windowRoot: editor.windowRoot
        mode: "folder"
        title: editor.theme.tr("Выберите папку", "Select a folder")
        onPicked: (folder) => valueField.text = editor.app.localPath(folder)
    }
}
