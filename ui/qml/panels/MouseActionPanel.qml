import QtQuick
import ".."

// Placeholder until this piece is built: its contract with the pages that place it.
Card {
    objectName: "actionEditorCard"
    required property var windowRoot
    property var searchObject: null
    property var categoryPickObject: null
    theme: windowRoot
    implicitHeight: Theme.space32 * 21
}
