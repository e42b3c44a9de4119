pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ".."

// The rules in force for the selected profile and layer, with their names editable in place,
// where each comes from, and a menu to edit or delete the layer's own rules.
Card {
    id: table
    objectName: "mouseRulesTable"
    required property var windowRoot
    readonly property var w: windowRoot
    readonly property var app: windowRoot.app
    readonly property real nameWidth: Math.max(160, (width - Theme.space32) * 0.27)
    readonly property real sourceWidth: Math.max(160, (width - Theme.space32) * 0.25)
    readonly property real iconsWidth: 2 * 40 + Theme.space8
    // The rows shown. The list is modelled by their count and each row reads its entry, so a
    // notice or another unrelated change of the library never rebuilds a row whose name is
    // being typed; a changed entry updates its row in place.
    property var shownRules: []
    // Their text: what the controller hands over reads through to its property, so only a copy
    // can be compared with the next one.
    property string shownText: "[]"
    theme: windowRoot
    implicitHeight: Theme.space32 * 7

    function refreshRows() {
        var text = JSON.stringify(w.filteredRules(ruleSearch.text))
        if (text === shownText)
            return
        shownText = text
        shownRules = JSON.parse(text)
    }

    Component.onCompleted: refreshRows()

    Connections {
        target: table.app
        function onLibraryChanged() { table.refreshRows() }
        function onPreferencesChanged() { table.refreshRows() }
        function onOptionsChanged() { table.refreshRows() }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.space16
        spacing: Theme.space8

        // Anchored, not a row layout: the title always keeps the width of its current language
        // (a layout could keep the width of the previous one), and the count gives way.
        Item {
            Layout.fillWidth: true
            implicitHeight: Math.max(tableTitle.implicitHeight, ruleSearch.implicitHeight)

            Txt {
                id: tableTitle
                theme: table.w
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: table.w.tr("Назначения", "Mappings")
                font.pixelSize: Theme.fontBlock
                font.weight: Font.DemiBold
                wrapMode: Text.NoWrap
            }

            Hint {
                theme: table.w
                anchors.left: tableTitle.right
                anchors.leftMargin: Theme.space12
                anchors.right: ruleSearch.left
                anchors.rightMargin: Theme.space12
                anchors.verticalCenter: parent.verticalCenter
                wrapMode: Text.NoWrap
                elide: Text.ElideRight
                text: table.app.rules.length + table.w.tr(" из 256", " of 256")
            }

            Edit {
                id: ruleSearch
                objectName: "ruleSearch"
                theme: table.w
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                width: Theme.space32 * 7
                placeholderText: table.w.tr("Найти назначение…", "Find a mapping…")
                Accessible.name: table.w.tr("Поиск назначений", "Search mappings")
                onTextChanged: table.refreshRows()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.space8

            Hint {
                theme: table.w
                Layout.preferredWidth: table.nameWidth
                text: table.w.tr("Название", "Name")
            }
            Hint {
                theme: table.w
                Layout.preferredWidth: table.sourceWidth
                text: table.w.page === table.w.pageKeyboard ? table.w.tr("Клавиша", "Key") : table.w.tr("Кнопка", "Button")
            }
            Hint {
                theme: table.w
                Layout.fillWidth: true
                text: table.w.tr("Действие", "Action")
            }
            Item {
                Layout.preferredWidth: table.iconsWidth
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: rulesList
                objectName: "rulesList"
                anchors.fill: parent
                clip: true
                spacing: Theme.space2
                boundsBehavior: Flickable.StopAtBounds
                // Rows are made when shown, never in the background: a row half made when the window
                // closes would be left behind.
                cacheBuffer: 0
                model: table.shownRules.length
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

                delegate: ItemDelegate {
                    id: row
                    required property int index
                    readonly property var entry: table.shownRules[index] !== undefined ? table.shownRules[index] : ({})
                    readonly property string identity: entry.identity !== undefined ? entry.identity : ""
                    readonly property string storedName: entry.name !== undefined ? entry.name : ""
                    readonly property string sourceLabel: entry.sourceLabel !== undefined ? entry.sourceLabel : ""
                    readonly property string targetLabel: entry.targetLabel !== undefined ? entry.targetLabel : ""
                    readonly property bool keepsOriginal: entry.keepOriginal === true
                    readonly property string originalCaption: table.w.tr("Также исходное действие", "Also keep the original action")
                    objectName: "ruleRow_" + identity
                    width: rulesList.width
                    implicitHeight: Math.max(48, cells.implicitHeight + topPadding + bottomPadding)
                    highlighted: entry.source === table.app.sourceId
                        && (entry.modifiers !== undefined ? entry.modifiers : 0) === table.app.sourceModifiers
                    Accessible.name: (storedName.length > 0 ? storedName : sourceLabel) + " → " + targetLabel
                        + (keepsOriginal ? "; " + originalCaption : "")
                    onClicked: table.app.selectRule(identity)

                    background: Rectangle {
                        radius: Theme.controlRadius
                        color: row.highlighted ? table.w.surfaceRaised : row.hovered ? table.w.canvas : table.w.paper
                    }

                    // The cells are the row's own children: they hold named items, which a
                    // deferred content item would not allow.
                    contentItem: Item {}

                    RowLayout {
                        id: cells
                        anchors.fill: parent
                        anchors.leftMargin: row.leftPadding
                        anchors.rightMargin: row.rightPadding
                        anchors.topMargin: row.topPadding
                        anchors.bottomMargin: row.bottomPadding
                        spacing: Theme.space8

                        Edit {
                            id: nameField
                            objectName: "ruleName_" + row.identity
                            theme: table.w
                            Layout.preferredWidth: table.nameWidth
                            text: row.storedName
                            maximumLength: 80
                            placeholderText: table.w.tr("Без названия", "Unnamed")
                            Accessible.name: table.w.tr("Название правила для ", "Mapping name for ") + row.sourceLabel
                            onEditingFinished: {
                                if (text === row.storedName)
                                    return
                                if (!table.app.renameRule(row.identity, text))
                                    text = row.storedName
                            }
                        }

                        Txt {
                            theme: table.w
                            Layout.preferredWidth: table.sourceWidth
                            text: row.sourceLabel
                            elide: Text.ElideRight
                            maximumLineCount: 2
                        }

                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 0
                            Txt {
                                theme: table.w
                                Layout.fillWidth: true
                                text: row.targetLabel
                            }
                            Hint {
                                objectName: "ruleOriginalPolicy_" + row.identity
                                theme: table.w
                                Layout.fillWidth: true
                                visible: row.keepsOriginal
                                text: row.originalCaption
                            }
                        }

                        IconAct {
                            theme: table.w
                            icon.source: "qrc:/assets/icons/profiles.svg"
                            icon.color: row.entry.inherited ? table.w.accent : table.w.muted
                            focusPolicy: Qt.NoFocus
                            text: row.entry.inherited ? table.w.tr("Из базового профиля или слоя", "From the base profile or layer")
                                : table.w.tr("В этом слое", "In this layer")
                        }

                        IconAct {
                            id: menuButton
                            objectName: "ruleActions_" + row.identity
                            theme: table.w
                            icon.source: "qrc:/assets/icons/more.svg"
                            text: table.w.tr("Действия с назначением", "Mapping actions")
                            onClicked: ruleMenu.popup(menuButton, 0, menuButton.height)

                            Menu {
                                id: ruleMenu
                                objectName: "ruleMenu_" + row.identity
                                MenuItem {
                                    text: table.w.tr("Изменить", "Edit")
                                    onTriggered: table.app.selectRule(row.identity)
                                }
                                MenuItem {
                                    text: table.w.tr("Удалить", "Delete")
                                    enabled: !row.entry.inherited
                                    onTriggered: table.app.removeRule(row.identity)
                                }
                            }
                        }
                    }
                }
            }

            Hint {
                theme: table.w
                anchors.centerIn: parent
                width: Math.min(parent.width - 32, implicitWidth)
                horizontalAlignment: Text.AlignHCenter
                visible: rulesList.count === 0
                text: ruleSearch.text.length > 0 ? table.w.tr("Ничего не найдено", "No matching mappings")
                    : table.w.tr("Выберите источник и сохраните первое назначение", "Select a source and save a mapping")
            }
        }
    }
}
