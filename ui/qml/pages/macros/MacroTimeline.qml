pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import "../.."

// The working copy's steps on one strip, each as wide as its share of the playing time.
Column {
    id: timeline
    required property var windowRoot
    readonly property var app: windowRoot.app
    readonly property var steps: app.language.length >= 0 ? app.macroSteps : []
    readonly property var timed: ["tap", "wait", "wheel", "chord", "move"]
    spacing: Theme.space6

    function weight(step) {
        return timed.indexOf(step.type) >= 0 ? Math.max(1, Number(step.ms) || 0) : 1
    }

    readonly property var offsets: {
        var result = []
        var sum = 0
        for (var i = 0; i < steps.length; ++i) {
            result.push(sum)
            sum += weight(steps[i])
        }
        result.push(Math.max(1, sum))
        return result
    }

    Txt {
        theme: timeline.windowRoot
        width: parent.width
        // Read again when the language changes.
        text: timeline.app.language.length >= 0 ? timeline.app.macroDuration : ""
    }

    Rectangle {
        objectName: "macroTimeline"
        width: parent.width
        height: 18
        radius: Theme.controlRadius / 2
        color: timeline.windowRoot.surfaceRaised
        border.color: timeline.windowRoot.line

        Repeater {
            model: timeline.steps
            delegate: Rectangle {
                id: mark
                required property var modelData
                required property int index
                readonly property real total: timeline.offsets[timeline.offsets.length - 1]
                objectName: "macroTimelineStep_" + index
                x: parent.width * timeline.offsets[index] / total
                width: Math.max(1, parent.width * timeline.weight(modelData) / total)
                height: parent.height
                color: index % 2 === 0 ? timeline.windowRoot.accentFill : timeline.windowRoot.accent
                opacity: 0.75
                ToolTip.visible: tip.containsMouse
                ToolTip.text: (index + 1) + " · " + timeline.windowRoot.macroKind(modelData.type, modelData.input)
                    + " · " + modelData.ms + " ms"
                MouseArea {
                    id: tip
                    anchors.fill: parent
                    hoverEnabled: true
                }
            }
        }
    }
}
