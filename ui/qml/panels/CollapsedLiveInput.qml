import QtQuick
import ".."

// Placeholder until the live view is built: its contract with the pages that place it.
Card {
    required property var app
    implicitHeight: 48
}
