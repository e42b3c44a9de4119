import QtQuick
import "../.."

// One card of the settings page: a bold title over a column of rows. Its natural height is the
// column's plus the insets, whatever height it is given.
Card {
    id: section
    required property var windowRoot
    required property string title
    default property alias rows: column.data

    theme: windowRoot
    implicitHeight: column.implicitHeight + 32

    Column {
        id: column
        x: 16
        y: 16
        width: section.width - 32
        spacing: 12

        Txt {
            width: column.width
            theme: section.windowRoot
            text: section.title
            font.bold: true
            font.pixelSize: Theme.fontBlock
        }
    }
}
