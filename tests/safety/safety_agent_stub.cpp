// A stand-in for the agent in watchdog tests. The watchdog only watches an agent that runs
// its own executable, so this one program plays both parts:
//   safety_agent_stub --watchdog NAME PID   the real watchdog, or a misbehaving one chosen by
//                                           VORNA_STUB_WATCHDOG (never-ready, exit-early,
//                                           ignore-stop, idle); its exit code also goes
//                                           to the file VORNA_STUB_RESULT names
//   safety_agent_stub agent HOLD...         creates the journal, starts the watchdog, holds
//                                           what it is told and beats until told to stop
// HOLD is key:VK, text:VK, button:N, numpad-enter or unicode:UNIT. The agent prints
// "ready WATCHDOG_PID JOURNAL_NAME", then "holding"; on the line "stop" it clears its marks and closes the
// journal, on "stop-keep" it closes with its marks in place; then it prints "closed" and exits.
#include "engine/mapping/injection_marker.h"
#include "engine/safety/safety_journal.h"
#include "engine/safety/watchdog.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using namespace vorna::windows;

namespace {

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

SafetyJournalView* openJournal(const char* name)
{
    const std::wstring wide(name, name + std::strlen(name));
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, wide.c_str());
    if (mapping == nullptr)
        return nullptr;
    return static_cast<SafetyJournalView*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kSafetyJournalSize));
}

void waitForCleanStop(const SafetyJournalView& journal)
{
    while (!journal.cleanStop())
        sleepMs(10);
}

int fakeWatchdog(const std::string& mode, const char* name, const char* agentPid)
{
    if (mode == "exit-early")
        return kWatchdogHooksMissing;
    SafetyJournalView* journal = openJournal(name);
    if (journal == nullptr)
        return kWatchdogNoJournal;
    if (journal->agentProcessId() != std::strtoul(agentPid, nullptr, 10))
        return kWatchdogForeignJournal;
    if (mode == "never-ready") {
        waitForCleanStop(*journal);
        return kWatchdogDone;
    }
    journal->setWatchdogHeartbeat(GetTickCount64());
    journal->setWatchdogReady(true);
    if (mode == "ignore-stop") {
        sleepMs(4000);
        return kWatchdogDone;
    }
    waitForCleanStop(*journal); // "idle"
    return kWatchdogDone;
}

int watch(int argc, char** argv)
{
    if (argc < 4)
        return kWatchdogBadArguments;
    if (const char* mode = std::getenv("VORNA_STUB_WATCHDOG"); mode != nullptr && *mode != '\0')
        return fakeWatchdog(mode, argv[2], argv[3]);
    const std::wstring name(argv[2], argv[2] + std::strlen(argv[2]));
    return Watchdog::run(name, static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10)));
}

// The agent reaps its watchdog, so the exit code also goes to the file VORNA_STUB_RESULT names.
int runWatchdog(int argc, char** argv)
{
    const int code = watch(argc, argv);
    if (const char* path = std::getenv("VORNA_STUB_RESULT"); path != nullptr && *path != '\0') {
        if (std::FILE* file = std::fopen(path, "w")) {
            std::fprintf(file, "%d\n", code);
            std::fclose(file);
        }
    }
    return code;
}

struct Hold {
    std::string kind;
    std::uint32_t value = 0;
};

bool sendKey(WORD vk, WORD scan, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    input.ki.dwExtraInfo = ULONG_PTR(kInjectionMarker);
    return SendInput(1, &input, sizeof(INPUT)) == 1;
}

bool sendButtonDown(std::uint32_t button)
{
    static constexpr DWORD kDownFlags[] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_MIDDLEDOWN,
                                           MOUSEEVENTF_XDOWN, MOUSEEVENTF_XDOWN};
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = kDownFlags[button];
    input.mi.mouseData = button == 4 ? XBUTTON1 : button == 5 ? XBUTTON2 : 0;
    input.mi.dwExtraInfo = ULONG_PTR(kInjectionMarker);
    return SendInput(1, &input, sizeof(INPUT)) == 1;
}

