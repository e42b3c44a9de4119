pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls

// A drop-down list of entries with "label" and "id" (or plain strings).
ComboBox {
    id: control
    required property var theme
    property bool emphasizeSelection: false

    implicitHeight: 38
    // The display text carries its own padding; the indicator sits in its right padding.
    leftPadding: 0
    rightPadding: 0
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontBody
    textRole: "label"
    valueRole: "id"

    function entryText(entry) {
        if (entry === undefined || entry === null)
            return ""
        if (typeof entry === "string")
            return entry
        return entry[control.textRole] !== undefined ? String(entry[control.textRole]) : ""
    }

    contentItem: Text {
        leftPadding: 12
        rightPadding: 24
        text: control.displayText
        textFormat: Text.PlainText
        font: control.font
        color: control.enabled ? control.theme.ink : control.theme.muted
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        radius: Theme.controlRadius
        color: control.theme.surfaceRaised
        border.color: control.activeFocus ? control.theme.accent : control.theme.controlLine
    }

    delegate: ItemDelegate {
        id: entry
        required property var modelData
        required property int index
        width: control.width
        highlighted: control.highlightedIndex === index
        contentItem: Text {
            text: control.entryText(entry.modelData)
            textFormat: Text.PlainText
            font.family: control.font.family
            font.pixelSize: control.font.pixelSize
            font.bold: control.emphasizeSelection && entry.index === control.currentIndex
            color: control.theme.ink
            elide: Text.ElideRight
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            color: entry.highlighted ? control.theme.canvas : control.theme.paper
        }
    }

    // Kept inside the window: below the field when it fits, else moved up or made shorter, so no
    // entry ever lies past the window's edge.
    popup: Popup {
        y: control.height
        width: control.width
        implicitHeight: Math.min(contentItem.implicitHeight + topPadding + bottomPadding, 330)
        topMargin: 8
        bottomMargin: 8
        padding: 1
        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }
        }
        background: Rectangle {
            color: control.theme.paper
            border.color: control.theme.line
            radius: Theme.controlRadius
        }
    }
}
