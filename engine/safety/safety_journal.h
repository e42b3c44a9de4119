// The safety journal: one block of named shared memory between the agent and its watchdog.
// The agent records here what it holds down and that it is alive; if it dies or hangs, the
// watchdog releases from this record whatever the agent left pressed.
#pragma once

#include "platform/win32.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace vorna::windows {

inline constexpr std::uint32_t kSafetyJournalVersion = 6;
inline constexpr std::size_t kSafetyJournalSize = 3248;
inline constexpr std::size_t kSafetyJournalKeyCount = 256;
inline constexpr std::size_t kSafetyJournalButtonCount = 6; // index 0 reserved, 1-5 used
inline constexpr std::size_t kSafetyJournalUnicodeSlots = 16;
// Journal names are this prefix followed by a GUID in registry form ("{...}", 38 characters).
inline constexpr const wchar_t* kSafetyJournalNamePrefix = L"Local\\VornaInputSafety-";

// Mouse buttons by their number in the journal's button tables.
enum JournalButton : std::uint32_t {
    kJournalButtonLeft = 1,
    kJournalButtonRight = 2,
    kJournalButtonMiddle = 3,
    kJournalButtonX1 = 4,
    kJournalButtonX2 = 5,
};

// The mapped block, byte for byte. Two processes and several threads read and write it at
// once, so the words are never touched directly: every read and write goes through the member
// functions below, each one aligned 32- or 64-bit atomic operation. Writers exchange (and get
// the previous value back); readers load. Out-of-range indexes read 0 and write nothing.
struct SafetyJournalView {
    std::uint32_t versionWord;               // always 6; written once by the agent
    std::uint32_t agentProcessIdWord;        // written once by the agent
    std::uint32_t watchdogReadyWord;         // 1 once the watchdog's hooks are in
    std::uint32_t cleanStopWord;             // 1 when the agent stops normally
    std::uint32_t hooksArmedWord;            // 1 while the agent's hooks are installed
    std::uint32_t reservedWord;              // zero
    std::uint64_t agentHeartbeatWord;        // GetTickCount64 ms
    std::uint64_t hookHeartbeatWord;         // GetTickCount64 ms, agent's hook thread
    std::uint64_t watchdogHeartbeatWord;     // GetTickCount64 ms
    std::uint32_t engineHeldKeyWords[kSafetyJournalKeyCount];
    std::uint32_t engineHeldButtonWords[kSafetyJournalButtonCount];
    std::uint32_t textHeldKeyWords[kSafetyJournalKeyCount];
    std::uint32_t unicodeSlotWords[kSafetyJournalUnicodeSlots];
    std::uint32_t physicalKeyWords[kSafetyJournalKeyCount];
    std::uint32_t physicalButtonWords[kSafetyJournalButtonCount];
    std::uint32_t engineHoldsNumpadEnterWord;
    std::uint32_t numpadEnterPhysicalWord;
    std::uint32_t watchdogPowerPolicyErrorWord; // Win32 error of the watchdog's power setting
    std::uint32_t paddingWord;

    // Header words.
    std::uint32_t version() const { return load(versionWord); }
    void setVersion(std::uint32_t value) { exchange(versionWord, value); }
    std::uint32_t agentProcessId() const { return load(agentProcessIdWord); }
    void setAgentProcessId(std::uint32_t value) { exchange(agentProcessIdWord, value); }
    bool watchdogReady() const { return load(watchdogReadyWord) != 0; }
    void setWatchdogReady(bool ready) { exchange(watchdogReadyWord, ready ? 1u : 0u); }
    bool cleanStop() const { return load(cleanStopWord) != 0; }
    void setCleanStop(bool stop) { exchange(cleanStopWord, stop ? 1u : 0u); }
    bool hooksArmed() const { return load(hooksArmedWord) != 0; }
    void setHooksArmed(bool armed) { exchange(hooksArmedWord, armed ? 1u : 0u); }
    std::uint32_t watchdogPowerPolicyError() const { return load(watchdogPowerPolicyErrorWord); }
    void setWatchdogPowerPolicyError(std::uint32_t error) { exchange(watchdogPowerPolicyErrorWord, error); }

