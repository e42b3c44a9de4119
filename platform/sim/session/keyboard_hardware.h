// What a physical keyboard sends: the scan code of each key (set 1, US layout) and the
// virtual key Windows makes of it, keypad keys following the Num Lock state.
#pragma once

#include "platform/sim/win32/win32_types.h"

namespace vorna::sim {

// A virtual-key code outside 0-255 that names the keypad's Enter key.
constexpr UINT kNumpadEnter = 0x1000D;

struct HardwareKey {
    WORD scan = 0;
    bool extended = false;
};

// The key that produces a virtual key: VK_HOME is the navigation block's (extended), VK_NUMPAD7
// the keypad's; generic Shift, Ctrl and Alt are the left keys. Scan 0 when there is none.
HardwareKey hardwareKeyFor(UINT virtualKey);
// The virtual key Windows reports for a scan code: keypad keys without the extended flag are the
// digits with Num Lock on and the navigation keys with it off. 0 when unknown.
WORD virtualKeyFor(HardwareKey key, bool numLockOn);
// The left/right form of a generic modifier (16, 17, 18), choosing the right key when extended.
WORD sidedModifier(WORD virtualKey, bool extended);

// What the keyboard itself keeps between key events: its Ctrl keys, and how the held Pause key
// went down. With a Ctrl key down, the keyboard sends Pause as Break (scan 0x46 with the E0
// prefix), which Windows reports as VK_CANCEL; the release follows the press's form.
class KeyboardState {
public:
    // The key the keyboard sends for a physical press or release of `key`.
    HardwareKey send(HardwareKey key, bool up);

private:
    bool m_leftCtrl = false;
    bool m_rightCtrl = false;
    enum class Pause : unsigned char { Up, AsPause, AsBreak } m_pause = Pause::Up;
};

} // namespace vorna::sim
