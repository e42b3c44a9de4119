import QtQuick
import ".."
import "../panels"

// The keyboard page's body: the working area (wide: the diagram column and the action panel side
// by side, 60 % and 40 %; narrow: one column) and under it the rule table, 16 apart. The diagram
// column holds the diagram card and, 12 under it, the live-input panel.
Item {
    id: page
    objectName: "keyboardWorkspace"
    required property var windowRoot
    required property var viewport
    readonly property var app: page.windowRoot.app
    readonly property var searchObject: actionPanel.searchObject
    readonly property var categoryPickObject: actionPanel.categoryPickObject

    readonly property bool wide: page.windowRoot.width >= 1100
    readonly property int gap: 16
    readonly property int ruleTableHeight: 224
    readonly property real liveHeight: livePanel.implicitHeight
    readonly property real workingHeight: Math.max(544, 320 + page.liveHeight + 12,
        page.viewport.availableHeight - page.ruleTableHeight - page.gap)
    readonly property real narrowDiagramHeight: 480 + page.liveHeight + 12
    readonly property int narrowActionHeight: 672
    readonly property real workingAreaHeight: page.wide ? page.workingHeight
        : page.narrowDiagramHeight + page.narrowActionHeight + page.gap
    readonly property real columnWidth: page.wide ? Math.round((page.width - page.gap) * 0.6) : page.width

    implicitHeight: page.workingAreaHeight + page.ruleTableHeight + page.gap
    height: implicitHeight

    Card {
        id: diagramCard
        objectName: "inputDiagram"
        theme: page.windowRoot
        width: page.columnWidth
        height: Math.max(320, (page.wide ? page.workingHeight : page.narrowDiagramHeight) - page.liveHeight - 12)

        KeyboardPage {
            anchors.fill: parent
            anchors.margins: 16
            app: page.app
            theme: page.windowRoot
        }
    }

    LiveInputPanel {
        id: livePanel
        objectName: "diagramLivePanel"
        y: diagramCard.height + 12
        width: page.columnWidth
        height: implicitHeight
        app: page.app
        theme: page.windowRoot
    }

    MouseActionPanel {
        id: actionPanel
        x: page.wide ? page.columnWidth + page.gap : 0
        y: page.wide ? 0 : page.narrowDiagramHeight + page.gap
        width: page.wide ? page.width - page.columnWidth - page.gap : page.width
        height: page.wide ? page.workingHeight : page.narrowActionHeight
        windowRoot: page.windowRoot
    }

    MouseRulesTable {
        y: page.workingAreaHeight + page.gap
        width: page.width
        height: page.ruleTableHeight
        windowRoot: page.windowRoot
    }
}
