import QtQuick
import "../.."

// Placeholder until this piece is built: its contract with the pages that place it.
Card {
    objectName: "profileTransferCard"
    required property var windowRoot
    property var exportScopeObject: null
    theme: windowRoot
    implicitHeight: 200
}
