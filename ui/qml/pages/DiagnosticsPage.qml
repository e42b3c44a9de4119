pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."
import "../panels"
import "diagnostics"

// The diagnostics page: a health summary, the support actions, the live panel and, folded away,
// the agent's technical figures. It only reads; being shown counts as a live page.
Item {
    id: page
    objectName: "diagnosticsPage"
    required property var windowRoot

    readonly property var checks: windowRoot.app.supportChecks
    readonly property var checkRows: {
        var tr = windowRoot.tr
        var d = windowRoot.app.diagnostics
        var code = d.win32Error !== undefined && Number(d.win32Error) !== 0 ? String(d.win32Error) : "0"
        return [
            { name: "engine", title: tr("Движок", "Engine"), ok: checks.engine === true,
              detail: checks.engine === true ? tr("Подключён", "Connected") : tr("Нет совместимой связи", "No compatible connection") },
            { name: "watchdog", title: tr("Сторож", "Watchdog"), ok: checks.watchdog === true,
              detail: checks.watchdog === true ? tr("Процесс работает", "Process is running")
                                               : tr("Работа не подтверждена", "Operation not confirmed") },
            { name: "hooks", title: tr("Перехват кнопок", "Input capture"), ok: checks.hooks === true,
              detail: checks.hooks === true ? tr("Активен · самоконтроль без ошибок", "Active · self-check has no error")
                                            : tr("Пауза, нет связи или ошибка самоконтроля", "Paused, disconnected or self-check error") },
            { name: "ordinaryWindow", title: tr("Активное окно", "Foreground window"), ok: checks.ordinaryWindow === true,
              detail: foregroundPrivilegeLabel() },
            { name: "sending", title: tr("Отправка ввода", "Input submission"), ok: checks.sending === true,
              detail: checks.sending === true ? tr("Последней ошибки нет", "No last error")
                                              : tr("Нет данных или код ошибки: ", "No data or error code: ") + code }
        ]
    }

    // Undetermined privileges are never reported as ordinary.
    function foregroundPrivilegeLabel() {
        if (checks.windowKnown !== true)
            return windowRoot.tr("Права не определены", "Privileges unknown")
        if (checks.ordinaryWindow === true)
            return windowRoot.tr("Обычные права", "Ordinary privileges")
        return windowRoot.tr("Окно администратора", "Administrator window")
    }

    implicitHeight: column.implicitHeight + Theme.space32
    height: implicitHeight

    ColumnLayout {
        id: column
        x: Theme.space16
        y: Theme.space16
        width: page.width - 2 * Theme.space16
        spacing: Theme.space16

        SectionCard {
            theme: page.windowRoot
            Layout.fillWidth: true
            title: page.windowRoot.tr("Состояние", "Health checks")

            Txt {
                objectName: "diagnosticsAllGood"
                theme: page.windowRoot
                Layout.fillWidth: true
                visible: page.checks.allGood === true
                font.bold: true
                // Healthy checks while the mappings are paused are no "everything works": the
                // header says paused, and so does this line.
                color: page.windowRoot.app.active ? page.windowRoot.success : page.windowRoot.warning
                text: page.windowRoot.app.active ? page.windowRoot.tr("● Всё работает", "● Everything works")
                    : page.windowRoot.app.armed
                      ? page.windowRoot.tr("● Всё исправно · назначения пока не действуют", "● Everything is healthy · mappings not in force yet")
                      : page.windowRoot.tr("● Всё исправно · назначения на паузе", "● Everything is healthy · mappings paused")
            }

            Repeater {
                model: page.checks.allGood === true ? [] : page.checkRows
                delegate: RowLayout {
                    id: row
                    required property var modelData
                    objectName: "diagnosticsCheck_" + modelData.name
                    Layout.fillWidth: true
                    spacing: Theme.space8
                    Label {
                        text: "●"
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontBody
                        color: row.modelData.ok ? page.windowRoot.success : page.windowRoot.warning
                    }
                    Txt {
                        objectName: "diagnosticsCheckText_" + row.modelData.name
                        theme: page.windowRoot
                        Layout.fillWidth: true
                        text: row.modelData.title + " · " + row.modelData.detail
                    }
                }
            }

            SupportActions {
                Layout.fillWidth: true
                windowRoot: page.windowRoot
                actionPrefix: "diagnostics"
            }
        }

        LiveInputPanel {
            objectName: "diagnosticLivePanel"
            Layout.fillWidth: true
            Layout.preferredHeight: implicitHeight
            app: page.windowRoot.app
            theme: page.windowRoot
        }

        SectionCard {
            theme: page.windowRoot
            Layout.fillWidth: true
            title: page.windowRoot.tr("Подробности", "Details")

            Act {
                id: technical
                objectName: "diagnosticsTechnicalToggle"
                theme: page.windowRoot
                checkable: true
                checked: false
                text: page.windowRoot.tr("Технические подробности", "Technical details") + (checked ? " ▴" : " ▾")
            }

            DiagnosticDetails {
                Layout.fillWidth: true
                visible: technical.checked
                windowRoot: page.windowRoot
            }
        }
    }
}
