import QtQuick
import QtQuick.Layouts
import "../.."

// A titled section of the diagnostics page: a card with a bold title and its children in a column.
Card {
    id: section
    property string title: ""
    default property alias content: body.data

    implicitHeight: body.implicitHeight + 2 * Theme.space16

    ColumnLayout {
        id: body
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: Theme.space16
        spacing: Theme.space12

        Txt {
            theme: section.theme
            Layout.fillWidth: true
            text: section.title
            font.bold: true
            font.pixelSize: Theme.fontSubheading
        }
    }
}
