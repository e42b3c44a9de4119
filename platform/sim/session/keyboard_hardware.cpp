#include "platform/sim/session/keyboard_hardware.h"

#include "platform/sim/win32/win32_input.h"

#include <array>

namespace vorna::sim {
namespace {

struct Row {
    WORD virtualKey;
    WORD scan;
    bool extended;
};

// Scan codes of the US keyboard (set 1). Keypad digits are listed with their Num Lock form.
constexpr Row rows[] = {
    {VK_ESCAPE, 0x01, false}, {'1', 0x02, false}, {'2', 0x03, false}, {'3', 0x04, false}, {'4', 0x05, false},
    {'5', 0x06, false}, {'6', 0x07, false}, {'7', 0x08, false}, {'8', 0x09, false}, {'9', 0x0A, false},
    {'0', 0x0B, false}, {VK_OEM_MINUS, 0x0C, false}, {VK_OEM_PLUS, 0x0D, false}, {VK_BACK, 0x0E, false},
    {VK_TAB, 0x0F, false}, {'Q', 0x10, false}, {'W', 0x11, false}, {'E', 0x12, false}, {'R', 0x13, false},
    {'T', 0x14, false}, {'Y', 0x15, false}, {'U', 0x16, false}, {'I', 0x17, false}, {'O', 0x18, false},
    {'P', 0x19, false}, {VK_OEM_4, 0x1A, false}, {VK_OEM_6, 0x1B, false}, {VK_RETURN, 0x1C, false},
    {VK_LCONTROL, 0x1D, false}, {'A', 0x1E, false}, {'S', 0x1F, false}, {'D', 0x20, false}, {'F', 0x21, false},
    {'G', 0x22, false}, {'H', 0x23, false}, {'J', 0x24, false}, {'K', 0x25, false}, {'L', 0x26, false},
    {VK_OEM_1, 0x27, false}, {VK_OEM_7, 0x28, false}, {VK_OEM_3, 0x29, false}, {VK_LSHIFT, 0x2A, false},
    {VK_OEM_5, 0x2B, false}, {'Z', 0x2C, false}, {'X', 0x2D, false}, {'C', 0x2E, false}, {'V', 0x2F, false},
    {'B', 0x30, false}, {'N', 0x31, false}, {'M', 0x32, false}, {VK_OEM_COMMA, 0x33, false},
    {VK_OEM_PERIOD, 0x34, false}, {VK_OEM_2, 0x35, false}, {VK_RSHIFT, 0x36, false}, {VK_MULTIPLY, 0x37, false},
    {VK_LMENU, 0x38, false}, {VK_SPACE, 0x39, false}, {VK_CAPITAL, 0x3A, false}, {VK_F1, 0x3B, false},
    {VK_F2, 0x3C, false}, {VK_F3, 0x3D, false}, {VK_F4, 0x3E, false}, {VK_F5, 0x3F, false}, {VK_F6, 0x40, false},
    {VK_F7, 0x41, false}, {VK_F8, 0x42, false}, {VK_F9, 0x43, false}, {VK_F10, 0x44, false},
    {VK_PAUSE, 0x45, false}, {VK_SCROLL, 0x46, false}, {VK_NUMPAD7, 0x47, false}, {VK_NUMPAD8, 0x48, false},
    {VK_NUMPAD9, 0x49, false}, {VK_SUBTRACT, 0x4A, false}, {VK_NUMPAD4, 0x4B, false}, {VK_NUMPAD5, 0x4C, false},
    {VK_NUMPAD6, 0x4D, false}, {VK_ADD, 0x4E, false}, {VK_NUMPAD1, 0x4F, false}, {VK_NUMPAD2, 0x50, false},
    {VK_NUMPAD3, 0x51, false}, {VK_NUMPAD0, 0x52, false}, {VK_DECIMAL, 0x53, false}, {VK_OEM_102, 0x56, false},
    {VK_F11, 0x57, false}, {VK_F12, 0x58, false}, {VK_F13, 0x64, false}, {VK_F14, 0x65, false},
    {VK_F15, 0x66, false}, {VK_F16, 0x67, false}, {VK_F17, 0x68, false}, {VK_F18, 0x69, false},
    {VK_F19, 0x6A, false}, {VK_F20, 0x6B, false}, {VK_F21, 0x6C, false}, {VK_F22, 0x6D, false},
    {VK_F23, 0x6E, false}, {VK_F24, 0x76, false},
    // The E0-prefixed keys; Break is what Pause sends while a Ctrl key is down.
    {VK_CANCEL, 0x46, true},
    {VK_MEDIA_PREV_TRACK, 0x10, true}, {VK_MEDIA_NEXT_TRACK, 0x19, true}, {VK_RCONTROL, 0x1D, true},
    {VK_VOLUME_MUTE, 0x20, true}, {VK_LAUNCH_APP2, 0x21, true}, {VK_MEDIA_PLAY_PAUSE, 0x22, true},
    {VK_MEDIA_STOP, 0x24, true}, {VK_VOLUME_DOWN, 0x2E, true}, {VK_VOLUME_UP, 0x30, true},
    {VK_BROWSER_HOME, 0x32, true}, {VK_DIVIDE, 0x35, true}, {VK_SNAPSHOT, 0x37, true}, {VK_RMENU, 0x38, true},
    {VK_NUMLOCK, 0x45, true}, {VK_HOME, 0x47, true}, {VK_UP, 0x48, true}, {VK_PRIOR, 0x49, true},
    {VK_LEFT, 0x4B, true}, {VK_RIGHT, 0x4D, true}, {VK_END, 0x4F, true}, {VK_DOWN, 0x50, true},
    {VK_NEXT, 0x51, true}, {VK_INSERT, 0x52, true}, {VK_DELETE, 0x53, true}, {VK_LWIN, 0x5B, true},
    {VK_RWIN, 0x5C, true}, {VK_APPS, 0x5D, true}, {VK_SLEEP, 0x5F, true}, {VK_BROWSER_SEARCH, 0x65, true},
    {VK_BROWSER_FAVORITES, 0x66, true}, {VK_BROWSER_REFRESH, 0x67, true}, {VK_BROWSER_STOP, 0x68, true},
    {VK_BROWSER_FORWARD, 0x69, true}, {VK_BROWSER_BACK, 0x6A, true}, {VK_LAUNCH_APP1, 0x6B, true},
    {VK_LAUNCH_MAIL, 0x6C, true}, {VK_LAUNCH_MEDIA_SELECT, 0x6D, true},
};

// Keypad keys with Num Lock off: the navigation key each one becomes.
struct KeypadRow {
    WORD scan;
    WORD numLockOn;
    WORD numLockOff;
};
constexpr KeypadRow keypad[] = {
    {0x47, VK_NUMPAD7, VK_HOME}, {0x48, VK_NUMPAD8, VK_UP},   {0x49, VK_NUMPAD9, VK_PRIOR},
    {0x4B, VK_NUMPAD4, VK_LEFT}, {0x4C, VK_NUMPAD5, VK_CLEAR}, {0x4D, VK_NUMPAD6, VK_RIGHT},
    {0x4F, VK_NUMPAD1, VK_END},  {0x50, VK_NUMPAD2, VK_DOWN}, {0x51, VK_NUMPAD3, VK_NEXT},
    {0x52, VK_NUMPAD0, VK_INSERT}, {0x53, VK_DECIMAL, VK_DELETE},
};

} // namespace

HardwareKey hardwareKeyFor(UINT virtualKey)
{
    if (virtualKey == kNumpadEnter)
        return {0x1C, true};
    if (virtualKey == VK_SHIFT || virtualKey == VK_CONTROL || virtualKey == VK_MENU)
        virtualKey = sidedModifier(static_cast<WORD>(virtualKey), false);
    if (virtualKey == VK_CLEAR)
        return {0x4C, false}; // keypad 5 with Num Lock off; there is no other Clear key
    for (const Row& row : rows) {
        if (row.virtualKey == virtualKey)
            return {row.scan, row.extended};
    }
    return {};
}

WORD virtualKeyFor(HardwareKey key, bool numLockOn)
{
    if (!key.extended) {
        for (const KeypadRow& row : keypad) {
            if (row.scan == key.scan)
                return numLockOn ? row.numLockOn : row.numLockOff;
        }
    }
    if (key.extended && key.scan == 0x1C)
        return VK_RETURN; // the keypad's Enter: VK_RETURN with the extended flag
    for (const Row& row : rows) {
        if (row.scan == key.scan && row.extended == key.extended)
            return row.virtualKey;
    }
    return 0;
}

HardwareKey KeyboardState::send(HardwareKey key, bool up)
{
    constexpr WORD ctrlScan = 0x1D;
    constexpr HardwareKey pause{0x45, false};
    constexpr HardwareKey breakKey{0x46, true};
    if (key.scan == ctrlScan)
        (key.extended ? m_rightCtrl : m_leftCtrl) = !up;
    if (key.scan != pause.scan || key.extended != pause.extended)
        return key;
    // A fresh press decides the form; a repeat and the release keep it.
    if (m_pause == Pause::Up)
        m_pause = m_leftCtrl || m_rightCtrl ? Pause::AsBreak : Pause::AsPause;
    const bool asBreak = m_pause == Pause::AsBreak;
    if (up)
        m_pause = Pause::Up;
    return asBreak ? breakKey : pause;
}

WORD sidedModifier(WORD virtualKey, bool extended)
{
    switch (virtualKey) {
    case VK_SHIFT:
        return VK_LSHIFT; // both Shift keys are distinguished by scan code, not the E0 prefix
    case VK_CONTROL:
        return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU:
        return extended ? VK_RMENU : VK_LMENU;
    default:
        return virtualKey;
    }
}

} // namespace vorna::sim
