// Key facts the low-level hooks decide on before anything else: whether an event is this
// program's own output, the keypad keys Windows reports as navigation keys while NumLock is
// off, the keys Windows sends with the extended flag, and the panic chord.
#pragma once

#include "engine/mapping/injection_marker.h"

#include <cstdint>

namespace vorna::windows {

// Own output needs both: our marker and the system's injected flag. Another program may copy
// the marker (not injected: physical) or inject without it (foreign injected input).
constexpr bool isOwnInjection(uint64_t extraInfo, bool injected)
{
    return injected && extraInfo == kInjectionMarker;
}

// A keypad key with NumLock off arrives as the navigation key with the keypad's scan code and
// without the extended flag; returns the keypad virtual key, or 0 when the key is not one.
uint32_t keypadKeyFor(uint32_t scanCode, uint32_t vk, bool extended);

// Virtual keys that Windows expects with the extended flag: the navigation block, Print Screen,
// the Windows and Applications keys, numpad Divide, NumLock, Right Ctrl and Right Alt. Whatever
// sends one of them (the output side, the watchdog's releases) sets KEYEVENTF_EXTENDEDKEY.
constexpr bool isExtendedKey(uint32_t vk)
{
    return (vk >= 33 && vk <= 40) || (vk >= 44 && vk <= 46) || (vk >= 91 && vk <= 93) || vk == 111 || vk == 144 ||
           vk == 163 || vk == 165;
}

constexpr uint16_t kNumpadEnterSlot = 256; // physical-down slot of the extended Enter key

// The system's key state has one entry for both Enter keys and, with NumLock off, one for a
// keypad key and its navigation key. For a hook slot (a virtual key, or 256 for numpad Enter)
// whose key the key state reports under another code, returns that code (13 for numpad Enter,
// the navigation key for a keypad key); 0 for every other slot.
uint32_t keyStateCodeFor(uint32_t slot);
// The reverse: the other hook slot a key-state code may stand for (256 for Enter, the keypad
// key for a navigation key); 0 for every other code.
uint32_t renamedSlotFor(uint32_t code);

// Ctrl+Alt+Pause or Ctrl+Alt+F12, left or right modifiers alike, on a press or repeat. With a
// Ctrl key down a keyboard sends Pause as Break, which the hook sees as VK_CANCEL (3).
// `physicalDown` holds what the keyboard hook last saw of each key (256: numpad Enter).
bool isPanicChord(uint32_t vk, bool release, const bool (&physicalDown)[257]);

} // namespace vorna::windows
