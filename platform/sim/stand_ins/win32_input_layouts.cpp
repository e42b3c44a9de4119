// GetKeyboardLayout and MapVirtualKeyExW over the session's per-thread layouts and the
// keyboard's scan codes.
#include "platform/sim/session/keyboard_hardware.h"
#include "platform/sim/session/keyboard_layouts.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

namespace {

// MAPVK_VSC_TO_VK gives the modifier keys without their side.
WORD genericModifier(WORD virtualKey)
{
    switch (virtualKey) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return virtualKey;
    }
}

} // namespace

using namespace vorna::sim;

HKL WINAPI GetKeyboardLayout(DWORD idThread)
{
    const DWORD thread = idThread == 0 ? GetCurrentThreadId() : idThread;
    return reinterpret_cast<HKL>(static_cast<std::uintptr_t>(processSession().keyboardLayout(thread)));
}

UINT WINAPI MapVirtualKeyExW(UINT uCode, UINT uMapType, HKL dwhkl)
{
    const auto layout = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(dwhkl));
    switch (uMapType) {
    case MAPVK_VK_TO_VSC:
        return uCode > 0xFF ? 0 : hardwareKeyFor(layoutKey(layout, uCode)).scan;
    case MAPVK_VSC_TO_VK:
    case MAPVK_VSC_TO_VK_EX: {
        if (uCode > 0xFF)
            return 0;
        // Keypad scan codes give the navigation keys, as without Num Lock.
        const WORD key = static_cast<WORD>(layoutKey(layout, virtualKeyFor({static_cast<WORD>(uCode), false}, false)));
        return uMapType == MAPVK_VSC_TO_VK ? genericModifier(key) : key;
    }
    case MAPVK_VK_TO_CHAR:
        return uCode > 0xFF ? 0 : layoutCharacter(layout, uCode);
    default:
        return 0;
    }
}
