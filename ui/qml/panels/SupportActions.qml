import QtQuick
import QtQuick.Layouts
import ".."

// The support kit's two commands: the technical report onto the clipboard, and the maker's
// support page. The report never leaves the machine by itself.
ColumnLayout {
    id: actions
    required property var windowRoot
    required property string actionPrefix

    spacing: Theme.space8

    // The palette the window actually shows; no preference is read or written.
    function resolvedTheme() {
        return windowRoot.highContrast ? "contrast" : windowRoot.dark ? "dark" : "light"
    }

    GridLayout {
        Layout.fillWidth: true
        columns: actions.width >= 600 ? 2 : 1
        columnSpacing: Theme.space8
        rowSpacing: Theme.space8

        Act {
            objectName: actions.actionPrefix + "CopyReport"
            theme: actions.windowRoot
            Layout.fillWidth: true
            text: actions.windowRoot.tr("Скопировать отчёт для поддержки", "Copy support report")
            onClicked: actions.windowRoot.app.copySupportReport(actions.resolvedTheme(),
                actions.windowRoot.screen ? actions.windowRoot.screen.devicePixelRatio : 1.0)
        }
        Act {
            objectName: actions.actionPrefix + "ReportProblem"
            theme: actions.windowRoot
            Layout.fillWidth: true
            text: actions.windowRoot.tr("Сообщить о проблеме", "Report a problem")
            onClicked: actions.windowRoot.app.openSupport()
        }
    }

    Hint {
        theme: actions.windowRoot
        Layout.fillWidth: true
        text: actions.windowRoot.tr("Отчёт остаётся в буфере обмена. Отправлять его решаете вы",
                                    "The report stays on your clipboard. You decide whether to send it")
    }
}
