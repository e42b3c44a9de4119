// The input stream as the engine depends on it.
#include "engine/mapping/injection_marker.h"
#include "hook_thread.h"
#include "platform/sim/driver/driver.h"
#include "platform/sim/session/keyboard_hardware.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using vorna::sim::Driver;
using vorna::sim::HookKind;
using vorna::sim::SinkEvent;
using vorna::test::HookThread;
using Clock = std::chrono::steady_clock;

constexpr ULONG_PTR marker = ULONG_PTR(vorna::windows::kInjectionMarker);

struct Seen {
    char hook;
    DWORD thread;
    bool insideRetrieval;
    WPARAM message;
    KBDLLHOOKSTRUCT key;
};

class InputRules : public testing::Test {
protected:
    void SetUp() override { driver.session().reset(); }

    // A keyboard hook that logs what it sees under a name and then does what decide says:
    // 0 pass on, 1 swallow, 2 return 0 without calling CallNextHookEx.
    HookThread::Handler logging(char name, std::function<int(const KBDLLHOOKSTRUCT&)> decide = {})
    {
        return [this, name, decide](int code, WPARAM message, LPARAM data) -> LRESULT {
            const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
            {
                std::lock_guard lock(mutex);
                seen.push_back({name, GetCurrentThreadId(), HookThread::insideRetrieval(), message, key});
            }
            const int action = decide ? decide(key) : 0;
            if (action == 1)
                return 1;
            if (action == 2)
                return 0;
            return HookThread::passOn(code, message, data);
        };
    }
    std::vector<Seen> take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(seen, {});
    }
    std::string order()
    {
        std::string names;
        for (const Seen& s : take())
            names += s.hook;
        return names;
    }

    Driver driver;
    std::mutex mutex;
    std::vector<Seen> seen;
};

// Rules 1 and 2: the newest hook first; a hook that swallows hides the event from later hooks
// and from the system; one that returns 0 without passing on lets it reach the system only.
TEST_F(InputRules, ChainRunsNewestFirstAndSwallowingEndsIt)
{
    HookThread first(WH_KEYBOARD_LL, logging('A'));
    HookThread second(WH_KEYBOARD_LL, logging('B', [](const KBDLLHOOKSTRUCT& k) {
        return k.vkCode == 'S' ? 1 : k.vkCode == 'N' ? 2 : 0;
    }));
    EXPECT_TRUE(driver.keyDown('P'));
    EXPECT_EQ(order(), "BA");
    EXPECT_FALSE(driver.keyDown('S'));
    EXPECT_EQ(order(), "B");
    EXPECT_TRUE(driver.keyDown('N'));
    EXPECT_EQ(order(), "B");
    const std::vector<SinkEvent> sink = driver.takeSink();
    ASSERT_EQ(sink.size(), 2u);
    EXPECT_EQ(sink[0].key.vkCode, DWORD('P'));
    EXPECT_EQ(sink[1].key.vkCode, DWORD('N'));
}

// Rule 3: the procedure runs on the installing thread, inside its message retrieval, and an
// event waits for a thread that is not retrieving (within the time-out).
TEST_F(InputRules, HookRunsOnItsThreadOnlyWhileItRetrievesMessages)
{
    driver.session().setHookTimeout(5000);
    HookThread hook(WH_KEYBOARD_LL, logging('A'), false);
    driver.send({{vorna::sim::PhysicalEvent::Type::KeyDown, 'Q'}}, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(driver.takeSink().empty());
    hook.setPumping(true);
    driver.session().waitIdle();
    const std::vector<Seen> calls = take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].thread, hook.threadId());
    EXPECT_TRUE(calls[0].insideRetrieval);
    EXPECT_EQ(driver.takeSink().size(), 1u);
}

