import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import "../.."

// The chosen mouse: its picture, a marker on each standard button placed from the catalog's
// fractions of the painted picture, a caption per marker joined to it by a leader line, and the
// wheel chips. DPI and centre buttons get no marker: Windows does not report them as standard events.
Item {
    id: diagram
    required property var app
    required property var theme
    // The card's height: the picture may take up to 82 % of it.
    property real cardHeight: height

    signal chosen(string hotspot, string input)

    readonly property var model: diagram.app.selectedModel && diagram.app.selectedModel.hotspots !== undefined
        ? diagram.app.selectedModel : ({})
    readonly property var visibleHotspots: (diagram.model.hotspots || []).filter(h => h.id !== "dpi" && h.id !== "center")
    readonly property var leftHotspots: visibleHotspots.filter(h => diagram.leftSide(h.id))
    readonly property var rightHotspots: visibleHotspots.filter(h => !diagram.leftSide(h.id))
    readonly property real captionWidth: Math.min(200, diagram.width * 0.27)
    readonly property int captionMinimumHeight: 64
    readonly property int markerDiameter: 28

    // The diagram keeps its light graphite palette in every theme but high contrast.
    readonly property bool contrast: diagram.theme.highContrast
    readonly property color ink: contrast ? Theme.white : Theme.mouseGraphiteInk
    readonly property color mutedInk: contrast ? Theme.white : Theme.mouseGraphiteMuted
    readonly property color lineColor: contrast ? Theme.white : Theme.mouseGraphiteLine
    readonly property color accent: contrast ? Theme.contrastAccent : Theme.mouseGraphiteAccent

    // Where the picture is actually painted inside its item (the aspect ratio is kept).
    readonly property real paintedWidth: picture.paintedWidth
    readonly property real paintedHeight: picture.paintedHeight
    readonly property real paintedLeft: picture.x + (picture.width - picture.paintedWidth) / 2
    readonly property real paintedTop: picture.y + (picture.height - picture.paintedHeight) / 2
    readonly property var stageItem: stage

    function leftSide(id) {
        return id === "left" || id === "side_front" || id === "side_rear";
    }

    // The input a marker stands for now; calibrations and swaps bump the window's revision.
    function inputOf(hotspot) {
        const revision = diagram.theme.bindingRevision;
        return diagram.app.hotspotInput(hotspot.id, hotspot.input ? hotspot.input : "");
    }

    function shortTag(input) {
        const tags = { mouse_left: "L", mouse_right: "R", mouse_middle: "M", mouse_back: "M4", mouse_forward: "M5" };
        return tags[input] !== undefined ? tags[input] : diagram.theme.describe(input);
    }

    function circleTag(input) {
        return input.indexOf("mouse_") === 0 ? diagram.shortTag(input) : "•";
    }

    function defaultAssignment() {
        return diagram.theme.tr("Как обычно", "As usual");
    }

    // What the button does now: the rule without modifiers for that input, if any.
    function assignment(input) {
        const rules = diagram.app.rules;
        for (const rule of rules) {
            if (rule.source !== input || (rule.modifiers !== undefined && rule.modifiers !== "" && rule.modifiers !== 0))
                continue;
            if (rule.target === "unchanged")
                return diagram.defaultAssignment();
            const label = String(rule.targetLabel);
            const split = label.indexOf(" · ");
            return split < 0 ? label : label.substring(0, split) + " (" + label.substring(split + 3) + ")";
        }
        return diagram.defaultAssignment();
    }

    function lit(input, list) {
        return input !== "" && list !== undefined && list.indexOf(input) >= 0;
    }

    function choose(hotspot, input) {
        diagram.chosen(hotspot, input);
        if (input !== "")
            diagram.app.selectRule(input);
        else
            diagram.app.calibrateHotspot(hotspot);
    }

    Item {
        id: stage
        objectName: "mousePictureStage"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: wheelRow.top
        anchors.bottomMargin: 4

        // Two soft shadows under the painted body.
        Rectangle {
            width: diagram.paintedWidth * 0.72
            height: 16
            radius: height / 2
            x: diagram.paintedLeft + (diagram.paintedWidth - width) / 2
            y: diagram.paintedTop + diagram.paintedHeight - 8 - height / 2
            color: Theme.black
            opacity: 0.08
            visible: !diagram.contrast && diagram.paintedWidth > 0
        }
        Rectangle {
            width: diagram.paintedWidth * 0.6
            height: 8
            radius: height / 2
            x: diagram.paintedLeft + (diagram.paintedWidth - width) / 2
            y: diagram.paintedTop + diagram.paintedHeight - 12 - height / 2
            color: Theme.black
            opacity: 0.10
            visible: !diagram.contrast && diagram.paintedWidth > 0
        }

        Image {
            id: picture
            objectName: "normalizedMouseImage"
            width: Math.max(0, stage.width - 2 * (diagram.captionWidth + 12))
            height: Math.max(0, Math.min(diagram.cardHeight * 0.82, stage.height * 1.08))
            x: (stage.width - width) / 2
            y: (stage.height - height) / 2
            fillMode: Image.PreserveAspectFit
            sourceSize.height: 1200
            smooth: true
            mipmap: true
            source: diagram.model.image ? diagram.app.imageUrl(diagram.model.image) : ""
        }

        Repeater {
            model: diagram.visibleHotspots
            // Delegates reach the diagram by id from the repeater's context.
            // qmllint disable unqualified
            delegate: Item {
                id: entry
                required property var modelData
                readonly property string hotspotId: entry.modelData.id
                readonly property bool onLeft: diagram.leftSide(entry.hotspotId)
                readonly property var side: entry.onLeft ? diagram.leftHotspots : diagram.rightHotspots
                readonly property int sideIndex: entry.side.findIndex(h => h.id === entry.hotspotId)
                readonly property bool fixed: entry.modelData.input ? true : false
                readonly property string input: diagram.inputOf(entry.modelData)
                readonly property string assignment: diagram.assignment(entry.input)
                readonly property bool assigned: entry.assignment !== diagram.defaultAssignment()
                readonly property bool selected: entry.input !== "" && entry.input === diagram.app.sourceId
                readonly property bool pulsing: diagram.lit(entry.input, diagram.theme.liveState.physical)
                    || diagram.lit(entry.input, diagram.theme.liveState.flash)
                readonly property real centreX: diagram.paintedLeft + entry.modelData.x * diagram.paintedWidth
                readonly property real centreY: diagram.paintedTop + entry.modelData.y * diagram.paintedHeight
                readonly property real innerEdge: entry.onLeft ? caption.x + caption.width : caption.x
                readonly property real captionMiddle: caption.y + caption.height / 2
                readonly property string tag: entry.input !== "" ? diagram.shortTag(entry.input) : "?"

                anchors.fill: parent

                function openMenu() {
                    if (entry.fixed)
                        diagram.choose(entry.hotspotId, entry.input);
                    else
                        markerMenu.popup(marker, 0, marker.height);
                }

                Shape {
                    anchors.fill: parent
                    ShapePath {
                        strokeColor: diagram.lineColor
                        strokeWidth: 1
                        fillColor: "transparent"
                        startX: entry.centreX
                        startY: entry.centreY
                        PathLine {
                            x: (entry.centreX + entry.innerEdge) / 2
                            y: entry.captionMiddle
                        }
                        PathLine {
                            x: entry.innerEdge
                            y: entry.captionMiddle
                        }
                    }
                }

                AbstractButton {
                    id: caption
                    objectName: "mouseLeader_" + entry.hotspotId
                    width: diagram.captionWidth
                    height: Math.max(diagram.captionMinimumHeight, caption.implicitContentHeight + 16)
                    x: entry.onLeft ? 0 : stage.width - width
                    y: stage.height * (entry.sideIndex + 1) / (entry.side.length + 1) - height / 2
                    hoverEnabled: true
                    focusPolicy: Qt.NoFocus
                    padding: 8
                    onClicked: diagram.choose(entry.hotspotId, entry.input)
                    ToolTip.visible: caption.hovered
                    ToolTip.text: diagram.theme.describe(entry.input) + " → " + entry.assignment
                    Accessible.ignored: true

                    background: Rectangle {
                        radius: 8
                        color: caption.hovered && !diagram.contrast ? Theme.mouseGraphiteHover : Theme.transparent
                        border.color: diagram.lineColor
                        border.width: 1
                    }
                    contentItem: Text {
                        objectName: "mouseLeaderText_" + entry.hotspotId
                        text: entry.tag + " · " + entry.assignment
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        font.family: Theme.fontFamily
                        font.pixelSize: 13
                        verticalAlignment: Text.AlignVCenter
                        color: entry.assigned ? diagram.ink : diagram.mutedInk
                    }
                }

                AbstractButton {
                    id: marker
                    objectName: "mouseMarker_" + entry.hotspotId
                    // What the check modes read of a marker.
                    readonly property string inputId: entry.input
                    readonly property bool selected: entry.selected
                    readonly property bool pulsing: entry.pulsing
                    width: diagram.markerDiameter
                    height: diagram.markerDiameter
                    x: entry.centreX - width / 2
                    y: entry.centreY - height / 2
                    hoverEnabled: true
                    focusPolicy: Qt.StrongFocus
                    onClicked: diagram.choose(entry.hotspotId, entry.input)
                    Keys.onReturnPressed: diagram.choose(entry.hotspotId, entry.input)
                    Keys.onEnterPressed: diagram.choose(entry.hotspotId, entry.input)
                    Keys.onPressed: event => {
                        if (event.key === Qt.Key_Menu) {
                            entry.openMenu();
                            event.accepted = true;
                        }
                    }
                    Accessible.role: Accessible.Button
                    Accessible.name: diagram.theme.describe(entry.input)
                    Accessible.onPressAction: diagram.choose(entry.hotspotId, entry.input)
                    ToolTip.visible: marker.hovered && entry.input !== ""
                    ToolTip.text: diagram.theme.describe(entry.input)

                    MouseArea {
                        anchors.fill: parent
                        acceptedButtons: Qt.RightButton
                        onClicked: entry.openMenu()
                    }

                    background: Rectangle {
                        radius: width / 2
                        color: entry.pulsing ? diagram.theme.accentFill : (diagram.contrast ? Theme.black : Theme.white)
                        border.color: entry.selected ? diagram.accent : diagram.mutedInk
                        border.width: entry.selected ? 3 : 1
                        Behavior on color { ColorAnimation { duration: diagram.theme.animationDuration } }

                        Rectangle {
                            anchors.fill: parent
                            anchors.margins: -4
                            radius: width / 2
                            color: Theme.transparent
                            border.color: diagram.accent
                            border.width: 1
                            visible: marker.activeFocus
                        }
                    }
                    contentItem: Text {
                        text: diagram.circleTag(entry.input)
                        textFormat: Text.PlainText
                        font.family: Theme.fontFamily
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        color: entry.pulsing ? diagram.theme.onAccent : diagram.ink
                    }
                }

                Menu {
                    id: markerMenu
                    // The list does not measure its items: wide enough for the longest text.
                    width: 300
                    MenuItem {
                        objectName: "markerRebind_" + entry.hotspotId
                        text: diagram.theme.tr("Привязать заново", "Rebind marker")
                        enabled: diagram.app.engineCompatible
                        onTriggered: diagram.app.calibrateHotspot(entry.hotspotId)
                    }
                    MenuItem {
                        text: diagram.theme.tr("Сбросить привязку метки", "Clear marker binding")
                        onTriggered: diagram.app.clearHotspot(entry.hotspotId)
                    }
                    MenuItem {
                        text: diagram.theme.tr("Поменять боковые местами", "Swap side buttons")
                        onTriggered: diagram.app.swapSideHotspots()
                    }
                }
            }
            // qmllint enable unqualified
        }
    }

    Row {
        id: wheelRow
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 4

        Label {
            anchors.verticalCenter: parent.verticalCenter
            text: diagram.theme.tr("Колесо:", "Wheel:")
            textFormat: Text.PlainText
            font.family: Theme.fontFamily
            font.pixelSize: 13
            color: diagram.mutedInk
        }

        Repeater {
            model: [["wheel_up", "↑ Вверх", "↑ Up"], ["wheel_down", "↓ Вниз", "↓ Down"],
                ["wheel_left", "← Влево", "← Left"], ["wheel_right", "→ Вправо", "→ Right"]]
            // qmllint disable unqualified
            delegate: Act {
                id: chip
                required property var modelData
                objectName: "wheelChip_" + chip.modelData[0]
                theme: diagram.theme
                height: 32
                implicitHeight: 32
                leftPadding: 8
                rightPadding: 8
                text: diagram.theme.tr(chip.modelData[1], chip.modelData[2])
                primary: diagram.lit(chip.modelData[0], diagram.theme.liveState.flash)
                onClicked: diagram.choose("", chip.modelData[0])
                Accessible.name: diagram.theme.describe(chip.modelData[0])
                ToolTip.visible: chip.hovered
                ToolTip.text: diagram.assignment(chip.modelData[0])
            }
            // qmllint enable unqualified
        }
    }
}
