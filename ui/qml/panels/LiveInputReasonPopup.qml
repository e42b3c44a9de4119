import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// Why the latest execution did what it did: the rule, its profile and layer, the conditions and
// motion settings it ran under. It keeps showing the execution it opened on while new ones come.
Popup {
    id: popup
    objectName: "whyPopup"
    // The live panel that owns this popup: its latest record, texts and wording functions.
    required property var panel
    property var event: ({})

    readonly property var context: event.ruleContext ? event.ruleContext : null
    readonly property var condition: context && context.configuredCondition ? context.configuredCondition : ({})
    readonly property var motion: event.motionSettings ? event.motionSettings : null

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(600, (parent ? parent.width : 800) - 60)
    height: Math.min(520, (parent ? parent.height : 600) - 40)
    modal: true
    padding: 16

    onOpened: event = panel.last
    onClosed: event = ({})

    function tr(ru, en) {
        return panel.tr(ru, en)
    }

    function orDash(value) {
        return value !== undefined && value !== null && String(value).length > 0 ? String(value) : "—"
    }

    function conditionText() {
        var text = tr("Условия применённого профиля: ", "Applied profile conditions: ")
            + (condition.application ? condition.application : tr("любое приложение", "any application"))
        if (condition.title)
            text += "\n" + tr("Заголовок: ", "Title: ") + condition.title
        if (condition["class"])
            text += "\n" + tr("Класс окна: ", "Window class: ") + condition["class"]
        if (condition.mode)
            text += " · " + condition.mode
        return text
    }

    function appliedText() {
        if (motion)
            return tr("Применены настройки колеса / курсора этого слоя.", "This layer's wheel / cursor settings were applied.")
        if (event.matchedRule)
            return tr("Применено: ", "Applied: ") + panel.app.describeInput(event.matchedRule.source || "")
                + " → " + panel.app.describeInput(event.matchedRule.target || "")
        return tr("Исходный ввод пропущен либо контекст уже недоступен.",
                  "Original input was passed, or context is no longer available.")
    }

    function motionText() {
        var modes = Number(event.motionModes || 0)
        var text = tr("Колесо V/H: ", "Wheel V/H: ") + motion.wheelVertical + "% / " + motion.wheelHorizontal + "%; "
            + tr("курсор X/Y: ", "cursor X/Y: ") + motion.cursorX + "% / " + motion.cursorY + "%"
        if (modes & 1)
            text += tr(" · движение в прокрутку", " · movement to scroll")
        if (modes & 2)
            text += tr(" · временная скорость ", " · temporary speed ") + motion.temporarySpeed + "%"
        return text
    }

    background: Rectangle {
        color: popup.panel.theme.paper
        radius: Theme.cardRadius
        border.color: popup.panel.theme.line
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        ScrollView {
            id: scroller
            // Shown whenever the content is taller, so a cut line reads as "scroll for more".
            ScrollBar.vertical.policy: ScrollBar.AlwaysOn
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true

            ColumnLayout {
                width: scroller.availableWidth
                spacing: 8

                Txt {
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    text: popup.tr("Почему сработало это назначение", "Why this mapping ran")
                    font.bold: true
                    font.pixelSize: Theme.fontSubheading
                }
                Txt {
                    objectName: "whySourceResult"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    text: popup.panel.physical(popup.event) + "\n→ " + popup.panel.result(popup.event)
                    color: popup.panel.theme.accent
                }
                Txt {
                    objectName: "whyRuleName"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    visible: !!(popup.event.matchedRule && popup.event.matchedRule.name)
                    text: visible ? popup.event.matchedRule.name : ""
                    font.bold: true
                }
                Txt {
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    visible: popup.event.detail !== undefined && String(popup.event.detail).length > 0
                    text: visible ? String(popup.event.detail) : ""
                }
                Txt {
                    objectName: "whyProfileLayer"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    text: popup.tr("Профиль / слой: ", "Profile / layer: ") + popup.orDash(popup.event.profile) + " / "
                        + popup.orDash(popup.event.layer) + "\n" + popup.tr("Правило: ", "Rule: ")
                        + (popup.event.rule ? popup.event.rule : popup.tr("не совпало", "none")) + " · "
                        + popup.tr("Ревизия: ", "Revision: ") + (popup.event.revision ? popup.event.revision : "0")
                }
                Txt {
                    objectName: "whyPriority"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    visible: popup.context !== null
                    text: !popup.context ? ""
                        : popup.tr("Приоритет правила / профиля: ", "Rule / profile priority: ") + popup.context.priority
                          + " / " + popup.context.profilePriority + "\n" + popup.tr("Источник правила: ", "Rule origin: ")
                          + popup.context.originProfileName + " / " + popup.context.originLayerName
                          + (popup.context.inherited ? popup.tr(" · унаследовано", " · inherited") : "")
                }
                Txt {
                    objectName: "whyConditions"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    visible: popup.context !== null
                    text: popup.context ? popup.conditionText() : ""
                }
                Txt {
                    objectName: "whyApplied"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    text: popup.appliedText()
                }
                Txt {
                    objectName: "whyMotion"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    visible: popup.motion !== null
                    text: popup.motion ? popup.motionText() : ""
                }
                Txt {
                    objectName: "whyGesture"
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    visible: popup.event.gestureOutcome !== undefined
                    text: popup.event.gestureOutcome === "fallback"
                        ? popup.tr("Распознано короткое / одиночное действие.", "Recognized short / single action.")
                        : popup.tr("Распознано длинное / двойное действие.", "Recognized long / double action.")
                }
                Hint {
                    theme: popup.panel.theme
                    Layout.fillWidth: true
                    text: popup.tr("Область — все мыши и клавиатуры сеанса. Выбранная картинка не определяет источник события.",
                                   "Scope: all mice and keyboards in this session. The selected image does not identify an event source.")
                }
            }
        }

        Act {
            Layout.alignment: Qt.AlignRight
            theme: popup.panel.theme
            text: popup.tr("Закрыть", "Close")
            onClicked: popup.close()
        }
    }
}
