import QtQuick
import ".."
import "../panels"
import "mouse"

// The mouse page's body, top to bottom 16 apart: the model row across the full width; the working
// area (wide: the diagram column and the action panel side by side, 60 % and 40 %; narrow: one
// column); the rule table.
Item {
    id: page
    objectName: "mouseWorkspace"
    required property var windowRoot
    required property var viewport
    readonly property var app: page.windowRoot.app
    readonly property var searchObject: actionPanel.searchObject
    readonly property var categoryPickObject: actionPanel.categoryPickObject

    readonly property bool wide: page.windowRoot.width >= 1100
    readonly property int gap: 16
    readonly property int selectorHeight: Theme.mouseSelectorHeight
    readonly property int ruleTableHeight: 224
    readonly property real liveHeight: livePanel.implicitHeight
    readonly property real workingHeight: Math.max(544, 384 + page.liveHeight + 12,
        page.viewport.availableHeight - page.ruleTableHeight - page.selectorHeight - 32)
    readonly property real narrowDiagramHeight: 480 + page.liveHeight + 12
    readonly property int narrowActionHeight: 672
    readonly property real workingAreaHeight: page.wide ? page.workingHeight
        : page.narrowDiagramHeight + page.narrowActionHeight + page.gap
    readonly property real columnWidth: page.wide ? Math.round((page.width - page.gap) * 0.6) : page.width
    readonly property real workingTop: page.selectorHeight + page.gap

    implicitHeight: page.selectorHeight + page.workingAreaHeight + page.ruleTableHeight + 32
    height: implicitHeight

    MouseSelector {
        id: selector
        width: page.width
        height: page.selectorHeight
        app: page.app
        theme: page.windowRoot
    }

    Rectangle {
        id: diagramCard
        objectName: "inputDiagram"
        y: page.workingTop
        width: page.columnWidth
        height: Math.max(384, page.wide ? page.workingHeight - page.liveHeight - 12 : 480)
        radius: Theme.cardRadius
        border.color: page.windowRoot.highContrast ? Theme.white : Theme.mouseGraphiteLine
        border.width: 1
        gradient: Gradient {
            GradientStop {
                position: 0
                color: page.windowRoot.highContrast ? Theme.black : Theme.mouseGraphite
            }
            GradientStop {
                position: 1
                color: page.windowRoot.highContrast ? Theme.black : Theme.mouseGraphiteBottom
            }
        }

        MousePage {
            anchors.fill: parent
            app: page.app
            theme: page.windowRoot
        }
    }

    CollapsedLiveInput {
        id: livePanel
        objectName: "diagramLivePanel"
        y: diagramCard.y + diagramCard.height + 12
        width: page.columnWidth
        height: implicitHeight
        app: page.app
        theme: page.windowRoot
    }

    MouseActionPanel {
        id: actionPanel
        x: page.wide ? page.columnWidth + page.gap : 0
        y: page.wide ? page.workingTop : page.workingTop + page.narrowDiagramHeight + page.gap
        width: page.wide ? page.width - page.columnWidth - page.gap : page.width
        height: page.wide ? page.workingHeight : page.narrowActionHeight
        windowRoot: page.windowRoot
    }

    MouseRulesTable {
        y: page.workingTop + page.workingAreaHeight + page.gap
        width: page.width
        height: page.ruleTableHeight
        windowRoot: page.windowRoot
    }
}
