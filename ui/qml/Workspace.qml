import QtQuick
import "pages"

// The page host. The mouse and keyboard workspaces exist only while selected, so the named items
// in them exist once; the other pages are created once and show themselves by page.
Column {
    id: workspace
    required property var windowRoot
    required property var viewport

    readonly property var mappingWorkspace: mappingLoader.item
    readonly property var searchObject: mappingWorkspace ? mappingWorkspace.searchObject : null
    readonly property var categoryPickObject: mappingWorkspace ? mappingWorkspace.categoryPickObject : null
    readonly property alias profilesPageObject: profilesPage
    readonly property alias macrosPageObject: macrosPage

    width: viewport.availableWidth
    height: Math.max(implicitHeight, viewport.availableHeight)
    spacing: 16

    Loader {
        id: mappingLoader
        width: workspace.width
        active: workspace.windowRoot.mapping
        visible: active
        sourceComponent: workspace.windowRoot.page === workspace.windowRoot.pageKeyboard ? keyboardComponent : mouseComponent
    }

    // The loader creates these in its own context, so they reach the host by id.
    // qmllint disable unqualified
    Component {
        id: mouseComponent
        MouseWorkspace {
            windowRoot: workspace.windowRoot
            viewport: workspace.viewport
        }
    }

    Component {
        id: keyboardComponent
        KeyboardWorkspace {
            windowRoot: workspace.windowRoot
            viewport: workspace.viewport
        }
    }
    // qmllint enable unqualified

    ProfilesPage {
        id: profilesPage
        width: workspace.width
        windowRoot: workspace.windowRoot
        visible: workspace.windowRoot.page === workspace.windowRoot.pageProfiles
    }

    MacrosPage {
        id: macrosPage
        width: workspace.width
        windowRoot: workspace.windowRoot
        visible: workspace.windowRoot.page === workspace.windowRoot.pageMacros
    }

    DiagnosticsPage {
        width: workspace.width
        windowRoot: workspace.windowRoot
        visible: workspace.windowRoot.page === workspace.windowRoot.pageDiagnostics
    }

    SettingsPage {
        width: workspace.width
        windowRoot: workspace.windowRoot
        visible: workspace.windowRoot.page === workspace.windowRoot.pageSettings
    }
}
