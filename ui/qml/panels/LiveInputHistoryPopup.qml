pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// The recent executions the live view keeps in memory while the user asks for it.
Popup {
    id: popup
    objectName: "historyPopup"
    // The live panel that owns this popup: its live view, texts and wording functions.
    required property var panel

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(740, (parent ? parent.width : 800) - 60)
    height: 340
    modal: true
    padding: 16

    background: Rectangle {
        color: popup.panel.theme.paper
        radius: Theme.cardRadius
        border.color: popup.panel.theme.line
    }

    contentItem: ColumnLayout {
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            Txt {
                theme: popup.panel.theme
                Layout.fillWidth: true
                text: popup.panel.tr("Последние действия", "Recent actions")
                font.bold: true
            }
            Switch {
                objectName: "historyKeep"
                // The track when on: the accent, which stands out more than the off track.
                palette.dark: popup.panel.theme.accent
                text: popup.panel.tr("Хранить в памяти", "Keep in memory")
                checked: popup.panel.live.historyEnabled === true
                onToggled: popup.panel.app.setLiveHistory(checked)
            }
        }

        Hint {
            theme: popup.panel.theme
            Layout.fillWidth: true
            text: popup.panel.tr("До 20 записей, только пока включено наблюдение. На диск не сохраняются.",
                                 "Up to 20 entries while observation is enabled. Never saved to disk.")
        }

        ListView {
            objectName: "historyList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 4
            model: popup.panel.live.history ? popup.panel.live.history : []
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }
            delegate: Txt {
                required property var modelData
                theme: popup.panel.theme
                width: ListView.view ? ListView.view.width : 0
                text: popup.panel.physical(modelData) + " → " + popup.panel.result(modelData)
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Item {
                Layout.fillWidth: true
            }
            Act {
                objectName: "historyClear"
                theme: popup.panel.theme
                text: popup.panel.tr("Очистить", "Clear")
                onClicked: popup.panel.app.clearLive()
            }
            Act {
                theme: popup.panel.theme
                text: popup.panel.tr("Закрыть", "Close")
                onClicked: popup.close()
            }
        }
    }
}
