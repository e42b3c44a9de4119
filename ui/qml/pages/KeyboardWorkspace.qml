import QtQuick
import ".."

// The keyboard page's body: the diagram card in the diagram column. The live-input panel, the
// action panel and the rule table join it when they are built.
Item {
    id: page
    objectName: "keyboardWorkspace"
    required property var windowRoot
    required property var viewport
    readonly property var searchObject: null
    readonly property var categoryPickObject: null

    readonly property bool wide: windowRoot.width >= 1100
    readonly property int ruleTableHeight: 224
    readonly property int workingHeight: Math.max(544, viewport.availableHeight - ruleTableHeight - 16)
    readonly property int narrowDiagramHeight: 480
    readonly property int workingAreaHeight: wide ? workingHeight : narrowDiagramHeight + 672 + 16
    implicitHeight: workingAreaHeight + ruleTableHeight + 16

    Card {
        objectName: "inputDiagram"
        theme: page.windowRoot
        width: page.wide ? Math.round(page.width * 0.6) : page.width
        height: Math.max(320, page.wide ? page.workingHeight : page.narrowDiagramHeight)

        KeyboardPage {
            anchors.fill: parent
            anchors.margins: 16
            app: page.windowRoot.app
            theme: page.windowRoot
        }
    }
}
