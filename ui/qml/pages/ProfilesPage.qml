import QtQuick
import QtQuick.Layouts
import ".."
import "profiles"

// The profiles page: five cards in a grid (two columns from 1280 pixels of window width), the
// transfer card across the whole width. The window reaches the fields it refills through the
// handles below; scrolling belongs to the workspace around the page.
Item {
    id: page
    objectName: "profilesPage"
    required property var windowRoot
    readonly property var profileNameObject: identity.profileNameObject
    readonly property var appPathObject: conditions.appPathObject
    readonly property var priorityObject: conditions.priorityObject
    readonly property var advancedContextObject: conditions.advancedContextObject
    readonly property var exportScopeObject: transfer.exportScopeObject
    implicitHeight: grid.implicitHeight

    GridLayout {
        id: grid
        width: page.width
        columns: page.windowRoot.width >= 1280 ? 2 : 1
        columnSpacing: Theme.space16
        rowSpacing: Theme.space16

        ProfileIdentityCard {
            id: identity
            windowRoot: page.windowRoot
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
        }

        ProfileConditionsCard {
            id: conditions
            windowRoot: page.windowRoot
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            Layout.preferredHeight: implicitHeight
        }

        ProfileLayersCard {
            windowRoot: page.windowRoot
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
        }

        ProfileTemplatesCard {
            windowRoot: page.windowRoot
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
        }

        ProfileTransferCard {
            id: transfer
            windowRoot: page.windowRoot
            Layout.fillWidth: true
            Layout.columnSpan: grid.columns
            Layout.preferredHeight: implicitHeight
        }
    }
}
