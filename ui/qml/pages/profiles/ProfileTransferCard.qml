import QtQuick
import "../.."

// Export, import and backup restore of the profiles page. An import is shown first as a plain
// summary (its texts come from someone else's file and are never read as markup) and only the
// last button commits it, leaving mappings paused.
Card {
    id: card
    objectName: "profileTransferCard"
    required property var windowRoot
    property alias exportScopeObject: exportScope
    readonly property var app: windowRoot.app
    theme: windowRoot
    implicitHeight: content.implicitHeight + 2 * Theme.space16

    Column {
        id: content
        x: Theme.space16
        y: Theme.space16
        width: card.width - 2 * Theme.space16
        spacing: Theme.space12

        Row {
            spacing: Theme.space8
            Txt {
                theme: card.theme
                anchors.verticalCenter: parent.verticalCenter
                text: card.windowRoot.tr("Перенос", "Transfer")
                font.pixelSize: Theme.fontBlock
                font.weight: Font.DemiBold
                wrapMode: Text.NoWrap
            }
            InfoPopover {
                objectName: "profileTransferInfo"
                anchors.verticalCenter: parent.verticalCenter
                theme: card.theme
                text: card.windowRoot.tr("Что входит в файл настроек", "What a settings file contains")
                explanation: card.windowRoot.tr(
                    "В условиях профиля полный путь сокращается до имени .exe\nПути запуска, URL и текстовые шаблоны сохраняются и видны перед импортом\nИмпорт оставляет назначения на паузе\nПрофиль включает унаследованные правила; слой наследует основу принимающего профиля",
                    "Profile matching paths are reduced to .exe names\nLaunch paths, URLs and templates remain and are shown before import\nMappings stay paused after import\nA profile includes inherited rules; a layer inherits its destination profile's base")
            }
        }

        Hint {
            theme: card.theme
            width: content.width
            text: card.windowRoot.tr("Что экспортировать", "Export scope")
        }

        Pick {
            id: exportScope
            objectName: "exportScope"
            theme: card.theme
            width: Math.min(content.width, 360)
            model: [
                { id: "collection", label: card.windowRoot.tr("Весь набор", "Whole collection") },
                { id: "profile", label: card.windowRoot.tr("Текущий профиль", "Current profile") },
                { id: "layer", label: card.windowRoot.tr("Текущий слой", "Current layer") }
            ]
            Accessible.name: card.windowRoot.tr("Что экспортировать", "Export scope")
        }

        Flow {
            width: content.width
            spacing: Theme.space8
            Act {
                objectName: "exportProfilesAction"
                theme: card.theme
                text: card.windowRoot.tr("Экспорт…", "Export…")
                onClicked: card.windowRoot.exportFileObject.open()
            }
            Act {
                objectName: "importProfilesAction"
                theme: card.theme
                text: card.windowRoot.tr("Импорт…", "Import…")
                onClicked: card.windowRoot.importFileObject.open()
            }
            Act {
                objectName: "restoreBackupAction"
                theme: card.theme
                text: card.windowRoot.tr("Восстановить предыдущую копию", "Restore previous backup")
                onClicked: card.app.restoreBackup()
            }
        }

        Txt {
            objectName: "importPreviewText"
            theme: card.theme
            width: content.width
            visible: card.app.importPreview !== ""
            text: card.app.importPreview
            textFormat: Text.PlainText
        }

        Act {
            objectName: "acceptImportAction"
            theme: card.theme
            width: content.width
            visible: card.app.importPreview !== ""
            primary: true
            text: card.windowRoot.tr("Импортировать и оставить на паузе", "Import and keep paused")
            onClicked: card.app.acceptImport()
        }
    }
}
