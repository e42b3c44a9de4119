import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../.."

// The selected profile's name, and creating, duplicating and deleting profiles. The deletion
// asks first and deletes only the profile that was selected when it asked.
Card {
    id: card
    objectName: "profileIdentityCard"
    required property var windowRoot
    readonly property var w: windowRoot
    readonly property alias profileNameObject: nameField
    theme: windowRoot
    implicitHeight: content.implicitHeight + 2 * Theme.space16

    ColumnLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: Theme.space16
        spacing: Theme.space8

        Txt {
            theme: card.w
            text: card.w.tr("Профиль", "Profile")
            font.pixelSize: Theme.fontBlock
            font.weight: Font.DemiBold
        }

        Hint {
            theme: card.w
            text: card.w.tr("Название", "Name")
        }

        Edit {
            id: nameField
            objectName: "profileName"
            theme: card.w
            Layout.fillWidth: true
            placeholderText: card.w.tr("Название профиля", "Profile name")
            Accessible.name: placeholderText
            Component.onCompleted: text = card.w.profile.name !== undefined ? card.w.profile.name : ""
        }

        Flow {
            Layout.fillWidth: true
            spacing: Theme.space8

            Act {
                theme: card.w
                text: card.w.tr("Новый", "New")
                onClicked: card.w.app.addProfile(nameField.text, false)
            }

            Act {
                objectName: "duplicateProfileAction"
                theme: card.w
                text: card.w.tr("Дублировать", "Duplicate")
                onClicked: card.w.app.addProfile(nameField.text + card.w.tr(" — копия", " — copy"), true)
            }

            Act {
                objectName: "deleteProfileAction"
                theme: card.w
                danger: true
                enabled: card.w.app.profileIndex !== 0
                text: card.w.tr("Удалить", "Delete")
                onClicked: confirmation.open()
            }
        }
    }

    Dialog {
        id: confirmation
        objectName: "deleteProfileConfirmation"
        // Taken when the dialog opens: a selection change meanwhile cancels the deletion.
        property string profileId: ""
        property string profileName: ""
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        width: Math.min(480, card.w.width - 32)
        padding: Theme.space16
        title: card.w.tr("Удалить профиль?", "Delete profile?")

        onAboutToShow: {
            profileId = card.w.profile.id !== undefined ? card.w.profile.id : ""
            profileName = card.w.profile.name !== undefined ? card.w.profile.name : ""
        }
        onAccepted: {
            if (card.w.app.profileIndex !== 0 && card.w.profile.id === profileId)
                card.w.app.deleteProfile()
        }

        background: Rectangle {
            color: card.w.paper
            border.color: card.w.line
            radius: Theme.cardRadius
        }

        header: Txt {
            theme: card.w
            padding: Theme.space16
            bottomPadding: 0
            text: confirmation.title
            font.pixelSize: Theme.fontSubheading
            font.weight: Font.DemiBold
        }

        contentItem: Txt {
            theme: card.w
            text: card.w.tr("Будут удалены профиль «" + confirmation.profileName + "» и его назначения",
                "The profile “" + confirmation.profileName + "” and its mappings will be deleted")
        }

        footer: RowLayout {
            spacing: Theme.space8
            Item {
                Layout.fillWidth: true
            }
            Act {
                objectName: "confirmDeleteProfile"
                theme: card.w
                danger: true
                text: card.w.tr("Да", "Yes")
                onClicked: confirmation.accept()
            }
            Act {
                theme: card.w
                text: card.w.tr("Отмена", "Cancel")
                onClicked: confirmation.reject()
            }
        }
    }
}