// Rule 4: a hook that does not answer in time is skipped for that event and silently removed.
TEST_F(InputRules, SilentHookIsSkippedAfterTheTimeOutAndRemoved)
{
    driver.session().setHookTimeout(100);
    HookThread answering(WH_KEYBOARD_LL, logging('A'));
    auto silent = std::make_unique<HookThread>(WH_KEYBOARD_LL, logging('S'), false);
    ASSERT_EQ(driver.session().hooks().size(), 2u);

    const auto start = Clock::now();
    EXPECT_TRUE(driver.keyDown('K'));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(order(), "A");
    const auto hooks = driver.session().hooks();
    ASSERT_EQ(hooks.size(), 1u);
    EXPECT_EQ(hooks[0].hook, answering.hook());

    // The next event does not wait for it, and its owner is never called for the skipped one.
    const auto again = Clock::now();
    EXPECT_TRUE(driver.keyDown('L'));
    EXPECT_LT(Clock::now() - again, std::chrono::milliseconds(100));
    silent->setPumping(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(order(), "A");
    silent.reset();
}

// Rule 5: SendInput inside a hook returns at once; its events follow once the hook has
// returned, through every hook (the sender's too), marked injected with the exact extra info.
TEST_F(InputRules, SendInputFromInsideAHookIsAsynchronous)
{
    std::vector<std::string> log;
    std::mutex logMutex;
    HookThread hook(WH_KEYBOARD_LL, [&](int code, WPARAM message, LPARAM data) -> LRESULT {
        const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        std::lock_guard lock(logMutex);
        log.push_back("hook " + std::to_string(key.vkCode) + ((key.flags & LLKHF_INJECTED) ? " injected" : ""));
        if (key.vkCode == 'A' && !(key.flags & LLKHF_INJECTED) && message == WM_KEYDOWN) {
            INPUT inputs[2] = {};
            for (INPUT& in : inputs) {
                in.type = INPUT_KEYBOARD;
                in.ki.wVk = 'B';
                in.ki.dwExtraInfo = marker;
            }
            inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
            log.push_back("sent " + std::to_string(SendInput(2, inputs, sizeof(INPUT))));
            return 1;
        }
        return HookThread::passOn(code, message, data);
    });
    EXPECT_FALSE(driver.keyDown('A'));
    driver.session().waitIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"hook 65", "sent 2", "hook 66 injected", "hook 66 injected"}));
    const std::vector<SinkEvent> sink = driver.takeSink();
    ASSERT_EQ(sink.size(), 2u);
    for (const SinkEvent& e : sink) {
        EXPECT_EQ(e.key.vkCode, DWORD('B'));
        EXPECT_EQ(e.key.dwExtraInfo, marker);
        EXPECT_TRUE(e.key.flags & LLKHF_INJECTED);
    }
    EXPECT_EQ(sink[0].message, WPARAM(WM_KEYDOWN));
    EXPECT_EQ(sink[1].message, WPARAM(WM_KEYUP));
    EXPECT_EQ(sink[1].key.flags & LLKHF_UP, DWORD(LLKHF_UP));
}

