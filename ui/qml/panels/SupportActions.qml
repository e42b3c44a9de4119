import QtQuick
import QtQuick.Layouts
import ".."

// The support buttons of the diagnostics and settings pages: copy the support report, open the
// maker's support page. Their names are the host's prefix + "CopyReport" / "ReportProblem".
ColumnLayout {
    id: actions
    required property var windowRoot
    required property string actionPrefix

    spacing: Theme.space8

    // The window's real look, not the stored preference (which may be "system").
    function resolvedTheme() {
        if (actions.windowRoot.highContrast)
            return "contrast"
        return actions.windowRoot.dark ? "dark" : "light"
    }

    GridLayout {
        Layout.fillWidth: true
        columns: actions.width >= 600 ? 2 : 1
        columnSpacing: Theme.space8
        rowSpacing: Theme.space8

        Act {
            objectName: actions.actionPrefix + "CopyReport"
            Layout.fillWidth: true
            theme: actions.windowRoot
            text: actions.windowRoot.tr("Скопировать отчёт для поддержки", "Copy support report")
            onClicked: actions.windowRoot.app.copySupportReport(actions.resolvedTheme(),
                actions.windowRoot.screen ? actions.windowRoot.screen.devicePixelRatio : 1.0)
        }

        Act {
            objectName: actions.actionPrefix + "ReportProblem"
            Layout.fillWidth: true
            theme: actions.windowRoot
            text: actions.windowRoot.tr("Сообщить о проблеме", "Report a problem")
            onClicked: actions.windowRoot.app.openSupport()
        }
    }

    Hint {
        Layout.fillWidth: true
        theme: actions.windowRoot
        text: actions.windowRoot.tr("Отчёт остаётся в буфере обмена. Отправлять его решаете вы",
            "The report stays on your clipboard. You decide whether to send it")
    }
}
