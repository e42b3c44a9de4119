import QtQuick
import ".."

// Placeholder of this page until it is built: the frame's contract (required properties,
// handles the window forwards) with an empty card.
Item {
    id: page
    objectName: "settingsPage"
    required property var windowRoot
    implicitHeight: 480

    Card {
        anchors.fill: parent
        theme: page.windowRoot
    }
}
