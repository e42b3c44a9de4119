import QtQuick
import "../.."

// Placeholder until this piece is built: its contract with the pages that place it.
Card {
    objectName: "profileConditionsCard"
    required property var windowRoot
    property var appPathObject: null
    property var priorityObject: null
    property var advancedContextObject: null
    theme: windowRoot
    implicitHeight: 240
}
