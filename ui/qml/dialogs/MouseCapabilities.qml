import QtQuick
import QtQuick.Controls
import ".."

// What any mouse can and cannot do here, and whether the engine is ready to check presses.
Dialog {
    id: dialog
    // Laid out again for what it shows now: see AppController::rearrangePopup.
    onAboutToShow: dialog.windowRoot.app.rearrangePopup(dialog.contentItem)
    required property var windowRoot

    readonly property var sections: [
        ["5 стандартных кнопок и прокрутка", "5 standard buttons and scrolling",
         "Левая, правая, нажатие колеса, Mouse4 и Mouse5 — если мышь передаёт их Windows. Горизонтальная прокрутка доступна, если её передаёт устройство",
         "Left, right, wheel click, Mouse4 and Mouse5, when reported to Windows. Horizontal scrolling requires the corresponding device events"],
        ["Проверьте нажатия на схеме", "Check presses on the diagram",
         "Закройте это окно и нажмите каждую кнопку. Заливка метки показывает физическое нажатие. Рамка показывает выбранную настройку. Если Mouse4 и Mouse5 стоят иначе — правый щелчок по боковой метке меняет их порядок",
         "Close this window and press each button. A filled marker shows a physical press; its outline shows the selection. Right-click a side marker to swap Mouse4 and Mouse5"],
        ["Одна схема — все подключённые мыши", "One diagram — all connected mice",
         "Выбор картинки не определяет устройство. Назначение Mouse4 действует на Mouse4 любой подключённой мыши. Программа не записывает настройки в память мыши",
         "The picture does not identify a device. A Mouse4 mapping affects Mouse4 on every connected mouse. Settings are not written to the mouse memory"],
        ["Специальные кнопки, DPI и подсветка", "Special buttons, DPI and lighting",
         "Кнопки сверх стандартных пяти могут требовать ПО производителя. Если такая кнопка выдаёт обычную клавишу, её можно настроить в разделе «Клавиатура» — правило затронет и эту клавишу на клавиатуре. DPI и подсветка здесь не настраиваются",
         "Buttons beyond the standard five may need vendor software. If one reports a normal key, configure it on the Keyboard page; the mapping also affects that key on the keyboard. DPI and lighting are not configured here"],
        ["Бесплатно, без платных функций", "Free, with no paid features",
         "Все возможности утилиты бесплатны. Технические границы зависят от событий Windows и устройства. При запуске назначения остаются на паузе до вашего применения",
         "All utility features are free. Technical limits depend on Windows events and the device. Mappings remain paused at startup until you apply them"]
    ]

    modal: true
    width: Math.min(570, dialog.windowRoot.width - 32)
    height: Math.min(560, dialog.windowRoot.height - 40)
    padding: 20
    title: dialog.windowRoot.tr("Что доступно моей мыши", "What my mouse can do")
    font.family: Theme.fontFamily

    background: Rectangle {
        color: dialog.windowRoot.paper
        radius: Theme.cardRadius
        border.color: dialog.windowRoot.line
    }

    header: Label {
        text: dialog.title
        textFormat: Text.PlainText
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSubheading
        font.weight: Font.DemiBold
        color: dialog.windowRoot.ink
        padding: 20
        bottomPadding: 0
        wrapMode: Text.Wrap
    }

    // A child, not the content item itself, so the ids inside need no immediate assignment.
    ScrollView {
        // Shown whenever the content is taller, so a cut line reads as "scroll for more".
        ScrollBar.vertical.policy: ScrollBar.AlwaysOn
        anchors.fill: parent
        clip: true
        contentWidth: availableWidth

        Column {
            width: parent ? parent.width : 0
            spacing: 14

            Repeater {
                model: dialog.sections
                // qmllint disable unqualified
                delegate: Column {
                    id: section
                    required property var modelData
                    width: parent ? parent.width : 0
                    spacing: 4

                    Txt {
                        width: section.width
                        theme: dialog.windowRoot
                        font.weight: Font.Bold
                        text: dialog.windowRoot.tr(section.modelData[0], section.modelData[1])
                    }
                    Label {
                        width: section.width
                        text: dialog.windowRoot.tr(section.modelData[2], section.modelData[3])
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        font.family: Theme.fontFamily
                        font.pixelSize: 12
                        color: dialog.windowRoot.muted
                    }
                }
                // qmllint enable unqualified
            }

            Txt {
                objectName: "mouseCapabilitiesStatus"
                width: parent.width
                theme: dialog.windowRoot
                color: dialog.windowRoot.accent
                // The issue's text follows the language, which its own notification does not cover.
                text: dialog.windowRoot.app.engineCompatible
                    ? dialog.windowRoot.tr("Движок подключён · можно проверять нажатия", "Engine connected · ready to check presses")
                    : dialog.windowRoot.app.language.length >= 0 ? dialog.windowRoot.app.engineIssue : ""
            }
        }
    }

    footer: Row {
        layoutDirection: Qt.RightToLeft
        padding: 20
        topPadding: 0

        Act {
            objectName: "mouseCapabilitiesClose"
            theme: dialog.windowRoot
            text: dialog.windowRoot.tr("Закрыть", "Close")
            onClicked: dialog.close()
        }
    }
}
