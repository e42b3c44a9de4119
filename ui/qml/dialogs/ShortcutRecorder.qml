import QtQuick
import QtQuick.Controls

// Placeholder until this dialog is built: the main window creates it under its final name.
Popup {
    required property var windowRoot
}
