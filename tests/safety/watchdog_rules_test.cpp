#include "engine/mapping/injection_marker.h"
#include "engine/safety/watchdog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vorna::windows;

namespace {

constexpr ULONG_PTR kMarker = ULONG_PTR(kInjectionMarker);

std::unique_ptr<SafetyJournalView> emptyJournal()
{
    auto journal = std::make_unique<SafetyJournalView>();
    journal->clear();
    return journal;
}

// One release as the tests compare it.
struct Release {
    DWORD type;
    WORD vk;
    WORD scan;
    DWORD flags;
    DWORD mouseData;
    bool operator==(const Release&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Release& r)
{
    return out << "{type " << r.type << " vk " << r.vk << " scan " << r.scan << " flags " << r.flags << " data "
               << r.mouseData << "}";
}

std::vector<Release> releases(const SafetyJournalView& journal)
{
    const ReleasePlan plan = Watchdog::planRelease(journal);
    std::vector<Release> out;
    for (std::size_t i = 0; i < plan.count; ++i) {
        const INPUT& input = plan.inputs[i];
        if (input.type == INPUT_KEYBOARD) {
            EXPECT_EQ(input.ki.dwExtraInfo, kMarker);
            EXPECT_EQ(input.ki.time, 0u);
            out.push_back({input.type, input.ki.wVk, input.ki.wScan, input.ki.dwFlags, 0});
        } else {
            EXPECT_EQ(input.mi.dwExtraInfo, kMarker);
            EXPECT_EQ(input.mi.dx, 0);
            EXPECT_EQ(input.mi.dy, 0);
            out.push_back({input.type, 0, 0, input.mi.dwFlags, input.mi.mouseData});
        }
    }
    return out;
}

Release keyUp(WORD vk, DWORD flags = KEYEVENTF_KEYUP) { return {INPUT_KEYBOARD, vk, 0, flags, 0}; }
Release buttonUp(DWORD flags, DWORD data = 0) { return {INPUT_MOUSE, 0, 0, flags, data}; }

std::wstring repeated(const std::wstring& text, int times)
{
    std::wstring out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

} // namespace

TEST(WatchdogArguments, NameAndProcessIdAreChecked)
{
    const std::wstring prefix = L"Local\\VornaInputSafety-";
    const std::wstring typical = prefix + L"{0F8FAD5B-D9CB-469F-A165-70867728950E}";
    struct Case {
        std::wstring name;
        std::uint32_t pid;
        bool valid;
    } cases[] = {
        {typical, 4242, true},
        {typical, 0, false},
        {prefix, 1, true},
        {prefix + std::wstring(100 - prefix.size(), L'x'), 1, true},
        {prefix + std::wstring(101 - prefix.size(), L'x'), 1, false},
        // Counted in UTF-16 units as Windows counts them: U+1F600 is two.
        {prefix + repeated(L"\U0001F600", 38) + L"x", 1, true},
        {prefix + repeated(L"\U0001F600", 39), 1, false},
        {L"Local\\VornaInputSafety", 1, false},
        {L"local\\vornainputsafety-{x}", 1, false},
        {L"Global\\VornaInputSafety-{x}", 1, false},
        {L"", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()) + " pid " + std::to_string(c.pid));
        EXPECT_EQ(Watchdog::argumentsValid(c.name, c.pid), c.valid);
    }
}

TEST(WatchdogHangTest, OnlyABeatOlderThan5000MsEndsTheAgent)
{
    constexpr std::uint64_t now = 1'000'000;
    struct Case {
        const char* name;
        std::uint64_t agentBeat;
        bool hooksArmed;
        std::uint64_t hookBeat;
        bool hangs;
    } cases[] = {
        {"fresh", now, false, 0, false},
        {"agent 5000 ms old", now - 5000, false, 0, false},
        {"agent 5001 ms old", now - 5001, false, 0, true},
        {"hooks armed, hook beat 5000 ms old", now, true, now - 5000, false},
        {"hooks armed, hook beat 5001 ms old", now, true, now - 5001, true},
        {"hooks not armed, stale hook beat", now, false, now - 60000, false},
        // A beat written after the watchdog read its clock is fresh, not 2^64 ms old.
        {"agent beat ahead of the clock", now + 3, false, 0, false},
        {"hook beat ahead of the clock", now, true, now + 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto journal = emptyJournal();
        journal->setAgentHeartbeat(c.agentBeat);
        journal->setHooksArmed(c.hooksArmed);
        journal->setHookHeartbeat(c.hookBeat);
        EXPECT_EQ(Watchdog::agentHangs(*journal, now), c.hangs);
    }
}

TEST(WatchdogRelease, KeysGoUpWithTheirExtendedFlagUnlessPhysicallyHeld)
{
    struct Case {
        const char* name;
        std::vector<std::uint32_t> engineKeys;
        std::vector<std::uint32_t> textKeys;
        std::vector<std::uint32_t> physicalKeys;
        std::vector<Release> expected;
    } cases[] = {
        {"Left Shift", {160}, {}, {}, {keyUp(160)}},
        {"Right Ctrl is extended, Left Ctrl is not", {163, 162}, {}, {}, {keyUp(162), keyUp(163, 3)}},
        {"extended keys", {33, 40, 44, 46, 91, 93, 111, 144, 165}, {}, {},
         {keyUp(33, 3), keyUp(40, 3), keyUp(44, 3), keyUp(46, 3), keyUp(91, 3), keyUp(93, 3), keyUp(111, 3),
          keyUp(144, 3), keyUp(165, 3)}},
        {"plain neighbours of extended keys", {32, 41, 47, 90, 94, 110, 112, 164}, {}, {},
         {keyUp(32), keyUp(41), keyUp(47), keyUp(90), keyUp(110), keyUp(112), keyUp(164)}},
        {"physically held key stays down", {160, 65}, {}, {160}, {keyUp(65)}},
        {"text transfer keys", {}, {162, 86}, {}, {keyUp(86), keyUp(162)}},
        {"held by both goes up once", {86}, {86}, {}, {keyUp(86)}},
        {"keys the program cannot map are never released", {1, 7, 10, 11, 14, 21, 58, 64, 136, 146, 184, 193, 218, 224, 227, 255},
         {}, {}, {}},
        {"whitelist edges", {8, 9, 12, 13, 16, 20, 27, 57, 65, 93, 96, 135, 145, 183, 186, 192, 219, 223, 226}, {}, {},
         {keyUp(8), keyUp(9), keyUp(12), keyUp(13), keyUp(16), keyUp(20), keyUp(27), keyUp(57), keyUp(65), keyUp(93, 3),
          keyUp(96), keyUp(135), keyUp(145), keyUp(183), keyUp(186), keyUp(192), keyUp(219), keyUp(223), keyUp(226)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto journal = emptyJournal();
        for (std::uint32_t vk : c.engineKeys)
            journal->exchangeEngineHeldKey(vk, 1);
        for (std::uint32_t vk : c.textKeys)
            journal->exchangeTextHeldKey(vk, 1);
        for (std::uint32_t vk : c.physicalKeys)
            journal->exchangePhysicalKey(vk, 1);
        EXPECT_EQ(releases(*journal), c.expected);
    }
}

TEST(WatchdogRelease, EverythingHeldGoesUpInOrder)
{
    auto journal = emptyJournal();
    journal->exchangeUnicodeSlot(0, 0x044F);
    journal->exchangeUnicodeSlot(5, 0xFFFF);
    journal->exchangeUnicodeSlot(6, 0x10000); // not a UTF-16 unit
    journal->exchangeEngineHoldsNumpadEnter(1);
    for (std::uint32_t button = 1; button <= 5; ++button)
        journal->exchangeEngineHeldButton(button, 1);
    journal->exchangeEngineHeldButton(0, 1); // reserved
    journal->exchangeEngineHeldKey(13, 1);
    journal->exchangeEngineHeldKey(160, 1);

    const std::vector<Release> expected = {
        keyUp(13),
        keyUp(160),
        buttonUp(MOUSEEVENTF_LEFTUP),
        buttonUp(MOUSEEVENTF_RIGHTUP),
        buttonUp(MOUSEEVENTF_MIDDLEUP),
        buttonUp(MOUSEEVENTF_XUP, 1),
        buttonUp(MOUSEEVENTF_XUP, 2),
        {INPUT_KEYBOARD, 0, 0x1C, 11, 0},
        {INPUT_KEYBOARD, 0, 0x044F, 6, 0},
        {INPUT_KEYBOARD, 0, 0xFFFF, 6, 0},
    };
    EXPECT_EQ(releases(*journal), expected);
}

TEST(WatchdogRelease, PhysicallyHeldButtonsAndNumpadEnterStayDown)
{
    auto journal = emptyJournal();
    journal->exchangeEngineHeldButton(1, 1);
    journal->exchangeEngineHeldButton(4, 1);
    journal->exchangePhysicalButton(1, 1);
    journal->exchangeEngineHoldsNumpadEnter(1);
    journal->exchangeNumpadEnterPhysical(1);
    // Plain Enter held physically does not keep numpad Enter down, nor the other way round.
    journal->exchangeEngineHeldKey(13, 1);
    EXPECT_EQ(releases(*journal), (std::vector<Release>{keyUp(13), buttonUp(MOUSEEVENTF_XUP, 1)}));
}

TEST(WatchdogRelease, NothingHeldNothingSent)
{
    auto journal = emptyJournal();
    for (std::uint32_t vk = 0; vk < 256; ++vk)
        journal->exchangePhysicalKey(vk, 1);
    EXPECT_EQ(Watchdog::planRelease(*journal).count, 0u);
}

TEST(WatchdogHooks, KeyEventsLandInTheirPhysicalSlot)
{
    struct Case {
        const char* name;
        WPARAM message;
        DWORD vk;
        DWORD scan;
        DWORD flags;
        std::uint32_t slot; // 256 = numpad Enter's own word, 999 = nothing recorded
        std::uint32_t value;
    } cases[] = {
        {"Left Shift down", WM_KEYDOWN, 160, 0x2A, 0, 160, 1},
        {"Alt down as a system key", WM_SYSKEYDOWN, 164, 0x38, 0, 164, 1},
        {"system key up", WM_SYSKEYUP, 164, 0x38, 0, 164, 0},
        {"numpad Enter", WM_KEYDOWN, 13, 0x1C, LLKHF_EXTENDED, 256, 1},
        {"numpad Enter up", WM_KEYUP, 13, 0x1C, LLKHF_EXTENDED, 256, 0},
        {"main Enter", WM_KEYDOWN, 13, 0x1C, 0, 13, 1},
        {"keypad 7 with NumLock off", WM_KEYDOWN, 0x24, 0x47, 0, 0x67, 1},
        {"keypad 5 with NumLock off", WM_KEYDOWN, 0x0C, 0x4C, 0, 0x65, 1},
        {"keypad Delete with NumLock off", WM_KEYDOWN, 0x2E, 0x53, 0, 0x6E, 1},
        {"navigation Home keeps its code", WM_KEYDOWN, 0x24, 0x47, LLKHF_EXTENDED, 0x24, 1},
        {"Home scan code with another key", WM_KEYDOWN, 0x26, 0x47, 0, 0x26, 1},
        {"injected by anyone", WM_KEYDOWN, 160, 0x2A, LLKHF_INJECTED, 999, 0},
        {"code above 255", WM_KEYDOWN, 256, 0, 0, 999, 0},
        {"entries below 8 may be set", WM_KEYDOWN, 5, 0, 0, 5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto journal = emptyJournal();
        KBDLLHOOKSTRUCT event{};
        event.vkCode = c.vk;
        event.scanCode = c.scan;
        event.flags = c.flags;
        if (c.value == 0 && c.slot != 999) { // an up must clear a slot that was set
            if (c.slot == 256)
                journal->exchangeNumpadEnterPhysical(1);
            else
                journal->exchangePhysicalKey(c.slot, 1);
        }
        Watchdog::recordKey(*journal, c.message, event);
        const auto expected = std::make_unique<SafetyJournalView>();
        expected->clear();
        if (c.slot == 256)
            expected->exchangeNumpadEnterPhysical(c.value);
        else if (c.slot != 999)
            expected->exchangePhysicalKey(c.slot, c.value);
        EXPECT_EQ(std::memcmp(journal.get(), expected.get(), sizeof(SafetyJournalView)), 0);
    }
}

TEST(WatchdogHooks, ButtonEventsLandInTheirPhysicalSlot)
{
    struct Case {
        WPARAM message;
        DWORD mouseData;
        DWORD flags;
        std::uint32_t button; // 0 = nothing recorded
        std::uint32_t value;
    } cases[] = {
        {WM_LBUTTONDOWN, 0, 0, 1, 1}, {WM_LBUTTONUP, 0, 0, 1, 0},   {WM_RBUTTONDOWN, 0, 0, 2, 1},
        {WM_RBUTTONUP, 0, 0, 2, 0},   {WM_MBUTTONDOWN, 0, 0, 3, 1}, {WM_MBUTTONUP, 0, 0, 3, 0},
        {WM_XBUTTONDOWN, 1u << 16, 0, 4, 1}, {WM_XBUTTONUP, 1u << 16, 0, 4, 0},
        {WM_XBUTTONDOWN, 2u << 16, 0, 5, 1}, {WM_XBUTTONUP, 2u << 16, 0, 5, 0},
        {WM_LBUTTONDOWN, 0, LLMHF_INJECTED, 0, 0}, {WM_MOUSEMOVE, 0, 0, 0, 0}, {WM_MOUSEWHEEL, 120u << 16, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "message " << c.message << " data " << c.mouseData << " flags " << c.flags);
        auto journal = emptyJournal();
        if (c.button != 0 && c.value == 0)
            journal->exchangePhysicalButton(c.button, 1);
        MSLLHOOKSTRUCT event{};
        event.mouseData = c.mouseData;
        event.flags = c.flags;
        Watchdog::recordButton(*journal, c.message, event);
        for (std::uint32_t b = 0; b < 6; ++b)
            EXPECT_EQ(journal->physicalButton(b), b == c.button ? c.value : 0u) << "button " << b;
    }
}