TEST_F(InputRules, SendInputFailuresAreInjectable)
{
    INPUT inputs[3] = {};
    for (INPUT& in : inputs) {
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = MOUSEEVENTF_WHEEL;
        in.mi.mouseData = static_cast<DWORD>(-120);
    }
    driver.session().setFailure(vorna::sim::FailPoint::SendInput, {ERROR_ACCESS_DENIED, 1, 2});
    EXPECT_EQ(SendInput(3, inputs, sizeof(INPUT)), 2u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SendInput(3, inputs, sizeof(INPUT)), 3u); // only the next call failed
    EXPECT_EQ(SendInput(1, inputs, 28), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    driver.session().waitIdle();
    const std::vector<SinkEvent> sink = driver.takeSink();
    ASSERT_EQ(sink.size(), 5u);
    EXPECT_EQ(sink[0].message, WPARAM(WM_MOUSEWHEEL));
    EXPECT_EQ(static_cast<short>(HIWORD(sink[0].mouse.mouseData)), -120);
}

// Rule 6: physical keys arrive as Windows sends them.
struct PhysicalKeyCase {
    const char* name;
    UINT pressed;
    bool numLock;
    DWORD vkCode;
    DWORD scanCode;
    DWORD flags;
};

class PhysicalKeys : public InputRules, public testing::WithParamInterface<PhysicalKeyCase> {};

TEST_P(PhysicalKeys, ArriveAsWindowsSendsThem)
{
    const PhysicalKeyCase& c = GetParam();
    driver.setNumLock(c.numLock);
    HookThread hook(WH_KEYBOARD_LL, logging('A'));
    driver.tap(c.pressed);
    const std::vector<Seen> calls = take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, WPARAM(WM_KEYDOWN));
    EXPECT_EQ(calls[1].message, WPARAM(WM_KEYUP));
    for (const Seen& s : calls) {
        EXPECT_EQ(s.key.vkCode, c.vkCode);
        EXPECT_EQ(s.key.scanCode, c.scanCode);
        EXPECT_EQ(s.key.dwExtraInfo, 0u);
    }
    EXPECT_EQ(calls[0].key.flags, c.flags);
    EXPECT_EQ(calls[1].key.flags, c.flags | LLKHF_UP);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PhysicalKeys,
    testing::Values(PhysicalKeyCase{"GenericShiftIsLeftShift", VK_SHIFT, true, VK_LSHIFT, 0x2A, 0},
                    PhysicalKeyCase{"RightShift", VK_RSHIFT, true, VK_RSHIFT, 0x36, 0},
                    PhysicalKeyCase{"GenericCtrlIsLeftCtrl", VK_CONTROL, true, VK_LCONTROL, 0x1D, 0},
                    PhysicalKeyCase{"RightCtrlIsExtended", VK_RCONTROL, true, VK_RCONTROL, 0x1D, LLKHF_EXTENDED},
                    PhysicalKeyCase{"Keypad7NumLockOn", VK_NUMPAD7, true, VK_NUMPAD7, 0x47, 0},
                    PhysicalKeyCase{"Keypad7NumLockOffIsHome", VK_NUMPAD7, false, VK_HOME, 0x47, 0},
                    PhysicalKeyCase{"KeypadDecimalNumLockOffIsDelete", VK_DECIMAL, false, VK_DELETE, 0x53, 0},
                    PhysicalKeyCase{"KeypadZeroNumLockOffIsInsert", VK_NUMPAD0, false, VK_INSERT, 0x52, 0},
                    PhysicalKeyCase{"NavigationHomeIsExtended", VK_HOME, false, VK_HOME, 0x47, LLKHF_EXTENDED},
                    PhysicalKeyCase{"NumpadEnterIsExtendedReturn", vorna::sim::kNumpadEnter, true, VK_RETURN, 0x1C, LLKHF_EXTENDED},
                    PhysicalKeyCase{"MainEnter", VK_RETURN, true, VK_RETURN, 0x1C, 0},
                    PhysicalKeyCase{"LeftWindows", VK_LWIN, true, VK_LWIN, 0x5B, LLKHF_EXTENDED},
                    PhysicalKeyCase{"Letter", 'A', true, 'A', 0x1E, 0}),
    [](const testing::TestParamInfo<PhysicalKeyCase>& info) { return std::string(info.param.name); });

TEST_F(InputRules, AltMakesSystemKeysAndRepeatsAreRepeatedDowns)
{
    HookThread hook(WH_KEYBOARD_LL, logging('A'));
    driver.keyDown(VK_MENU);
    driver.keyDown('F');
    driver.keyDown('F'); // auto-repeat
    driver.keyUp('F');
    driver.keyUp(VK_MENU);
    driver.keyDown(VK_LCONTROL);
    driver.keyDown(VK_RMENU);
    driver.keyDown('G');
    const std::vector<Seen> calls = take();
    ASSERT_EQ(calls.size(), 8u);
    const WPARAM expected[] = {WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSKEYUP, WM_KEYDOWN, WM_KEYDOWN, WM_KEYDOWN};
    for (std::size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].message, expected[i]) << i;
    EXPECT_EQ(calls[0].key.vkCode, DWORD(VK_LMENU));
    EXPECT_TRUE(calls[1].key.flags & LLKHF_ALTDOWN);
    EXPECT_EQ(calls[6].key.vkCode, DWORD(VK_RMENU));
    EXPECT_TRUE(calls[6].key.flags & LLKHF_EXTENDED);
    EXPECT_TRUE(calls[7].key.flags & LLKHF_ALTDOWN);
}

