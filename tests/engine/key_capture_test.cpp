#include "engine/mapping/key_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vorna::windows;

struct Key {
    uint16_t code;
    uint8_t phase; // 0 down, 1 up, 2 repeat
    bool taken;    // the capture swallows it
    bool supported = true;
};

struct CaptureCase {
    const char* name;
    std::vector<uint16_t> heldAtBegin;
    std::vector<Key> keys;
    uint8_t state;
    std::vector<uint16_t> codes;
    bool keysDown;
};

class CaptureTable : public testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureTable, StatesCodesAndSwallowedKeys)
{
    const CaptureCase& c = GetParam();
    KeyCapture capture;
    bool held[kCaptureNumpadEnter + 1] = {};
    for (uint16_t vk : c.heldAtBegin)
        held[vk] = true;
    capture.begin(held, reinterpret_cast<void*>(0x1234), 1000);
    for (size_t i = 0; i < c.keys.size(); ++i) {
        const Key& k = c.keys[i];
        EXPECT_EQ(capture.onKey(k.code, k.phase, k.supported), k.taken) << "key " << i;
    }
    const CaptureState s = unpackCaptureWord(capture.word.load());
    EXPECT_EQ(s.state, c.state);
    ASSERT_EQ(s.count, c.codes.size());
    for (size_t i = 0; i < c.codes.size(); ++i)
        EXPECT_EQ(s.codes[i], c.codes[i]);
    EXPECT_EQ(s.keysDown, c.keysDown);
}

INSTANTIATE_TEST_SUITE_P(Sequences, CaptureTable, testing::Values(
    CaptureCase{"shift_held_at_start", {160},
                {{160, 2, false}, {160, 1, false}, {65, 0, true}, {65, 1, true}},
                CaptureComplete, {65}, false},
    CaptureCase{"generic_modifiers_ignored_at_start", {16, 17, 18}, {}, CaptureCapturing, {}, false},
    CaptureCase{"ctrl_shift_a", {},
                {{162, 0, true}, {160, 0, true}, {65, 0, true}, {65, 2, true}, {65, 1, true}, {160, 1, true}, {162, 1, true}},
                CaptureComplete, {162, 160, 65}, false},
    CaptureCase{"fifth_key", {},
                {{162, 0, true}, {160, 0, true}, {164, 0, true}, {65, 0, true}, {66, 0, true}},
                CaptureTooMany, {162, 160, 164, 65}, true},
    CaptureCase{"escape_cancels", {}, {{65, 0, true}, {27, 0, true}, {27, 1, true}}, CaptureCancelled, {65}, true},
    CaptureCase{"key_after_the_capture_completed", {}, {{65, 0, true}, {65, 1, true}, {66, 0, false}}, CaptureComplete, {65}, false},
    CaptureCase{"key_after_release_while_another_is_down", {},
                {{162, 0, true}, {65, 0, true}, {65, 1, true}, {66, 0, true}}, CaptureInvalid, {162, 65}, true},
    CaptureCase{"unsupported_key", {}, {{255, 0, true, false}}, CaptureInvalid, {}, true},
    CaptureCase{"numpad_enter", {}, {{256, 0, true}, {256, 1, true}}, CaptureComplete, {256}, false},
    CaptureCase{"numpad_enter_held_at_start", {13}, {{256, 1, false}, {66, 0, true}}, CaptureCapturing, {66}, true},
    CaptureCase{"release_of_captured_key_after_the_end_is_swallowed", {},
                {{65, 0, true}, {27, 0, true}, {65, 1, true}, {27, 1, true}, {66, 0, false}},
                CaptureCancelled, {65}, false}),
    [](const testing::TestParamInfo<CaptureCase>& i) { return std::string(i.param.name); });

TEST(KeyCapture, WordPacksEveryField)
{
    KeyCapture capture;
    capture.state = CaptureTooMany;
    capture.count = 4;
    capture.downCount = 2;
    const uint16_t codes[4] = {256, 1, 255, 160};
    for (int i = 0; i < 4; ++i)
        capture.codes[i] = codes[i];
    const uint64_t word = capture.pack();
    EXPECT_EQ(word & 0xF, 7u);
    EXPECT_EQ((word >> 4) & 7, 4u);
    EXPECT_EQ((word >> 7) & 1, 1u);
    EXPECT_EQ((word >> 8) & 0x1FF, 256u);
    EXPECT_EQ((word >> 35) & 0x1FF, 160u);
    const CaptureState s = unpackCaptureWord(word);
    EXPECT_EQ(s.state, 7);
    EXPECT_EQ(s.count, 4);
    EXPECT_TRUE(s.keysDown);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s.codes[i], codes[i]);
}

TEST(KeyCapture, BeginRefusedWhileCapturedKeysAreDown)
{
    KeyCapture capture;
    bool none[kCaptureNumpadEnter + 1] = {};
    capture.begin(none, nullptr, 0);
    capture.onKey(65, 0, true);
    capture.cancel();
    EXPECT_EQ(capture.state, CaptureCancelled);
    capture.begin(none, nullptr, 0);
    EXPECT_EQ(capture.state, CaptureCancelled); // A is still down
    capture.onKey(65, 1, true);
    capture.begin(none, nullptr, 0);
    EXPECT_EQ(capture.state, CaptureCapturing);
    EXPECT_EQ(capture.count, 0);
}

TEST(KeyCapture, TimeOutAndFocusEndOnlyARunningCapture)
{
    bool none[kCaptureNumpadEnter + 1] = {};
    KeyCapture capture;
    capture.begin(none, nullptr, 1000);
    capture.checkTimeAndFocus(true, 10'999);
    EXPECT_EQ(capture.state, CaptureCapturing);
    capture.checkTimeAndFocus(true, 11'000);
    EXPECT_EQ(capture.state, CaptureTimedOut);
    capture.checkTimeAndFocus(false, 11'000);
    EXPECT_EQ(capture.state, CaptureTimedOut); // final

    KeyCapture other;
    other.begin(none, nullptr, 1000);
    other.checkTimeAndFocus(false, 20'000); // focus wins over the time
    EXPECT_EQ(other.state, CaptureFocusLost);
}

} // namespace
