import QtQuick
import ".."

// Placeholder until this piece is built: its contract with the pages that place it.
Card {
    objectName: "mouseRulesTable"
    required property var windowRoot
    theme: windowRoot
    implicitHeight: Theme.space32 * 7
}
