import QtQuick

// A framed surface for one group of controls.
Rectangle {
    required property var theme
    color: theme.paper
    radius: Theme.cardRadius
    border.color: theme.line
}