// With a Ctrl key down the keyboard sends Pause as Break, which Windows reports as VK_CANCEL
// (scan 0x46, extended); the release keeps the form of its press, whatever Ctrl does between.
TEST_F(InputRules, PauseWithCtrlDownArrivesAsCancel)
{
    HookThread hook(WH_KEYBOARD_LL, logging('A'));
    struct Step {
        bool down;
        UINT key;
        DWORD vkCode, scanCode, flags; // of the Pause key's event; 0 for other keys
    };
    const Step steps[] = {
        {true, VK_PAUSE, VK_PAUSE, 0x45, 0},          {false, VK_PAUSE, VK_PAUSE, 0x45, LLKHF_UP},
        {true, VK_RCONTROL, 0, 0, 0},                  {true, VK_PAUSE, VK_CANCEL, 0x46, LLKHF_EXTENDED},
        {true, VK_PAUSE, VK_CANCEL, 0x46, LLKHF_EXTENDED}, {false, VK_RCONTROL, 0, 0, 0},
        {false, VK_PAUSE, VK_CANCEL, 0x46, LLKHF_EXTENDED | LLKHF_UP},
        {true, VK_PAUSE, VK_PAUSE, 0x45, 0},          {true, VK_LCONTROL, 0, 0, 0},
        {true, VK_PAUSE, VK_PAUSE, 0x45, 0},          {false, VK_PAUSE, VK_PAUSE, 0x45, LLKHF_UP},
        {true, VK_PAUSE, VK_CANCEL, 0x46, LLKHF_EXTENDED},
    };
    for (const Step& step : steps)
        step.down ? driver.keyDown(step.key) : driver.keyUp(step.key);
    const std::vector<Seen> calls = take();
    ASSERT_EQ(calls.size(), std::size(steps));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (steps[i].vkCode == 0)
            continue;
        EXPECT_EQ(calls[i].key.vkCode, steps[i].vkCode) << i;
        EXPECT_EQ(calls[i].key.scanCode, steps[i].scanCode) << i;
        EXPECT_EQ(calls[i].key.flags, steps[i].flags) << i;
    }
    EXPECT_TRUE(driver.isDown(VK_CANCEL));
    EXPECT_FALSE(driver.isDown(VK_PAUSE));
}

TEST_F(InputRules, ScanCodeInputIsTranslatedToVirtualKeys)
{
    HookThread hook(WH_KEYBOARD_LL, logging('A'));
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = 0x1C;
    in.ki.dwFlags = KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY;
    in.ki.dwExtraInfo = marker;
    ASSERT_EQ(SendInput(1, &in, sizeof in), 1u);
    in.ki.wScan = 0x48;
    in.ki.dwFlags = KEYEVENTF_SCANCODE;
    driver.setNumLock(false);
    ASSERT_EQ(SendInput(1, &in, sizeof in), 1u);
    EXPECT_TRUE(driver.scanDown(0x1E, false));
    driver.session().waitIdle();
    const std::vector<Seen> calls = take();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].key.vkCode, DWORD(VK_RETURN));
    EXPECT_EQ(calls[0].key.flags, DWORD(LLKHF_EXTENDED | LLKHF_INJECTED));
    EXPECT_EQ(calls[0].key.dwExtraInfo, marker);
    EXPECT_EQ(calls[1].key.vkCode, DWORD(VK_UP));
    EXPECT_EQ(calls[2].key.vkCode, DWORD('A'));
    EXPECT_EQ(calls[2].key.flags, 0u);
}

