import QtQuick
import ".."

// Placeholder of this page until it is built: the frame's contract (required properties,
// handles the window forwards) with an empty card.
Item {
    id: page
    objectName: "profilesPage"
    required property var windowRoot
    readonly property var profileNameObject: null
    readonly property var appPathObject: null
    readonly property var priorityObject: null
    readonly property var advancedContextObject: null
    readonly property var exportScopeObject: null
    implicitHeight: 480

    Card {
        anchors.fill: parent
        theme: page.windowRoot
    }
}
