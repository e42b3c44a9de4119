pragma ComponentBehavior: Bound
import QtQuick

// Notices at the bottom right: at most three at once, and never more than fit in the room the
// window gives them (`maximumHeight`), so every card and its close button stay inside the window
// whatever the font; the rest wait in order. Success notices leave after their own five seconds;
// errors stay until closed.
Column {
    id: stack
    objectName: "toastStack"
    required property var theme

    readonly property int maximumVisibleNotices: 3
    property int nextNoticeId: 1
    property var waiting: []
    // The window sets it; a card taller than this on its own shows as many lines as fit.
    property real maximumHeight: 400

    spacing: 8
    width: Math.min(420, (parent ? parent.width : 452) - 32)

    function pushNotice(message, error) {
        if (message === undefined || message === null || String(message).trim().length === 0)
            return
        var notice = { noticeId: nextNoticeId, message: String(message), persistent: error === true }
        nextNoticeId += 1
        waiting = waiting.concat([notice])
        fitNotices()
    }

    function dismissNotice(noticeId) {
        for (var i = 0; i < shown.count; ++i) {
            if (shown.get(i).noticeId === noticeId) {
                shown.remove(i)
                break
            }
        }
        fitNotices()
    }

    // The cards as they are laid out now; a new card measures itself as soon as it exists.
    function cardsHeight() {
        var total = 0
        for (var i = 0; i < cards.count; ++i) {
            var card = cards.itemAt(i)
            if (card)
                total += card.height + (i > 0 ? spacing : 0)
        }
        return total
    }

    // The newest cards wait again while the stack is taller than its room; waiting notices come
    // in, oldest first, while there is room for them.
    function fitNotices() {
        while (shown.count > 1 && cardsHeight() > maximumHeight)
            putBackNewest()
        while (waiting.length > 0 && shown.count < maximumVisibleNotices) {
            shown.append(waiting[0])
            waiting = waiting.slice(1)
            if (shown.count > 1 && cardsHeight() > maximumHeight) {
                putBackNewest()
                break
            }
        }
    }

    function putBackNewest() {
        var newest = shown.get(shown.count - 1)
        var queue = waiting.slice()
        queue.unshift({ noticeId: newest.noticeId, message: newest.message, persistent: newest.persistent })
        waiting = queue
        shown.remove(shown.count - 1)
    }

    onMaximumHeightChanged: fitNotices()
    onWidthChanged: fitNotices()

    ListModel { id: shown }

    Repeater {
        id: cards
        model: shown
        delegate: Rectangle {
            id: card
            required property int noticeId
            required property string message
            required property bool persistent

            objectName: "toast_" + noticeId
            width: stack.width
            implicitHeight: Math.min(stack.maximumHeight,
                Math.max(closeButton.implicitHeight, messageText.implicitHeight) + 24)
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
                maximumLineCount: Math.max(1, Math.floor((stack.maximumHeight - 24) / Math.max(1, lineMetrics.height)))
                elide: Text.ElideRight
                FontMetrics {
                    id: lineMetrics
                    font: messageText.font
                }
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