// The last-input time is when the event arrived, not when the chain let it go: a hook that saw
// the event must never look older than it, or a health check would take a slow answer for a
// lost hook.
TEST_F(InputRules, LastInputTimeIsWhenTheEventArrivedNotWhenTheChainAnswered)
{
    DWORD seenAt = 0;
    HookThread hook(WH_KEYBOARD_LL, [&](int code, WPARAM message, LPARAM data) -> LRESULT {
        seenAt = GetTickCount();
        driver.session().stepClock(40); // the hook takes its time to answer
        return HookThread::passOn(code, message, data);
    });
    driver.session().stepClock(5000);
    EXPECT_TRUE(driver.keyDown('Y'));
    LASTINPUTINFO last{sizeof last, 0};
    GetLastInputInfo(&last);
    EXPECT_NE(last.dwTime, 0u);
    EXPECT_LE(last.dwTime, seenAt);
    EXPECT_LT(seenAt, GetTickCount());
    EXPECT_TRUE(driver.keyUp('Y'));
}

// Rule 7: only what passed every hook changes key state, toggles, cursor and last input.
TEST_F(InputRules, OnlyDeliveredEventsChangeTheSystem)
{
    HookThread hook(WH_KEYBOARD_LL, logging('A', [](const KBDLLHOOKSTRUCT& k) {
        return k.vkCode == 'X' || k.vkCode == VK_CAPITAL ? 1 : 0;
    }));
    HookThread mouse(WH_MOUSE_LL, [](int code, WPARAM message, LPARAM data) -> LRESULT {
        const auto& m = *reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
        if (message == WM_MOUSEMOVE && m.pt.x > 1000)
            return 1;
        return HookThread::passOn(code, message, data);
    });
    LASTINPUTINFO last{sizeof last, 0};
    driver.session().stepClock(5000);
    EXPECT_FALSE(driver.keyDown('X'));
    EXPECT_EQ(GetAsyncKeyState('X'), 0);
    GetLastInputInfo(&last);
    EXPECT_EQ(last.dwTime, 0u);
    EXPECT_TRUE(driver.keyDown('Y'));
    EXPECT_EQ(static_cast<unsigned short>(GetAsyncKeyState('Y')), 0x8000u);
    GetLastInputInfo(&last);
    EXPECT_GE(last.dwTime, 5000u);
    EXPECT_TRUE(driver.keyUp('Y'));
    EXPECT_EQ(GetAsyncKeyState('Y'), 0);

    EXPECT_FALSE(driver.tap(VK_CAPITAL));
    EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0);
    EXPECT_TRUE(driver.tap(VK_SCROLL));
    EXPECT_EQ(GetKeyState(VK_SCROLL) & 1, 1);

    EXPECT_TRUE(driver.keyDown(VK_RSHIFT));
    EXPECT_NE(GetAsyncKeyState(VK_SHIFT), 0); // the generic key follows either side

    driver.session().setCursor({500, 500});
    EXPECT_FALSE(driver.moveTo(1500, 500));
    POINT p{};
    GetPhysicalCursorPos(&p);
    EXPECT_EQ(p.x, 500);
    EXPECT_TRUE(driver.moveTo(700, 400));
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 700);
    EXPECT_EQ(p.y, 400);
    EXPECT_TRUE(driver.buttonDown(4));
    EXPECT_NE(GetAsyncKeyState(VK_XBUTTON1), 0);
}

