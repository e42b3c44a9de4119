pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Qt.labs.folderlistmodel
import ".."

// The window's own file and folder picker, in the window's theme and language. It saves, opens
// or picks a folder; `picked` hands over the chosen file's (or folder's) URL. It starts in the
// user's documents folder and keeps the last folder shown for its next use. What a typed name
// stands for is decided by the controller's `pickFile`, so the picker never builds a path itself.
Popup {
    id: picker
    required property var windowRoot
    readonly property var app: windowRoot.app
    readonly property var theme: windowRoot

    // "save", "open" or "folder".
    property string mode: "open"
    property string title: ""
    property var nameFilters: []
    property string filterLabel: ""
    property string defaultSuffix: ""
    property string suggestedName: ""
    property url folder: ""
    property string message: ""
    // The file the user was asked about once: a second accept replaces it.
    property string replacing: ""
    readonly property bool naming: mode !== "folder"

    signal picked(url file)

    function tr(ru, en) { return picker.theme.tr(ru, en) }

    function acceptCaption() {
        if (replacing.length > 0)
            return tr("Заменить", "Replace")
        if (mode === "save")
            return tr("Сохранить", "Save")
        if (mode === "folder")
            return tr("Выбрать папку", "Select folder")
        return tr("Открыть", "Open")
    }

    function show(url) {
        folder = url
        nameField.text = ""
        replacing = ""
        message = ""
    }

    function openRow(row) {
        if (row.fileIsDir)
            show(row.fileUrl)
        else
            accept()
    }

    // Accepting the picker: a folder typed or chosen is opened; a file is handed over when it
    // can be used in this mode, otherwise the picker says why and stays open.
    function accept() {
        if (mode === "folder") {
            picker.picked(list.currentIndex >= 0 && folders.isFolder(list.currentIndex)
                ? folders.get(list.currentIndex, "fileUrl") : folder)
            picker.close()
            return
        }
        var choice = app.pickFile(folder, nameField.text, defaultSuffix)
        if (!choice.usable) {
            message = tr("Введите имя файла.", "Type a file name.")
            return
        }
        if (choice.folder) {
            show(choice.url)
            return
        }
        if (!choice.folderExists) {
            message = tr("Такой папки нет: ", "No such folder: ") + choice.path
            return
        }
        if (mode === "open" && !choice.exists) {
            message = tr("Такого файла нет: ", "No such file: ") + choice.path
            return
        }
        if (mode === "save" && choice.exists && replacing !== choice.path) {
            replacing = choice.path
            message = tr("Файл «%1» уже есть. Нажмите «Заменить», чтобы записать поверх него.",
                "\"%1\" already exists. Click Replace to write over it.").arg(choice.path)
            return
        }
        picker.close()
        picker.picked(choice.url)
    }

    modal: true
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(720, picker.windowRoot.width - 40)
    height: Math.min(540, picker.windowRoot.height - 40)
    padding: Theme.space16
    closePolicy: Popup.CloseOnEscape

    onAboutToShow: {
        picker.app.rearrangePopup(picker.contentItem)
        if (String(folder).length === 0)
            folder = app.documentsFolder()
        nameField.text = suggestedName
        replacing = ""
        message = ""
        list.currentIndex = -1
    }
    onOpened: nameField.visible ? nameField.forceActiveFocus() : list.forceActiveFocus()

    background: Rectangle {
        color: picker.theme.paper
        radius: Theme.cardRadius
        border.color: picker.theme.line
    }

    FolderListModel {
        id: folders
        folder: picker.folder
        nameFilters: picker.nameFilters
        showDirsFirst: true
        showFiles: picker.naming
        showHidden: false
        sortCaseSensitive: false
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.space12

        Txt {
            objectName: picker.objectName + "Title"
            Layout.fillWidth: true
            theme: picker.theme
            text: picker.title
            font.bold: true
            font.pixelSize: Theme.fontBlock
            maximumLineCount: 1
            elide: Text.ElideRight
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.space8
            Act {
                objectName: picker.objectName + "Up"
                theme: picker.theme
                Layout.minimumWidth: implicitWidth
                text: picker.tr("Вверх", "Up")
                readonly property var above: picker.app.pickFile(picker.folder, "..", "")
                enabled: above.folder && String(above.url) !== String(picker.folder)
                onClicked: picker.show(above.url)
            }
            Edit {
                id: folderField
                objectName: picker.objectName + "Folder"
                theme: picker.theme
                Layout.fillWidth: true
                text: picker.app.localPath(picker.folder)
                Accessible.name: picker.tr("Папка", "Folder")
                onAccepted: {
                    var choice = picker.app.pickFile(picker.folder, text, "")
                    if (choice.folder)
                        picker.show(choice.url)
                    else
                        picker.message = picker.tr("Такой папки нет: ", "No such folder: ") + text
                }
            }
        }

        ListView {
            id: list
            objectName: picker.objectName + "List"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 2
            model: folders
            currentIndex: -1
            keyNavigationEnabled: true
            ScrollBar.vertical: ScrollBar {}
            Keys.onReturnPressed: if (currentItem) picker.openRow(currentItem)

            delegate: ItemDelegate {
                id: row
                required property int index
                required property string fileName
                required property url fileUrl
                required property bool fileIsDir
                objectName: picker.objectName + "Row_" + fileName
                width: list.width
                height: 36
                text: fileIsDir ? fileName + "/" : fileName
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontBody
                highlighted: ListView.isCurrentItem
                Accessible.name: (fileIsDir ? picker.tr("Папка ", "Folder ") : picker.tr("Файл ", "File ")) + fileName
                contentItem: Text {
                    text: row.text
                    textFormat: Text.PlainText
                    font.family: row.font.family
                    font.pixelSize: row.font.pixelSize
                    font.bold: row.fileIsDir
                    color: picker.theme.ink
                    elide: Text.ElideMiddle
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    radius: Theme.controlRadius
                    color: row.highlighted || row.hovered ? picker.theme.surfaceRaised : picker.theme.paper
                    border.color: row.highlighted ? picker.theme.accent : Theme.transparent
                }
                onClicked: {
                    list.currentIndex = row.index
                    picker.message = ""
                    picker.replacing = ""
                    if (!row.fileIsDir && picker.naming)
                        nameField.text = row.fileName
                }
                onDoubleClicked: picker.openRow(row)
            }

            Txt {
                anchors.centerIn: parent
                visible: list.count === 0 && folders.status === FolderListModel.Ready
                theme: picker.theme
                color: picker.theme.muted
                text: picker.tr("Здесь нет подходящих файлов", "No matching files here")
            }
        }

        RowLayout {
            Layout.fillWidth: true
            visible: picker.naming
            spacing: Theme.space8
            Txt {
                theme: picker.theme
                text: picker.tr("Имя файла", "File name")
                wrapMode: Text.NoWrap
                Layout.minimumWidth: implicitWidth
            }
            Edit {
                id: nameField
                objectName: picker.objectName + "Name"
                theme: picker.theme
                Layout.fillWidth: true
                Accessible.name: picker.tr("Имя файла", "File name")
                onTextEdited: {
                    picker.replacing = ""
                    picker.message = ""
                }
                onAccepted: picker.accept()
            }
            Hint {
                theme: picker.theme
                visible: picker.filterLabel.length > 0
                text: picker.filterLabel
                wrapMode: Text.NoWrap
                Layout.minimumWidth: implicitWidth
            }
        }

        Txt {
            objectName: picker.objectName + "Message"
            Layout.fillWidth: true
            theme: picker.theme
            visible: picker.message.length > 0
            text: picker.message
            color: picker.theme.danger
            maximumLineCount: 3
            elide: Text.ElideRight
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.space8
            Item { Layout.fillWidth: true }
            Act {
                objectName: picker.objectName + "Cancel"
                theme: picker.theme
                Layout.minimumWidth: implicitWidth
                text: picker.tr("Отмена", "Cancel")
                onClicked: picker.close()
            }
            Act {
                objectName: picker.objectName + "Accept"
                theme: picker.theme
                primary: true
                Layout.minimumWidth: implicitWidth
                text: picker.acceptCaption()
                onClicked: picker.accept()
            }
        }
    }
}
