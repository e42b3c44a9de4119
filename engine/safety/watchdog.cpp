#include "engine/safety/watchdog.h"

#include "engine/mapping/hook_keys.h"
#include "engine/mapping/injection_marker.h"
#include "platform/text/utf16.h"

#include <atomic>
#include <initializer_list>
#include <utility>
#include <vector>

namespace vorna::windows {

namespace {

constexpr std::size_t kMaxJournalNameLength = 100;
constexpr std::uint64_t kHangLimitMs = 5000;
constexpr DWORD kWakeIntervalMs = 100;
constexpr DWORD kWakeMask = 0x1CFF; // every kind of input and message, raw input included
constexpr int kMessagesPerPump = 128;
constexpr DWORD kTerminationWaitMs = 1500;
constexpr DWORD kPathChars = 32768;

using KeyTable = std::array<bool, kSafetyJournalKeyCount>;

constexpr KeyTable keyTable(std::initializer_list<std::pair<unsigned, unsigned>> ranges)
{
    KeyTable table{};
    for (const auto& [first, last] : ranges) {
        for (unsigned vk = first; vk <= last; ++vk)
            table[vk] = true;
    }
    return table;
}

// The keys the watchdog may release: the keyboard inputs the program can map.
constexpr KeyTable kReleasable = keyTable({{8, 9}, {12, 13}, {16, 20}, {27, 27}, {32, 57}, {65, 93}, {96, 135},
                                           {144, 145}, {160, 183}, {186, 192}, {219, 223}, {226, 226}});

struct ButtonUp {
    DWORD flags;
    DWORD mouseData;
};
// Index = button number in the journal.
constexpr ButtonUp kButtonUps[kSafetyJournalButtonCount] = {
    {0, 0}, {MOUSEEVENTF_LEFTUP, 0}, {MOUSEEVENTF_RIGHTUP, 0}, {MOUSEEVENTF_MIDDLEUP, 0},
    {MOUSEEVENTF_XUP, XBUTTON1}, {MOUSEEVENTF_XUP, XBUTTON2},
};
// Virtual keys of the buttons, for reading their state at start.
constexpr int kButtonKeys[kSafetyJournalButtonCount] = {0, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};

// The journal as the hook procedures see it; set while the watch runs.
std::atomic<SafetyJournalView*> hookJournal{nullptr};
// Keys the start-up seeding found down, until the hooks see an event of theirs (watch thread).
KeyTable seededKeys{};

INPUT keyboardInput(WORD vk, WORD scan, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    input.ki.dwExtraInfo = ULONG_PTR(kInjectionMarker);
    return input;
}

INPUT mouseInput(DWORD flags, DWORD mouseData)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.mouseData = mouseData;
    input.mi.dwFlags = flags;
    input.mi.dwExtraInfo = ULONG_PTR(kInjectionMarker);
    return input;
}

bool fileIdentity(const WCHAR* path, BY_HANDLE_FILE_INFORMATION& info)
{
    const HANDLE file = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    return ok;
}

// Lets the hook procedures run: they are called from inside message retrieval.
void pumpMessages()
{
    MSG message;
    for (int i = 0; i < kMessagesPerPump && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Everything the watch holds, let go in the order the exit needs: hooks, handles, view.
struct Watch {
    HANDLE mapping = nullptr;
    SafetyJournalView* journal = nullptr;
    HANDLE agent = nullptr;
    HHOOK keyboardHook = nullptr;
    HHOOK mouseHook = nullptr;

    ~Watch()
    {
        if (keyboardHook != nullptr)
            UnhookWindowsHookEx(keyboardHook);
        if (mouseHook != nullptr)
            UnhookWindowsHookEx(mouseHook);
        hookJournal.store(nullptr);
        if (agent != nullptr)
            CloseHandle(agent);
        if (journal != nullptr)
            UnmapViewOfFile(journal);
        if (mapping != nullptr)
            CloseHandle(mapping);
    }
};

// The system's key state counts the agent's injected keys as down too, and the hooks ignore
// their releases: a key the journal marks as the agent's is left as the agent recorded it, so
// that it is never taken for one the user holds.
void seedPhysicalState(SafetyJournalView& journal)
{
    for (std::uint32_t vk = 8; vk < kSafetyJournalKeyCount; ++vk) {
        const bool agents = journal.engineHeldKey(vk) == 1 || journal.textHeldKey(vk) == 1 ||
                            (vk == VK_RETURN && journal.engineHoldsNumpadEnter() == 1);
        if (agents)
            continue;
        seededKeys[vk] = (GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0;
        journal.exchangePhysicalKey(vk, seededKeys[vk] ? 1 : 0);
    }
    for (std::uint32_t button = kJournalButtonLeft; button <= kJournalButtonX2; ++button) {
        if (journal.engineHeldButton(button) != 1)
            journal.exchangePhysicalButton(button, (GetAsyncKeyState(kButtonKeys[button]) & 0x8000) != 0 ? 1 : 0);
    }
}

// Sends every release owed, each alone, and returns how many were not sent.
int release(const SafetyJournalView& journal)
{
    pumpMessages(); // the hooks record the latest physical state first
    ReleasePlan plan = Watchdog::planRelease(journal);
    int failures = 0;
    for (std::size_t i = 0; i < plan.count; ++i) {
        if (SendInput(1, &plan.inputs[i], sizeof(INPUT)) != 1)
            ++failures;
    }
    return failures;
}

} // namespace

bool Watchdog::argumentsValid(const std::wstring& journalName, std::uint32_t agentProcessId)
{
    return agentProcessId != 0 && utf16Length(journalName) <= kMaxJournalNameLength &&
           journalName.starts_with(kSafetyJournalNamePrefix);
}

bool Watchdog::agentHangs(const SafetyJournalView& journal, std::uint64_t nowMs)
{
    if (journal.hooksArmed() && heartbeatOlderThan(nowMs, journal.hookHeartbeat(), kHangLimitMs))
        return true;
    return heartbeatOlderThan(nowMs, journal.agentHeartbeat(), kHangLimitMs);
}

ReleasePlan Watchdog::planRelease(const SafetyJournalView& journal)
{
    ReleasePlan plan;
    auto add = [&plan](const INPUT& input) { plan.inputs[plan.count++] = input; };
    for (std::uint32_t vk = 8; vk < kSafetyJournalKeyCount; ++vk) {
        const bool held = journal.engineHeldKey(vk) == 1 || journal.textHeldKey(vk) == 1;
        if (kReleasable[vk] && held && journal.physicalKey(vk) == 0)
            add(keyboardInput(static_cast<WORD>(vk), 0, KEYEVENTF_KEYUP | (isExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0)));
    }
    for (std::uint32_t button = kJournalButtonLeft; button <= kJournalButtonX2; ++button) {
        if (journal.engineHeldButton(button) == 1 && journal.physicalButton(button) == 0)
            add(mouseInput(kButtonUps[button].flags, kButtonUps[button].mouseData));
    }
    if (journal.engineHoldsNumpadEnter() == 1 && journal.numpadEnterPhysical() == 0)
        add(keyboardInput(0, 0x1C, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP | KEYEVENTF_SCANCODE));
    for (std::uint32_t slot = 0; slot < kSafetyJournalUnicodeSlots; ++slot) {
        const std::uint32_t unit = journal.unicodeSlot(slot);
        if (unit >= 1 && unit <= 0xFFFF)
            add(keyboardInput(0, static_cast<WORD>(unit), KEYEVENTF_KEYUP | KEYEVENTF_UNICODE));
    }
    return plan;
}

void Watchdog::recordKey(SafetyJournalView& journal, WPARAM message, const KBDLLHOOKSTRUCT& event)
{
    if ((event.flags & LLKHF_INJECTED) != 0 || event.vkCode >= kSafetyJournalKeyCount)
        return;
    const std::uint32_t down = (message == WM_KEYUP || message == WM_SYSKEYUP) ? 0 : 1;
    const bool extended = (event.flags & LLKHF_EXTENDED) != 0;
    // Numpad Enter has its own slot; keypad keys with NumLock off are recorded under their
    // numpad code.
    const bool numpadEnter = extended && event.vkCode == VK_RETURN;
    const DWORD keypad = keypadKeyFor(event.scanCode, event.vkCode, extended);
    const std::uint32_t slot = numpadEnter ? kNumpadEnterSlot : keypad != 0 ? keypad : event.vkCode;
    const std::uint32_t wasDown = numpadEnter ? journal.numpadEnterPhysical() : journal.physicalKey(slot);
    // A key the seeding found down was recorded under the code the key state gives it; its
    // release may carry the other name.
    const std::uint32_t scanned = keyStateCodeFor(slot);
    if (down == 0 && wasDown == 0 && scanned != 0 && seededKeys[scanned]) {
        seededKeys[scanned] = false;
        journal.exchangePhysicalKey(scanned, 0);
        return;
    }
    if (numpadEnter) {
        journal.exchangeNumpadEnterPhysical(down);
        return;
    }
    seededKeys[slot] = false;
    journal.exchangePhysicalKey(slot, down);
}

void Watchdog::recordButton(SafetyJournalView& journal, WPARAM message, const MSLLHOOKSTRUCT& event)
{
    if ((event.flags & LLMHF_INJECTED) != 0)
        return;
    switch (message) {
    case WM_LBUTTONDOWN: journal.exchangePhysicalButton(kJournalButtonLeft, 1); break;
    case WM_LBUTTONUP: journal.exchangePhysicalButton(kJournalButtonLeft, 0); break;
    case WM_RBUTTONDOWN: journal.exchangePhysicalButton(kJournalButtonRight, 1); break;
    case WM_RBUTTONUP: journal.exchangePhysicalButton(kJournalButtonRight, 0); break;
    case WM_MBUTTONDOWN: journal.exchangePhysicalButton(kJournalButtonMiddle, 1); break;
    case WM_MBUTTONUP: journal.exchangePhysicalButton(kJournalButtonMiddle, 0); break;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP: {
        const std::uint32_t button = ((event.mouseData >> 16) & 0xFFFF) == XBUTTON1 ? kJournalButtonX1 : kJournalButtonX2;
        journal.exchangePhysicalButton(button, message == WM_XBUTTONDOWN ? 1 : 0);
        break;
    }
    default: break;
    }
}

LRESULT CALLBACK Watchdog::keyboardHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    SafetyJournalView* journal = hookJournal.load();
    if (nCode == HC_ACTION && journal != nullptr)
        recordKey(*journal, wParam, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

LRESULT CALLBACK Watchdog::mouseHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    SafetyJournalView* journal = hookJournal.load();
    if (nCode == HC_ACTION && journal != nullptr)
        recordButton(*journal, wParam, *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam));
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

bool Watchdog::isSameExecutable(HANDLE agentProcess)
{
    std::vector<WCHAR> own(kPathChars);
    const DWORD ownLength = GetModuleFileNameW(nullptr, own.data(), kPathChars);
    if (ownLength == 0 || ownLength >= kPathChars)
        return false;
    std::vector<WCHAR> agent(kPathChars);
    DWORD agentLength = kPathChars;
    if (!QueryFullProcessImageNameW(agentProcess, 0, agent.data(), &agentLength))
        return false;
    BY_HANDLE_FILE_INFORMATION ownInfo{};
    BY_HANDLE_FILE_INFORMATION agentInfo{};
    if (!fileIdentity(own.data(), ownInfo) || !fileIdentity(agent.data(), agentInfo))
        return false;
    return ownInfo.dwVolumeSerialNumber == agentInfo.dwVolumeSerialNumber &&
           ownInfo.nFileIndexHigh == agentInfo.nFileIndexHigh && ownInfo.nFileIndexLow == agentInfo.nFileIndexLow;
}

int Watchdog::run(const std::wstring& journalName, std::uint32_t agentProcessId)
{
    // Keep this process at full speed and timer resolution even when the system saves power.
    PROCESS_POWER_THROTTLING_STATE throttling{};
    throttling.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    throttling.ControlMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED | PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    throttling.StateMask = 0;
    const DWORD powerError =
        SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &throttling, sizeof throttling) ? 0 : GetLastError();

    if (!argumentsValid(journalName, agentProcessId))
        return kWatchdogBadArguments;

    Watch watch;
    watch.mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, journalName.c_str());
    if (watch.mapping == nullptr)
        return kWatchdogNoJournal;
    watch.journal = static_cast<SafetyJournalView*>(MapViewOfFile(watch.mapping, FILE_MAP_ALL_ACCESS, 0, 0, kSafetyJournalSize));
    if (watch.journal == nullptr)
        return kWatchdogJournalNotMapped;
    SafetyJournalView& journal = *watch.journal;
    if (journal.version() != kSafetyJournalVersion || journal.agentProcessId() != agentProcessId)
        return kWatchdogForeignJournal;
    journal.setWatchdogPowerPolicyError(powerError);

    watch.agent = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, agentProcessId);
    if (watch.agent == nullptr)
        return kWatchdogNoAgent;
    if (!isSameExecutable(watch.agent))
        return kWatchdogOtherExecutable;

    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // creates this thread's message queue
    hookJournal.store(watch.journal);
    seedPhysicalState(journal);

