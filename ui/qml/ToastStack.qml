pragma ComponentBehavior: Bound
import QtQuick

// Notices at the bottom right: at most three at once, the rest wait in order. Success notices
// leave after their own five seconds; errors stay until closed.
Column {
    id: stack
    objectName: "toastStack"
    required property var theme

    readonly property int maximumVisibleNotices: 3
    property int nextNoticeId: 1
    property var waiting: []

    spacing: 8
    width: Math.min(420, (parent ? parent.width : 452) - 32)

    function pushNotice(message, error) {
        if (message === undefined || message === null || String(message).trim().length === 0)
            return
        var notice = { noticeId: nextNoticeId, message: String(message), persistent: error === true }
        nextNoticeId += 1
        if (shown.count < maximumVisibleNotices)
            shown.append(notice)
        else
            waiting = waiting.concat([notice])
    }

    function dismissNotice(noticeId) {
        for (var i = 0; i < shown.count; ++i) {
            if (shown.get(i).noticeId === noticeId) {
                shown.remove(i)
                break
            }
        }
        if (waiting.length > 0 && shown.count < maximumVisibleNotices) {
            shown.append(waiting[0])
            waiting = waiting.slice(1)
        }
    }

    ListModel { id: shown }

    Repeater {
        model: shown
        delegate: Rectangle {
            id: card
            required property int noticeId
            required property string message
            required property bool persistent

            objectName: "toast_" + noticeId
            width: stack.width
            implicitHeight: Math.max(closeButton.implicitHeight, messageText.implicitHeight) + 24
            radius: Theme.cardRadius
            color: stack.theme.surfaceRaised
            border.width: 1
            border.color: persistent ? stack.theme.danger : stack.theme.success
            opacity: 0
            Component.onCompleted: opacity = 1
            Behavior on opacity { NumberAnimation { duration: stack.theme.animationDuration } }

            Timer {
                interval: Theme.toastLifetimeMilliseconds
                running: !card.persistent
                onTriggered: stack.dismissNotice(card.noticeId)
            }

            Txt {
                id: messageText
                theme: stack.theme
                anchors.left: parent.left
                anchors.right: closeButton.left
                anchors.verticalCenter: parent.verticalCenter
                anchors.leftMargin: 12
                anchors.rightMargin: 4
                text: card.message
                Accessible.role: Accessible.AlertMessage
                Accessible.name: card.message
            }

            IconAct {
                id: closeButton
                objectName: "closeToast_" + card.noticeId
                theme: stack.theme
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                text: stack.theme.tr("Закрыть уведомление", "Dismiss notification")
                icon.source: "qrc:/assets/icons/close.svg"
                onClicked: stack.dismissNotice(card.noticeId)
            }
        }
    }
}
