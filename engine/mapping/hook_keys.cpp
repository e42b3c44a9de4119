#include "engine/mapping/hook_keys.h"

namespace vorna::windows {

namespace {

struct KeypadKey {
    uint8_t scanCode;
    uint8_t navigationVk;
    uint8_t keypadVk;
};

constexpr KeypadKey kKeypadKeys[] = {
    {0x47, 0x24, 0x67}, {0x48, 0x26, 0x68}, {0x49, 0x21, 0x69}, {0x4B, 0x25, 0x64},
    {0x4C, 0x0C, 0x65}, {0x4D, 0x27, 0x66}, {0x4F, 0x23, 0x61}, {0x50, 0x28, 0x62},
    {0x51, 0x22, 0x63}, {0x52, 0x2D, 0x60}, {0x53, 0x2E, 0x6E},
};

} // namespace

uint32_t keypadKeyFor(uint32_t scanCode, uint32_t vk, bool extended)
{
    if (extended)
        return 0;
    for (const KeypadKey& k : kKeypadKeys) {
        if (k.scanCode == scanCode && k.navigationVk == vk)
            return k.keypadVk;
    }
    return 0;
}

uint32_t keyStateCodeFor(uint32_t slot)
{
    if (slot == kNumpadEnterSlot)
        return 13;
    if (slot < 0x60 || (slot > 0x69 && slot != 0x6E)) // not a keypad key: every fresh press asks
        return 0;
    for (const KeypadKey& k : kKeypadKeys) {
        if (k.keypadVk == slot)
            return k.navigationVk;
    }
    return 0;
}

uint32_t renamedSlotFor(uint32_t code)
{
    if (code == 13)
        return kNumpadEnterSlot;
    for (const KeypadKey& k : kKeypadKeys) {
        if (k.navigationVk == code)
            return k.keypadVk;
    }
    return 0;
}

bool isPanicChord(uint32_t vk, bool release, const bool (&physicalDown)[257])
{
    if (release || (vk != 0x13 && vk != 0x03 && vk != 0x7B))
        return false;
    const bool ctrl = physicalDown[0xA2] || physicalDown[0xA3] || physicalDown[0x11];
    const bool alt = physicalDown[0xA4] || physicalDown[0xA5] || physicalDown[0x12];
    return ctrl && alt;
}

} // namespace vorna::windows
