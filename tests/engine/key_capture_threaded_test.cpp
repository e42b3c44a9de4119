// Shortcut capture through the session: the keyboard hook records up to four keys for the
// settings window and none of the captured keys reaches the system.
#include "engine_test_support.h"
#include "live_session.h"

#include "platform/sim/session/keyboard_hardware.h"

#include <thread>

namespace vorna::enginetest {
namespace {

using Strings = std::vector<std::string>;

struct CaptureCase {
    const char* name;
    std::vector<Physical> before; // typed before the capture begins (keys held at its start)
    std::vector<Physical> during;
    uint8_t state;
    std::vector<uint16_t> codes;
    Strings system; // what reached the system, before and during
};

class Capture : public LiveSession, public testing::WithParamInterface<CaptureCase> {};

TEST_P(Capture, StateCodesAndWhatReachesTheSystem)
{
    const CaptureCase& c = GetParam();
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    const HWND window = addForegroundWindow();
    Strings seen = type(c.before);
    ASSERT_TRUE(backend.beginCapture(window));
    ASSERT_TRUE(eventually([&] { return backend.captureState().state != windows::CaptureIdle; }));
    for (std::string& e : type(c.during))
        seen.push_back(std::move(e));
    const windows::CaptureState state = backend.captureState();
    EXPECT_EQ(state.state, c.state);
    ASSERT_EQ(state.count, c.codes.size());
    for (size_t i = 0; i < c.codes.size(); ++i)
        EXPECT_EQ(state.codes[i], c.codes[i]);
    EXPECT_EQ(seen, c.system);
}

INSTANTIATE_TEST_SUITE_P(Sequences, Capture, testing::Values(
    CaptureCase{"shift_held_at_start", {keyDown(160)}, {keyUp(160), keyDown(65), keyUp(65)}, windows::CaptureComplete,
                {65}, {"+key_160", "-key_160"}},
    CaptureCase{"ctrl_shift_a", {},
                {keyDown(162), keyDown(160), keyDown(65), keyUp(65), keyUp(160), keyUp(162)},
                windows::CaptureComplete, {162, 160, 65}, {}},
    CaptureCase{"fifth_key", {}, {keyDown(162), keyDown(160), keyDown(164), keyDown(65), keyDown(66)},
                windows::CaptureTooMany, {162, 160, 164, 65}, {}},
    CaptureCase{"escape", {}, {keyDown(65), keyDown(27), keyUp(27), keyUp(65)}, windows::CaptureCancelled, {65}, {}},
    CaptureCase{"key_after_a_release", {}, {keyDown(162), keyDown(65), keyUp(65), keyDown(66)},
                windows::CaptureInvalid, {162, 65}, {}},
    CaptureCase{"unsupported_key", {}, {keyDown(255), keyUp(255)}, windows::CaptureInvalid, {}, {}},
    CaptureCase{"numpad_enter", {}, {keyDown(sim::kNumpadEnter), keyUp(sim::kNumpadEnter)}, windows::CaptureComplete,
                {256}, {}},
    // The key state names them Enter and Home; their releases carry their own names.
    CaptureCase{"numpad_enter_held_at_start", {keyDown(sim::kNumpadEnter)},
                {keyUp(sim::kNumpadEnter), keyDown(65), keyUp(65)}, windows::CaptureComplete, {65}, {"+key_13/x", "-key_13/x"}},
    CaptureCase{"keypad_7_without_num_lock_held_at_start", {keyDown(0x67)}, {keyUp(0x67), keyDown(65), keyUp(65)},
                windows::CaptureComplete, {65}, {"+key_36", "-key_36"}}),
    [](const testing::TestParamInfo<CaptureCase>& i) { return std::string(i.param.name); });

TEST_F(LiveSession, CaptureTimesOutAfterTenSeconds)
{
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    const HWND window = addForegroundWindow();
    ASSERT_TRUE(backend.beginCapture(window));
    ASSERT_TRUE(eventually([&] { return backend.captureState().state == windows::CaptureCapturing; }));
    EXPECT_FALSE(backend.beginCapture(window)); // one at a time
    session.stepClock(9'000);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(backend.captureState().state, windows::CaptureCapturing);
    session.stepClock(1'000);
    EXPECT_TRUE(eventually([&] { return backend.captureState().state == windows::CaptureTimedOut; }));
}

TEST_F(LiveSession, CaptureEndsWhenTheForegroundChanges)
{
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    const HWND window = addForegroundWindow();
    ASSERT_TRUE(backend.beginCapture(window));
    ASSERT_TRUE(eventually([&] { return backend.captureState().state == windows::CaptureCapturing; }));
    addForegroundWindow(L"Other");
    EXPECT_TRUE(eventually([&] { return backend.captureState().state == windows::CaptureFocusLost; }));
}

TEST_F(LiveSession, CaptureIsNotBegunWhileMappingsAreActiveOrWithoutAWindow)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    const HWND window = addForegroundWindow();
    EXPECT_FALSE(backend.beginCapture(window));
    EXPECT_FALSE(backend.beginCapture(nullptr));
    EXPECT_EQ(backend.captureState().state, windows::CaptureIdle);
}

TEST_F(LiveSession, CancelledCaptureStillSwallowsTheReleasesOfItsKeys)
{
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    const HWND window = addForegroundWindow();
    ASSERT_TRUE(backend.beginCapture(window));
    ASSERT_TRUE(eventually([&] { return backend.captureState().state == windows::CaptureCapturing; }));
    EXPECT_TRUE(type({keyDown(65)}).empty());
    backend.cancelCapture();
    ASSERT_TRUE(eventually([&] { return backend.captureState().state == windows::CaptureCancelled; }));
    EXPECT_TRUE(backend.captureState().keysDown);
    EXPECT_TRUE(type({keyUp(65)}).empty());
    EXPECT_FALSE(backend.captureState().keysDown);
    EXPECT_EQ(type({keyDown(66), keyUp(66)}), (Strings{"+key_66", "-key_66"}));
}

} // namespace
} // namespace vorna::enginetest
