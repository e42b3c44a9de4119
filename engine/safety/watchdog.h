// The watchdog: the program's `--watchdog` role. A windowless process that watches the agent
// through the safety journal, ends an agent that hangs, and when the agent is gone releases
// every key, button and character the journal says it still holds and the user does not.
#pragma once

#include "engine/safety/safety_journal.h"
#include "platform/win32.h"

#include <array>
#include <cstdint>
#include <string>

namespace vorna::windows {

// The exit codes of the watchdog process.
enum WatchdogExit : int {
    kWatchdogDone = 0,
    kWatchdogHooksMissing = 3,
    kWatchdogReleaseFailed = 4,
    kWatchdogBadArguments = 20,
    kWatchdogNoJournal = 21,
    kWatchdogJournalNotMapped = 22,
    kWatchdogForeignJournal = 23,
    kWatchdogNoAgent = 24,
    kWatchdogOtherExecutable = 25,
};

// The exit code a hung agent is ended with.
inline constexpr UINT kHungAgentExitCode = 91;

// Every release the watchdog may send: keys 8-255, five buttons, numpad Enter, 16 characters.
inline constexpr std::size_t kMaxReleases = 248 + 5 + 1 + 16;

struct ReleasePlan {
    std::array<INPUT, kMaxReleases> inputs{};
    std::size_t count = 0;
};

class Watchdog {
public:
    // Runs the whole watch; the result is the process exit code.
    static int run(const std::wstring& journalName, std::uint32_t agentProcessId);

    static LRESULT CALLBACK keyboardHook(int nCode, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK mouseHook(int nCode, WPARAM wParam, LPARAM lParam);

    // True when the agent runs the very file this process runs (same volume and file index).
    static bool isSameExecutable(HANDLE agentProcess);

    // The pieces of the watch that decide, without touching the system.
    static bool argumentsValid(const std::wstring& journalName, std::uint32_t agentProcessId);
    // The agent counts as hung at `nowMs`: its heartbeat, or its armed hooks' heartbeat, is
    // more than 5000 ms old.
    static bool agentHangs(const SafetyJournalView& journal, std::uint64_t nowMs);
    // The releases owed, in sending order, each one marked INPUT.
    static ReleasePlan planRelease(const SafetyJournalView& journal);
    // Records one physical key event in the journal (numpad Enter and keypad keys in their
    // own slots); injected events and codes above 255 are ignored.
    static void recordKey(SafetyJournalView& journal, WPARAM message, const KBDLLHOOKSTRUCT& event);
    static void recordButton(SafetyJournalView& journal, WPARAM message, const MSLLHOOKSTRUCT& event);
};

} // namespace vorna::windows
