import QtQuick
import QtQuick.Controls

// A quiet line of help text.
Label {
    required property var theme
    textFormat: Text.PlainText
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontCaption
    color: theme.muted
    wrapMode: Text.Wrap
}