    // Heartbeats, milliseconds of GetTickCount64.
    std::uint64_t agentHeartbeat() const { return load(agentHeartbeatWord); }
    void setAgentHeartbeat(std::uint64_t ms) { exchange(agentHeartbeatWord, ms); }
    std::uint64_t hookHeartbeat() const { return load(hookHeartbeatWord); }
    void setHookHeartbeat(std::uint64_t ms) { exchange(hookHeartbeatWord, ms); }
    std::uint64_t watchdogHeartbeat() const { return load(watchdogHeartbeatWord); }
    void setWatchdogHeartbeat(std::uint64_t ms) { exchange(watchdogHeartbeatWord, ms); }

    // Keys the engine's output holds down, by virtual-key code. The exchanges return the
    // previous mark.
    std::uint32_t engineHeldKey(std::uint32_t vk) const { return loadAt(engineHeldKeyWords, vk); }
    std::uint32_t exchangeEngineHeldKey(std::uint32_t vk, std::uint32_t held) { return exchangeAt(engineHeldKeyWords, vk, held); }
    // Mouse buttons the engine's output holds down, by number 1-5 (JournalButton).
    std::uint32_t engineHeldButton(std::uint32_t button) const { return loadAt(engineHeldButtonWords, button); }
    std::uint32_t exchangeEngineHeldButton(std::uint32_t button, std::uint32_t held) { return exchangeAt(engineHeldButtonWords, button, held); }
    // The numpad Enter key (extended Enter) has its own word: it shares code 13 with Enter.
    std::uint32_t engineHoldsNumpadEnter() const { return load(engineHoldsNumpadEnterWord); }
    std::uint32_t exchangeEngineHoldsNumpadEnter(std::uint32_t held) { return exchange(engineHoldsNumpadEnterWord, held); }

    // Keys the text transfer holds down (the paste keys), by virtual-key code.
    std::uint32_t textHeldKey(std::uint32_t vk) const { return loadAt(textHeldKeyWords, vk); }
    std::uint32_t exchangeTextHeldKey(std::uint32_t vk, std::uint32_t held) { return exchangeAt(textHeldKeyWords, vk, held); }
    // UTF-16 units whose down was sent and whose up is still due; 0 is an empty slot.
    std::uint32_t unicodeSlot(std::uint32_t slot) const { return loadAt(unicodeSlotWords, slot); }
    std::uint32_t exchangeUnicodeSlot(std::uint32_t slot, std::uint32_t unit) { return exchangeAt(unicodeSlotWords, slot, unit); }

    // What the user physically holds, written by the agent's and the watchdog's hooks alike.
    std::uint32_t physicalKey(std::uint32_t vk) const { return loadAt(physicalKeyWords, vk); }
    std::uint32_t exchangePhysicalKey(std::uint32_t vk, std::uint32_t down) { return exchangeAt(physicalKeyWords, vk, down); }
    std::uint32_t physicalButton(std::uint32_t button) const { return loadAt(physicalButtonWords, button); }
    std::uint32_t exchangePhysicalButton(std::uint32_t button, std::uint32_t down) { return exchangeAt(physicalButtonWords, button, down); }
    std::uint32_t numpadEnterPhysical() const { return load(numpadEnterPhysicalWord); }
    std::uint32_t exchangeNumpadEnterPhysical(std::uint32_t down) { return exchange(numpadEnterPhysicalWord, down); }

    // Zero every word, each with its own atomic store (the block may already be shared).
    void clear()
    {
        for (std::uint32_t* word : {&versionWord, &agentProcessIdWord, &watchdogReadyWord, &cleanStopWord,
                                    &hooksArmedWord, &reservedWord, &engineHoldsNumpadEnterWord,
                                    &numpadEnterPhysicalWord, &watchdogPowerPolicyErrorWord, &paddingWord})
            exchange(*word, 0u);
        for (std::uint64_t* word : {&agentHeartbeatWord, &hookHeartbeatWord, &watchdogHeartbeatWord})
            exchange(*word, std::uint64_t{0});
        clearTable(engineHeldKeyWords);
        clearTable(engineHeldButtonWords);
        clearTable(textHeldKeyWords);
        clearTable(unicodeSlotWords);
        clearTable(physicalKeyWords);
        clearTable(physicalButtonWords);
    }

private:
    template <typename T>
    static T load(const T& word)
    {
        return std::atomic_ref<T>(const_cast<T&>(word)).load();
    }
    template <typename T>
    static T exchange(T& word, T value)
    {
        return std::atomic_ref<T>(word).exchange(value);
    }
    template <std::size_t N>
    static std::uint32_t loadAt(const std::uint32_t (&table)[N], std::uint32_t index)
    {
        return index < N ? load(table[index]) : 0;
    }
    template <std::size_t N>
    static std::uint32_t exchangeAt(std::uint32_t (&table)[N], std::uint32_t index, std::uint32_t value)
    {
        return index < N ? exchange(table[index], value) : 0;
    }
    template <std::size_t N>
    static void clearTable(std::uint32_t (&table)[N])
    {
        for (std::uint32_t& word : table)
            exchange(word, 0u);
    }
};

