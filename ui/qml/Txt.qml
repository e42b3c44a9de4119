import QtQuick
import QtQuick.Controls

// Body text. Names of rules and macros come from files, so never rich text.
Label {
    required property var theme
    textFormat: Text.PlainText
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontBody
    color: theme.ink
    wrapMode: Text.Wrap
}