// Marks first, then sends, as the engine and the text transfer do.
bool hold(SafetyJournalView& journal, const Hold& h, std::uint32_t& unicodeSlot)
{
    if (h.kind == "key") {
        journal.exchangeEngineHeldKey(h.value, 1);
        return sendKey(static_cast<WORD>(h.value), 0, 0);
    }
    if (h.kind == "text") {
        journal.exchangeTextHeldKey(h.value, 1);
        return sendKey(static_cast<WORD>(h.value), 0, 0);
    }
    if (h.kind == "button" && h.value >= 1 && h.value <= 5) {
        journal.exchangeEngineHeldButton(h.value, 1);
        return sendButtonDown(h.value);
    }
    if (h.kind == "numpad-enter") {
        journal.exchangeEngineHoldsNumpadEnter(1);
        return sendKey(0, 0x1C, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_SCANCODE);
    }
    if (h.kind == "unicode" && unicodeSlot < kSafetyJournalUnicodeSlots) {
        journal.exchangeUnicodeSlot(unicodeSlot++, h.value);
        return sendKey(0, static_cast<WORD>(h.value), KEYEVENTF_UNICODE);
    }
    return false;
}

void clearMarks(SafetyJournalView& journal)
{
    for (std::uint32_t vk = 0; vk < kSafetyJournalKeyCount; ++vk) {
        journal.exchangeEngineHeldKey(vk, 0);
        journal.exchangeTextHeldKey(vk, 0);
    }
    for (std::uint32_t b = 0; b < kSafetyJournalButtonCount; ++b)
        journal.exchangeEngineHeldButton(b, 0);
    for (std::uint32_t s = 0; s < kSafetyJournalUnicodeSlots; ++s)
        journal.exchangeUnicodeSlot(s, 0);
    journal.exchangeEngineHoldsNumpadEnter(0);
}

std::wstring ownExecutable()
{
    std::vector<WCHAR> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::wstring(path.data(), length);
}

int runAgent(int argc, char** argv)
{
    std::vector<Hold> holds;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        const auto colon = word.find(':');
        Hold h;
        h.kind = word.substr(0, colon);
        if (colon != std::string::npos)
            h.value = static_cast<std::uint32_t>(std::strtoul(word.c_str() + colon + 1, nullptr, 10));
        holds.push_back(h);
    }

    SafetyJournal journal;
    std::string error;
    if (!journal.create(ownExecutable(), error)) {
        std::printf("failed %s %u\n", error.c_str(), static_cast<unsigned>(journal.watchdogProcessId()));
        std::fflush(stdout);
        return 2;
    }
    const std::wstring& name = journal.name();
    std::printf("ready %u %s\n", static_cast<unsigned>(journal.watchdogProcessId()), std::string(name.begin(), name.end()).c_str());
    std::fflush(stdout);

    std::uint32_t unicodeSlot = 0;
    for (const Hold& h : holds) {
        if (!hold(*journal.view(), h, unicodeSlot)) {
            std::printf("cannot hold %s\n", h.kind.c_str());
            std::fflush(stdout);
        }
    }
    std::printf("holding\n");
    std::fflush(stdout);

    std::atomic<int> command{0}; // 1 stop, 2 stop-keep
    std::thread reader([&command] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line == "stop" || line == "stop-keep") {
                command.store(line == "stop" ? 1 : 2);
                return;
            }
        }
        command.store(1);
    });
    while (command.load() == 0) {
        journal.heartbeat();
        sleepMs(20);
    }
    reader.join();
    if (command.load() == 1)
        clearMarks(*journal.view());
    journal.close();
    std::printf("closed\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--watchdog") == 0)
        return runWatchdog(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "agent") == 0)
        return runAgent(argc, argv);
    std::fprintf(stderr, "usage: safety_agent_stub --watchdog NAME PID | agent HOLD...\n");
    return 2;
}
