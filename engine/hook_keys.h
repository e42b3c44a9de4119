// Key facts the low-level hooks decide on before anything else: whether an event is this
// program's own output, the keypad keys Windows reports as navigation keys while NumLock is
// off, and the panic chord.
#pragma once

#include "engine/injection_marker.h"

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

constexpr uint16_t kNumpadEnterSlot = 256; // physical-down slot of the extended Enter key

// Ctrl+Alt+Pause or Ctrl+Alt+F12, left or right modifiers alike, on a press or repeat.
// `physicalDown` holds what the keyboard hook last saw of each key (256: numpad Enter).
bool isPanicChord(uint32_t vk, bool release, const bool (&physicalDown)[257]);

} // namespace vorna::windows