    const HINSTANCE module = GetModuleHandleW(nullptr);
    watch.keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, module, 0);
    if (watch.keyboardHook != nullptr)
        watch.mouseHook = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, module, 0);
    const bool hooksOk = watch.keyboardHook != nullptr && watch.mouseHook != nullptr;

    bool agentGone = false;
    if (!hooksOk) {
        // Without hooks the physical tables cannot be kept true; only a clean stop, which
        // asks for the release anyway, is still served.
        if (!journal.cleanStop())
            return kWatchdogHooksMissing;
    } else {
        journal.setWatchdogHeartbeat(GetTickCount64());
        journal.setWatchdogReady(true);
        while (!journal.cleanStop()) {
            MsgWaitForMultipleObjectsEx(1, &watch.agent, kWakeIntervalMs, kWakeMask, MWMO_INPUTAVAILABLE);
            pumpMessages();
            const std::uint64_t now = GetTickCount64();
            journal.setWatchdogHeartbeat(now);
            if (WaitForSingleObject(watch.agent, 0) == WAIT_OBJECT_0) {
                agentGone = true;
                break;
            }
            if (!agentHangs(journal, now))
                continue;
            // On Linux the stand-in ends the agent with SIGKILL: the exit code cannot be
            // chosen there, so observers see the signal, not 91.
            agentGone = TerminateProcess(watch.agent, kHungAgentExitCode) &&
                        WaitForSingleObject(watch.agent, kTerminationWaitMs) == WAIT_OBJECT_0;
            break;
        }
    }

    // An agent that may still run is only released against when it asked to stop: otherwise
    // its keys could go up under its feet.
    if (!agentGone && !journal.cleanStop())
        return hooksOk ? kWatchdogDone : kWatchdogHooksMissing;
    if (release(journal) != 0)
        return kWatchdogReleaseFailed;
    return hooksOk ? kWatchdogDone : kWatchdogHooksMissing;
}

} // namespace vorna::windows