static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free &&
                  std::atomic_ref<std::uint64_t>::is_always_lock_free,
              "the journal is shared between processes: its atomics must not use locks");
static_assert(sizeof(SafetyJournalView) == kSafetyJournalSize);
static_assert(alignof(SafetyJournalView) == 8);
static_assert(offsetof(SafetyJournalView, versionWord) == 0);
static_assert(offsetof(SafetyJournalView, agentProcessIdWord) == 4);
static_assert(offsetof(SafetyJournalView, watchdogReadyWord) == 8);
static_assert(offsetof(SafetyJournalView, cleanStopWord) == 12);
static_assert(offsetof(SafetyJournalView, hooksArmedWord) == 16);
static_assert(offsetof(SafetyJournalView, reservedWord) == 20);
static_assert(offsetof(SafetyJournalView, agentHeartbeatWord) == 24);
static_assert(offsetof(SafetyJournalView, hookHeartbeatWord) == 32);
static_assert(offsetof(SafetyJournalView, watchdogHeartbeatWord) == 40);
static_assert(offsetof(SafetyJournalView, engineHeldKeyWords) == 48);
static_assert(offsetof(SafetyJournalView, engineHeldButtonWords) == 1072);
static_assert(offsetof(SafetyJournalView, textHeldKeyWords) == 1096);
static_assert(offsetof(SafetyJournalView, unicodeSlotWords) == 2120);
static_assert(offsetof(SafetyJournalView, physicalKeyWords) == 2184);
static_assert(offsetof(SafetyJournalView, physicalButtonWords) == 3208);
static_assert(offsetof(SafetyJournalView, engineHoldsNumpadEnterWord) == 3232);
static_assert(offsetof(SafetyJournalView, numpadEnterPhysicalWord) == 3236);
static_assert(offsetof(SafetyJournalView, watchdogPowerPolicyErrorWord) == 3240);
static_assert(offsetof(SafetyJournalView, paddingWord) == 3244);

// The agent's side of the journal: it creates the block, starts the watchdog on it and owns the
// mapping, the view and the watchdog's process handle. The view pointer goes to the input
// backend and the text transfer, which write their marks into it directly.
class SafetyJournal {
public:
    // Fills a GUID and returns a success code, as CoCreateGuid does.
    using GuidGenerator = std::function<HRESULT(GUID*)>;

    SafetyJournal() = default;
    ~SafetyJournal();
    SafetyJournal(const SafetyJournal&) = delete;
    SafetyJournal& operator=(const SafetyJournal&) = delete;

    // Creates a new journal only the current user (and the system) may open, starts
    // `executablePath` as its watchdog and waits until the watchdog reports ready. On failure
    // `error` holds the reason; what was obtained stays until close() or destruction.
    bool create(const std::wstring& executablePath, std::string& error, const GuidGenerator& generator = CoCreateGuid);
    // Asks the watchdog to stop, gives it up to 1500 ms, then lets go of everything. Idempotent.
    void close();
    void heartbeat();
    bool isWatchdogAlive() const;
    // The same, at a given GetTickCount64 time.
    bool isWatchdogAlive(std::uint64_t nowMs) const;
    std::uint32_t watchdogProcessId() const;

    SafetyJournalView* view() const { return m_view; }
    const std::wstring& name() const { return m_name; }

private:
    HANDLE m_mapping = nullptr;
    HANDLE m_watchdog = nullptr;
    SafetyJournalView* m_view = nullptr;
    std::wstring m_name;
};

// A heartbeat is older than `limitMs` at `nowMs`. A beat stamped after `nowMs` was read (the
// writer runs in another process) counts as fresh, not as one from the far past.
inline bool heartbeatOlderThan(std::uint64_t nowMs, std::uint64_t beatMs, std::uint64_t limitMs)
{
    return nowMs > beatMs && nowMs - beatMs > limitMs;
}

} // namespace vorna::windows
