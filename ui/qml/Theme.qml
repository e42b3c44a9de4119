pragma Singleton
import QtQuick

// Read-only constants of the interface: base colours, text sizes, sizes and the spacing scale.
// The window resolves the theme-dependent colours from these (Main.qml, paletteColor).
QtObject {
    // Without the Windows families (a check run off Windows), the application's own font: the
    // system would otherwise pick a stand-in from whatever fonts the machine has.
    readonly property string fontFamily: hasFamily("Segoe UI Variable") ? "Segoe UI Variable"
        : hasFamily("Segoe UI") ? "Segoe UI" : applicationFont.font.family
    // A text's default font is the application's.
    readonly property Text applicationFont: Text {}

    function hasFamily(name) {
        var families = Qt.fontFamilies()
        for (var i = 0; i < families.length; ++i) {
            if (families[i] === name)
                return true
        }
        return false
    }

    readonly property color black: "#000000"
    readonly property color white: "#FFFFFF"
    readonly property color darkCanvas: "#0F1012"
    readonly property color lightCanvas: "#F6F5F3"
    readonly property color darkPaper: "#17181B"
    readonly property color lightPaper: "#FFFFFF"
    readonly property color darkSurfaceRaised: "#1F2125"
    readonly property color lightSurfaceRaised: "#F1EFEB"
    readonly property color darkInk: "#F3F4F6"
    readonly property color lightInk: "#1E2024"
    readonly property color darkMuted: "#A9AEB6"
    readonly property color lightMuted: "#5C6168"
    readonly property color darkLine: "#2C2F34"
    readonly property color lightLine: "#DEDBD6"
    readonly property color gold: "#FFC45D"
    readonly property color goldText: "#17110A"
    readonly property color lightAccent: "#8A4A00"
    readonly property color contrastAccent: "#FFFF00"
    readonly property color darkSuccess: "#3FB97A"
    readonly property color lightSuccess: "#187A47"
    readonly property color darkWarning: "#F0A030"
    readonly property color lightWarning: "#A15C00"
    readonly property color darkDanger: "#E95D54"
    readonly property color lightDanger: "#C4362E"
    readonly property color pressedGold: "#F2B342"
    readonly property color transparent: "transparent"
    readonly property color darkNotice: "#1F2125"
    readonly property color lightNotice: "#F1EFEB"
    readonly property color darkNoticeText: "#F3F4F6"
    readonly property color lightNoticeText: "#1E2024"
    readonly property color shadowTint: "#50000000"
    // The frame of a field and the box of a check box: at least 3:1 against paper, canvas and
    // raised surfaces in both the dark and the light theme, so a control is found by its outline.
    readonly property color controlOutline: "#767B82"

    // The mouse picture looks the same in every theme.
    readonly property color mouseGraphite: "#CBCDD1"
    readonly property color mouseGraphiteBottom: "#C5C8CD"
    readonly property color mouseGraphiteHover: "#D5D7DB"
    readonly property color mouseGraphiteHoverBottom: "#CFD2D7"
    readonly property color mouseGraphiteInk: "#15171A"
    readonly property color mouseGraphiteMuted: "#4A4F56"
    readonly property color mouseGraphiteLine: "#656B72"
    readonly property color mouseGraphiteAccent: "#7E4300"
    readonly property color mouseGraphiteWarning: "#7C4200"

    // Older names that some pages still use.
    readonly property color navigationPaper: darkPaper
    readonly property color selectedNavigation: darkSurfaceRaised
    readonly property color hoverNavigation: darkSurfaceRaised
    readonly property color dangerText: darkDanger
    readonly property color failureText: darkDanger
    readonly property color exitText: darkInk
    readonly property color activeStatus: darkSuccess
    readonly property color selectedModel: lightAccent
    readonly property color modelBorder: lightLine
    readonly property color markerInk: goldText
    readonly property color unboundMarker: lightSurfaceRaised
    readonly property color markerBorder: lightAccent
    readonly property color unboundMarkerBorder: lightMuted
    readonly property color markerFocus: lightInk

    readonly property int fontCaption: 13
    readonly property int fontBody: 14
    readonly property int fontSubheading: 16
    readonly property int fontBlock: 20
    readonly property int fontPage: 28
    readonly property int font9: fontCaption
    readonly property int font10: fontCaption
    readonly property int font11: fontCaption
    readonly property int font12: fontCaption
    readonly property int font13: fontCaption
    readonly property int font14: fontBody
    readonly property int font16: fontSubheading
    readonly property int font17: fontSubheading
    readonly property int font18: fontSubheading
    readonly property int font19: fontBlock
    readonly property int font20: fontBlock
    readonly property int font23: fontPage
    readonly property int font24: fontPage
    readonly property int font25: fontPage
    readonly property int font26: fontPage
    readonly property int font28: fontPage

    readonly property int controlRadius: 8
    readonly property int cardRadius: 12
    readonly property int focusWidth: 2
    readonly property int activeStripeWidth: 3
    readonly property int headerHeight: 56
    readonly property int railWidth: 88
    readonly property int navigationIconSize: 24
    readonly property int controlIconSize: 20
    readonly property int animationMilliseconds: 140
    readonly property int toastLifetimeMilliseconds: 5000
    readonly property int mouseSelectorHeight: 88
    readonly property int mouseSelectorCardWidth: 128
    readonly property int mouseSelectorImageHeight: 68
    readonly property int mouseSelectorImageWidth: 40

    // Spacing on the grid of 4 and 8; several names share a value.
    readonly property int space0: 0
    readonly property int space1: 1
    readonly property int space2: 2
    readonly property int space3: 3
    readonly property int space4: 4
    readonly property int space5: 4
    readonly property int space6: 6
    readonly property int space7: 8
    readonly property int space8: 8
    readonly property int space9: 8
    readonly property int space10: 12
    readonly property int space11: 12
    readonly property int space12: 12
    readonly property int space14: 12
    readonly property int space15: 16
    readonly property int space16: 16
    readonly property int space18: 16
    readonly property int space20: 24
    readonly property int space24: 24
    readonly property int space25: 24
    readonly property int space32: 32
    readonly property int space35: 32
    readonly property int space42: 40
    readonly property int space64: 64
}
