import QtQuick
import ".."

// Placeholder of this page until it is built: the frame's contract (required properties,
// handles the window forwards) with an empty card.
Item {
    id: page
    objectName: "macrosPage"
    required property var windowRoot
    readonly property var stepTypeObject: null
    readonly property var stepInputObject: null
    readonly property var stepTimeObject: null
    readonly property var moveXObject: null
    readonly property var moveYObject: null
    readonly property var recordActionObject: null
    readonly property var macroViewportObject: null
    readonly property var macroNameEditObject: null
    readonly property var macroRepeatsObject: null
    implicitHeight: 480

    Card {
        anchors.fill: parent
        theme: page.windowRoot
    }
}