// Rule 8: screens, clip and absolute moves.
TEST_F(InputRules, AbsoluteMovesLandOnEveryPixelOfTwoMonitorsWithANegativeLeftEdge)
{
    vorna::sim::ScreenState screen;
    screen.monitorCount = 2;
    screen.monitors[0] = {-1920, 120, 0, 1200};
    screen.monitors[1] = {0, 0, 2560, 1440};
    screen.primary = 1;
    driver.session().setScreen(screen);
    EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), -1920);
    EXPECT_EQ(GetSystemMetrics(SM_YVIRTUALSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 4480);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), 1440);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 2560);

    const LONG left = -1920, top = 0, width = 4480, height = 1440;
    std::vector<POINT> targets;
    for (LONG x = left; x < left + width; ++x)
        targets.push_back({x, x < 0 ? 500 : 1000});
    for (LONG y = top; y < top + height; ++y)
        targets.push_back({100, y});
    std::vector<INPUT> inputs(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK | MOUSEEVENTF_ABSOLUTE;
        inputs[i].mi.dx = static_cast<LONG>((std::int64_t(targets[i].x - left) * 65536 + 32768) / width);
        inputs[i].mi.dy = static_cast<LONG>((std::int64_t(targets[i].y - top) * 65536 + 32768) / height);
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
    driver.session().waitIdle();
    const std::vector<SinkEvent> sink = driver.takeSink();
    ASSERT_EQ(sink.size(), targets.size());
    int wrong = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (sink[i].mouse.pt.x != targets[i].x || sink[i].mouse.pt.y != targets[i].y)
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

// Rule 8, the value-to-pixel step itself, on screens wider than half the value range too:
// Windows lands a value on origin + value * size / 65536 rounded down, so the first value of
// each pixel reaches it and the value before reaches the pixel before.
TEST_F(InputRules, AbsoluteValuesMapOntoPixelsAsWindowsDoes)
{
    struct Case {
        const char* name;
        RECT left;
        RECT primary;
        bool virtualDesk;
    } cases[] = {
        {"4,480 pixels", {-1920, 120, 0, 1200}, {0, 0, 2560, 1440}, true},
        {"40,000 pixels", {-15000, 0, 0, 1080}, {0, 0, 25000, 1440}, true},
        {"65,536 pixels", {-32768, 0, 0, 1080}, {0, 0, 32768, 1440}, true},
        {"the primary monitor alone", {-15000, 0, 0, 1080}, {0, 0, 25000, 1440}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vorna::sim::ScreenState screen;
        screen.monitorCount = 2;
        screen.monitors[0] = c.left;
        screen.monitors[1] = c.primary;
        screen.primary = 1;
        driver.session().setScreen(screen);
        const RECT area = c.virtualDesk ? RECT{c.left.left, 0, c.primary.right, 1440} : c.primary;
        const std::int64_t width = area.right - area.left;
        const std::int64_t height = area.bottom - area.top;
        const LONG y = 700;
        const auto firstValue = [](std::int64_t offset, std::int64_t size) {
            return static_cast<LONG>((offset * 65536 + size - 1) / size);
        };
        std::vector<INPUT> inputs;
        std::vector<LONG> expected;
        for (LONG x = area.left; x < area.right; ++x) {
            const LONG value = firstValue(x - area.left, width);
            for (const LONG v : {value - 1, value}) {
                if (v < 0)
                    continue;
                INPUT in{};
                in.type = INPUT_MOUSE;
                in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | (c.virtualDesk ? MOUSEEVENTF_VIRTUALDESK : 0);
                in.mi.dx = v;
                in.mi.dy = firstValue(y - area.top, height);
                inputs.push_back(in);
                expected.push_back(v == value ? x : x - 1);
            }
        }
        std::vector<POINT> landed;
        constexpr std::size_t batch = 8000; // within the stream's capacity
        for (std::size_t at = 0; at < inputs.size(); at += batch) {
            const UINT count = static_cast<UINT>(std::min(batch, inputs.size() - at));
            ASSERT_EQ(SendInput(count, inputs.data() + at, sizeof(INPUT)), count);
            driver.session().waitIdle();
            for (const SinkEvent& e : driver.takeSink())
                landed.push_back(e.mouse.pt);
        }
        ASSERT_EQ(landed.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(landed[i].x, expected[i]) << "value " << inputs[i].mi.dx;
            ASSERT_EQ(landed[i].y, y);
        }
    }
}

TEST_F(InputRules, ClipAndMonitorsBoundTheCursor)
{
    vorna::sim::ScreenState screen;
    screen.monitorCount = 2;
    screen.monitors[0] = {-1280, 0, 0, 1024};
    screen.monitors[1] = {0, 0, 1920, 1080};
    screen.primary = 1;
    RECT clip{};
    GetClipCursor(&clip);
    driver.session().setScreen(screen);
    GetClipCursor(&clip);
    EXPECT_EQ(clip.left, -1280);
    EXPECT_EQ(clip.right, 1920);
    EXPECT_EQ(clip.bottom, 1080);

    const HMONITOR right = MonitorFromPoint({5, 5}, MONITOR_DEFAULTTONULL);
    const HMONITOR left = MonitorFromPoint({-5, 5}, MONITOR_DEFAULTTONULL);
    ASSERT_NE(right, nullptr);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(MonitorFromPoint({-600, 1050}, MONITOR_DEFAULTTONULL), nullptr); // below the left monitor
    EXPECT_EQ(MonitorFromPoint({-600, 1050}, MONITOR_DEFAULTTONEAREST), left);
    EXPECT_EQ(MonitorFromPoint({-600, 1050}, MONITOR_DEFAULTTOPRIMARY), right);
    MONITORINFO info{sizeof info};
    ASSERT_TRUE(GetMonitorInfoW(left, &info));
    EXPECT_EQ(info.rcMonitor.left, -1280);
    EXPECT_EQ(info.dwFlags, 0u);
    ASSERT_TRUE(GetMonitorInfoW(right, &info));
    EXPECT_EQ(info.dwFlags, DWORD(MONITORINFOF_PRIMARY));

    screen.clipped = 1;
    screen.clip = {100, 100, 200, 150};
    driver.session().setScreen(screen);
    POINT p{};
    GetPhysicalCursorPos(&p);
    EXPECT_EQ(p.x, 199);
    EXPECT_EQ(p.y, 149);
    EXPECT_TRUE(driver.moveBy(-1000, 3));
    GetPhysicalCursorPos(&p);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 149);
}

TEST_F(InputRules, MouseEventsCarryWindowsMessagesAndData)
{
    std::vector<std::pair<WPARAM, MSLLHOOKSTRUCT>> calls;
    std::mutex callMutex;
    HookThread hook(WH_MOUSE_LL, [&](int code, WPARAM message, LPARAM data) -> LRESULT {
        std::lock_guard lock(callMutex);
        calls.emplace_back(message, *reinterpret_cast<const MSLLHOOKSTRUCT*>(data));
        return HookThread::passOn(code, message, data);
    });
    driver.session().setCursor({10, 20});
    driver.click(1);
    driver.click(5);
    driver.wheel(-240);
    driver.hwheel(120);
    std::lock_guard lock(callMutex);
    ASSERT_EQ(calls.size(), 6u);
    const WPARAM messages[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_XBUTTONDOWN, WM_XBUTTONUP, WM_MOUSEWHEEL, WM_MOUSEHWHEEL};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].first, messages[i]);
        EXPECT_EQ(calls[i].second.pt.x, 10);
        EXPECT_EQ(calls[i].second.flags, 0u);
    }
    EXPECT_EQ(HIWORD(calls[2].second.mouseData), XBUTTON2);
    EXPECT_EQ(static_cast<short>(HIWORD(calls[4].second.mouseData)), -240);
    EXPECT_EQ(static_cast<short>(HIWORD(calls[5].second.mouseData)), 120);
}

TEST_F(InputRules, TypingUsesTheUsLayout)
{
    HookThread hook(WH_KEYBOARD_LL, logging('A'));
    EXPECT_TRUE(driver.type(L"aB!"));
    std::string downs;
    for (const Seen& s : take()) {
        if (s.message == WM_KEYDOWN)
            downs += std::to_string(s.key.vkCode) + " ";
    }
    EXPECT_EQ(downs, "65 160 66 160 49 ");
    EXPECT_FALSE(driver.type(L"x\u0436"));
    EXPECT_TRUE(take().empty());
}

} // namespace
