import QtQuick
import ".."

// Placeholder of this page until it is built: the frame's contract (required properties,
// handles the window forwards) with an empty card.
Item {
    id: page
    objectName: "keyboardWorkspace"
    required property var windowRoot
    required property var viewport
    readonly property var searchObject: null
    readonly property var categoryPickObject: null
    implicitHeight: 480

    Card {
        anchors.fill: parent
        theme: page.windowRoot
    }
}
