#include "engine/mapping/hook_keys.h"
#include "tests/support/bytes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace vorna::windows;

TEST(OwnInjection, NeedsMarkerAndInjectedFlag)
{
    const uint64_t marker = vorna::test::wordOfCharacters("RTIanroV");
    EXPECT_EQ(marker, kInjectionMarker);
    EXPECT_TRUE(isOwnInjection(marker, true));
    EXPECT_FALSE(isOwnInjection(marker, false)); // another program copying the marker: physical
    EXPECT_FALSE(isOwnInjection(marker + 1, true));
    EXPECT_FALSE(isOwnInjection(0, true));
}

TEST(KeypadRenaming, NavigationCodesWithKeypadScanCodes)
{
    struct Case {
        uint32_t scan, vk;
        bool extended;
        uint32_t keypad;
    };
    const Case cases[] = {
        {0x47, 0x24, false, 0x67}, {0x48, 0x26, false, 0x68}, {0x49, 0x21, false, 0x69},
        {0x4B, 0x25, false, 0x64}, {0x4C, 0x0C, false, 0x65}, {0x4D, 0x27, false, 0x66},
        {0x4F, 0x23, false, 0x61}, {0x50, 0x28, false, 0x62}, {0x51, 0x22, false, 0x63},
        {0x52, 0x2D, false, 0x60}, {0x53, 0x2E, false, 0x6E},
        {0x47, 0x24, true, 0},  // Home of the navigation block stays Home
        {0x53, 0x2E, true, 0},
        {0x47, 0x26, false, 0}, // scan code and key must both match
        {0x1E, 0x41, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keypadKeyFor(c.scan, c.vk, c.extended), c.keypad) << std::hex << c.scan << " " << c.vk;
}

// The key state has one code for both Enter keys and, with NumLock off, for a keypad key and
// its navigation key; both directions of that pairing.
TEST(KeyStateNames, KeypadKeysAndNumpadEnterPairWithTheirKeyStateCodes)
{
    struct Case {
        uint32_t slot, keyState;
    };
    const Case pairs[] = {{256, 13}, {0x67, 0x24}, {0x68, 0x26}, {0x69, 0x21}, {0x64, 0x25}, {0x65, 0x0C},
                          {0x66, 0x27}, {0x61, 0x23}, {0x62, 0x28}, {0x63, 0x22}, {0x60, 0x2D}, {0x6E, 0x2E}};
    for (const Case& c : pairs) {
        EXPECT_EQ(keyStateCodeFor(c.slot), c.keyState) << std::hex << c.slot;
        EXPECT_EQ(renamedSlotFor(c.keyState), c.slot) << std::hex << c.keyState;
    }
    for (uint32_t other : {0x41u, 0x6Au, 0x6Fu, 0x5Fu, 0x7Bu, 0xA2u})
        EXPECT_EQ(keyStateCodeFor(other), 0u) << std::hex << other;
    for (uint32_t other : {0x41u, 0x67u, 0x13u, 0x2Fu})
        EXPECT_EQ(renamedSlotFor(other), 0u) << std::hex << other;
}

TEST(PanicChord, CtrlAltWithPauseBreakOrF12)
{
    struct Case {
        uint32_t ctrl, alt, vk;
        bool release;
        bool panic;
    };
    const Case cases[] = {
        {0xA2, 0xA4, 0x13, false, true}, {0xA3, 0xA5, 0x13, false, true}, {0xA2, 0xA5, 0x7B, false, true},
        {0xA3, 0xA4, 0x7B, false, true}, {0x11, 0x12, 0x7B, false, true}, {0xA2, 0xA4, 0x7B, true, false},
        {0xA2, 0, 0x7B, false, false},   {0, 0xA4, 0x13, false, false},   {0xA2, 0xA4, 0x7A, false, false},
        // Pause pressed with Ctrl down arrives as Break (VK_CANCEL).
        {0xA2, 0xA4, 0x03, false, true}, {0xA3, 0xA5, 0x03, true, false}, {0, 0xA4, 0x03, false, false},
    };
    for (const Case& c : cases) {
        bool down[257] = {};
        if (c.ctrl)
            down[c.ctrl] = true;
        if (c.alt)
            down[c.alt] = true;
        EXPECT_EQ(isPanicChord(c.vk, c.release, down), c.panic) << std::hex << c.ctrl << " " << c.alt << " " << c.vk;
    }
}

} // namespace
