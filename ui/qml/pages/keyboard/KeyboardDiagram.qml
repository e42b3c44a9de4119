import QtQuick
import QtQuick.Controls
import "../.."

// The drawn keyboard: a header with the layout and the keypad switch, then the keys in a scroll
// area that keeps them readable on narrow cards.
Item {
    id: diagram
    required property var app
    required property var theme
    property bool numpad: false

    // [virtual-key code, default caption, width in key units]
    readonly property var mainRows: [
        [[27, "Esc"], [112, "F1"], [113, "F2"], [114, "F3"], [115, "F4"], [116, "F5"], [117, "F6"], [118, "F7"], [119, "F8"], [120, "F9"], [121, "F10"], [122, "F11"], [123, "F12"], [44, "PrtSc"], [145, "ScrLk"], [19, "Pause"]],
        [[192, "`"], [49, "1"], [50, "2"], [51, "3"], [52, "4"], [53, "5"], [54, "6"], [55, "7"], [56, "8"], [57, "9"], [48, "0"], [189, "−"], [187, "="], [8, "⌫", 2], [45, "Ins"], [36, "Home"], [33, "PgUp"]],
        [[9, "Tab", 1.5], [81, "Q"], [87, "W"], [69, "E"], [82, "R"], [84, "T"], [89, "Y"], [85, "U"], [73, "I"], [79, "O"], [80, "P"], [219, "["], [221, "]"], [220, "\\", 1.5], [46, "Del"], [35, "End"], [34, "PgDn"]],
        [[20, "Caps", 1.8], [65, "A"], [83, "S"], [68, "D"], [70, "F"], [71, "G"], [72, "H"], [74, "J"], [75, "K"], [76, "L"], [186, ";"], [222, "'"], [13, "Enter", 2.2]],
        [[160, "L Shift", 2.3], [90, "Z"], [88, "X"], [67, "C"], [86, "V"], [66, "B"], [78, "N"], [77, "M"], [188, ","], [190, "."], [191, "/"], [161, "R Shift", 2.7], [38, "↑"]],
        [[162, "L Ctrl", 1.5], [91, "Win"], [164, "L Alt", 1.5], [32, "Space", 5], [165, "R Alt", 1.5], [92, "Win"], [93, "Menu"], [163, "R Ctrl", 1.5], [37, "←"], [40, "↓"], [39, "→"]]
    ]
    // [input id, caption with Num Lock on, caption with Num Lock off]
    readonly property var keypadKeys: [
        ["key_144", "NumLock"], ["key_111", "÷"], ["key_106", "×"], ["key_109", "−"],
        ["key_103", "7", "Home"], ["key_104", "8", "↑"], ["key_105", "9", "PgUp"], ["key_107", "+"],
        ["key_100", "4", "←"], ["key_101", "5", "Clear"], ["key_102", "6", "→"],
        ["key_97", "1", "End"], ["key_98", "2", "↓"], ["key_99", "3", "PgDn"],
        ["key_96", "0", "Ins"], ["key_110", ".", "Del"], ["key_numpad_enter", "Enter"]
    ]
    readonly property int keySpacing: 4
    readonly property real keyUnit: (keysContent.width - 18 * keySpacing) / 19
    // The sources that have a rule in the selected profile and layer.
    readonly property var assignedSources: {
        const sources = {};
        for (const rule of diagram.app.rules)
            sources[rule.source] = true;
        return sources;
    }

    function mainCaption(code, fallback) {
        const label = diagram.app.keyboardLabels[String(code)];
        return label !== undefined && label !== "" ? label : fallback;
    }

    Row {
        id: header
        width: parent.width
        spacing: 12

        Txt {
            theme: diagram.theme
            anchors.verticalCenter: parent.verticalCenter
            text: diagram.theme.tr("Клавиатура", "Keyboard") + " · " + (diagram.app.keyboardLayout !== "" ? diagram.app.keyboardLayout : "EN")
            font.pixelSize: 16
            font.weight: Font.DemiBold
            wrapMode: Text.NoWrap
        }
        Txt {
            theme: diagram.theme
            anchors.verticalCenter: parent.verticalCenter
            visible: diagram.numpad
            text: diagram.app.numLock ? "NumLock ON" : "NumLock OFF"
            color: diagram.theme.muted
            wrapMode: Text.NoWrap
        }
        CheckBox {
            objectName: "showNumpad"
            anchors.verticalCenter: parent.verticalCenter
            text: "NumPad"
            font.family: Theme.fontFamily
            checked: diagram.numpad
            onToggled: diagram.numpad = checked
            Accessible.name: diagram.theme.tr("Показать NumPad", "Show NumPad")
        }
        InfoPopover {
            objectName: "keyboardDiagramInfo"
            anchors.verticalCenter: parent.verticalCenter
            theme: diagram.theme
            Accessible.name: diagram.theme.tr("Как читать схему клавиатуры", "How to read the keyboard diagram")
            explanation: diagram.theme.tr(
                "Рамка — выбранная клавиша, заливка — физическое нажатие, точка в углу — сохранённое назначение\nФизический ввод и фактический результат показаны под схемой\nКлавиши мультимедиа и другие источники доступны в списке справа",
                "The outline shows selection, the fill shows a physical press, and a corner dot marks a saved mapping\nPhysical input and actual output appear below the diagram\nMedia keys and other sources are available in the list on the right")
        }
    }

    ScrollView {
        id: keysViewport
        objectName: "keyboardKeysViewport"
        anchors.top: header.bottom
        anchors.topMargin: 12
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        clip: true
        contentWidth: keysContent.width
        contentHeight: keysContent.height
        // The keyboard scrolls on narrow cards instead of shrinking its captions; the bars stay in
        // sight then, so a cut-off keyboard reads as one that scrolls.
        ScrollBar.horizontal.policy: contentWidth > width ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
        ScrollBar.vertical.policy: contentHeight > height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
        Component.onCompleted: {
            const flick = contentItem;
            if (flick.boundsBehavior !== undefined)
                flick.boundsBehavior = Flickable.StopAtBounds;
        }

        Column {
            id: keysContent
            width: Math.max(960, diagram.width)
            spacing: diagram.keySpacing

            // Delegates are created in the repeater's context and reach the diagram by id.
            // qmllint disable unqualified
            Repeater {
                model: diagram.mainRows
                delegate: Row {
                    id: keyRow
                    required property var modelData
                    spacing: diagram.keySpacing
                    Repeater {
                        model: keyRow.modelData
                        delegate: KeyboardKey {
                            id: mainKey
                            required property var modelData
                            app: diagram.app
                            theme: diagram.theme
                            inputId: "key_" + mainKey.modelData[0]
                            objectName: "keyboardKey_" + mainKey.inputId
                            caption: diagram.mainCaption(mainKey.modelData[0], mainKey.modelData[1])
                            width: (mainKey.modelData.length > 2 ? mainKey.modelData[2] : 1) * diagram.keyUnit
                            assigned: diagram.assignedSources[mainKey.inputId] === true
                        }
                    }
                }
            }

            Flow {
                width: keysContent.width
                spacing: diagram.keySpacing
                visible: diagram.numpad
                Repeater {
                    model: diagram.keypadKeys
                    delegate: KeyboardKey {
                        id: padKey
                        required property var modelData
                        app: diagram.app
                        theme: diagram.theme
                        inputId: padKey.modelData[0]
                        objectName: "numpadKey_" + padKey.inputId
                        caption: !diagram.app.numLock && padKey.modelData.length > 2 ? padKey.modelData[2] : padKey.modelData[1]
                        width: 64
                        assigned: diagram.assignedSources[padKey.inputId] === true
                    }
                }
            }
            // qmllint enable unqualified
        }
    }
}
