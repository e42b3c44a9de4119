// The agent's side of the journal, with watchdogs that behave and watchdogs that do not.
#include "engine/safety/safety_journal.h"
#include "tests/safety/child_process.h"
#include "tests/support/condition_wait.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <sys/stat.h>

using namespace vorna::windows;
using vorna::test::ScopedEnv;

namespace {

std::wstring stubPath()
{
    const std::string path = vorna::test::builtProgram("tests/safety", "safety_agent_stub");
    return std::wstring(path.begin(), path.end());
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

bool processRuns(std::uint32_t pid)
{
    return pid != 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

// The file behind a shared-memory block whose name ends in `guid`, or "" when there is none.
std::string sharedMemoryFile(const std::string& guid)
{
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= guid.size() && name.compare(name.size() - guid.size(), guid.size(), guid) == 0)
            return entry.path().string();
    }
    return {};
}

// Fixed names, one per test: the tests of this file run side by side.
HRESULT firstFixedGuid(GUID* guid)
{
    *guid = GUID{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
    return S_OK;
}

HRESULT secondFixedGuid(GUID* guid)
{
    *guid = GUID{0xFFEEDDCC, 0xBBAA, 0x9988, {0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0x00}};
    return S_OK;
}

} // namespace

TEST(SafetyJournal, TwoMappingsOfOneNameSeeEachOthersWrites)
{
    const std::wstring name = L"Local\\VornaInputSafety-{6B29FC40-CA47-1067-B31D-00DD010662DA}";
    const HANDLE first = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSafetyJournalSize, name.c_str());
    ASSERT_NE(first, nullptr);
    const HANDLE second = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(second, nullptr);
    auto* a = static_cast<SafetyJournalView*>(MapViewOfFile(first, FILE_MAP_ALL_ACCESS, 0, 0, kSafetyJournalSize));
    auto* b = static_cast<SafetyJournalView*>(MapViewOfFile(second, FILE_MAP_ALL_ACCESS, 0, 0, kSafetyJournalSize));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(a, b);
    a->exchangeEngineHeldKey(160, 1);
    a->setAgentHeartbeat(0x1122334455667788ull);
    b->exchangeUnicodeSlot(15, 0x044F);
    b->exchangePhysicalButton(5, 1);
    EXPECT_EQ(b->engineHeldKey(160), 1u);
    EXPECT_EQ(b->agentHeartbeat(), 0x1122334455667788ull);
    EXPECT_EQ(a->unicodeSlot(15), 0x044Fu);
    EXPECT_EQ(a->physicalButton(5), 1u);
    UnmapViewOfFile(a);
    UnmapViewOfFile(b);
    CloseHandle(second);
    CloseHandle(first);
}

TEST(SafetyJournal, CreateStartsTheWatchdogOnAFreshJournal)
{
    ScopedEnv mode("VORNA_STUB_WATCHDOG", QByteArray("idle"));
    SafetyJournal journal;
    std::string error;
    const std::uint64_t before = GetTickCount64();
    ASSERT_TRUE(journal.create(stubPath(), error, firstFixedGuid)) << error;
    EXPECT_EQ(narrow(journal.name()), "Local\\VornaInputSafety-{00112233-4455-6677-8899-AABBCCDDEEFF}");
    SafetyJournalView* view = journal.view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->version(), 6u);
    EXPECT_EQ(view->agentProcessId(), static_cast<std::uint32_t>(::getpid()));
    EXPECT_GE(view->agentHeartbeat(), before);
    EXPECT_TRUE(view->watchdogReady());
    EXPECT_FALSE(view->cleanStop());
    const std::uint32_t watchdogPid = journal.watchdogProcessId();
    EXPECT_TRUE(processRuns(watchdogPid));
    EXPECT_TRUE(journal.isWatchdogAlive());

    view->setAgentHeartbeat(0);
    journal.heartbeat();
    EXPECT_GE(view->agentHeartbeat(), before);

    // Only this user may open the block.
    struct stat block{};
    ASSERT_EQ(::stat(sharedMemoryFile("{00112233-4455-6677-8899-AABBCCDDEEFF}").c_str(), &block), 0);
    EXPECT_EQ(block.st_mode & 0777, 0600u);
    EXPECT_EQ(block.st_uid, ::getuid());

    // The stub watchdog reports ready only when the journal its command line names carries our
    // process id, and it ends on the clean stop.
    journal.close();
    EXPECT_EQ(journal.view(), nullptr);
    EXPECT_EQ(journal.watchdogProcessId(), 0u);
    EXPECT_FALSE(journal.isWatchdogAlive());
    EXPECT_FALSE(processRuns(watchdogPid));
    EXPECT_TRUE(sharedMemoryFile("{00112233-4455-6677-8899-AABBCCDDEEFF}").empty());
    journal.close(); // idempotent
}

TEST(SafetyJournal, EveryStartGetsANewRegistryFormName)
{
    ScopedEnv mode("VORNA_STUB_WATCHDOG", QByteArray("idle"));
    SafetyJournal first;
    SafetyJournal second;
    std::string error;
    ASSERT_TRUE(first.create(stubPath(), error)) << error;
    ASSERT_TRUE(second.create(stubPath(), error)) << error;
    const std::regex form(R"(Local\\VornaInputSafety-\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
    EXPECT_TRUE(std::regex_match(narrow(first.name()), form)) << narrow(first.name());
    EXPECT_NE(first.name(), second.name());
}

TEST(SafetyJournal, CreateFailsWithTheReasonOfItsStep)
{
    struct Case {
        const char* name;
        const char* watchdogMode;
        bool executableExists;
        SafetyJournal::GuidGenerator generator;
        const char* error;
    } cases[] = {
        {"no GUID", "idle", true, [](GUID*) -> HRESULT { return E_FAIL; }, "Cannot create journal name"},
        {"no GUID generator", "idle", true, nullptr, "Cannot create journal name"},
        {"watchdog program missing", "idle", false, CoCreateGuid, "Cannot start safety monitor"},
        {"watchdog exits before it is ready", "exit-early", true, CoCreateGuid, "Safety monitor did not become ready"},
        {"watchdog never ready", "never-ready", true, CoCreateGuid, "Safety monitor did not become ready"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv mode("VORNA_STUB_WATCHDOG", QByteArray(c.watchdogMode));
        SafetyJournal journal;
        std::string error;
        const std::wstring path = c.executableExists ? stubPath() : stubPath() + L"-missing";
        EXPECT_FALSE(journal.create(path, error, c.generator));
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(journal.isWatchdogAlive());
    }
}

// A name that is already taken is somebody else's block: our held keys never go there.
TEST(SafetyJournal, ANameAlreadyTakenIsRefused)
{
    ScopedEnv mode("VORNA_STUB_WATCHDOG", QByteArray("idle"));
    SafetyJournal first;
    std::string error;
    ASSERT_TRUE(first.create(stubPath(), error, secondFixedGuid)) << error;
    first.view()->exchangeEngineHeldKey(160, 1);
    SafetyJournal second;
    EXPECT_FALSE(second.create(stubPath(), error, secondFixedGuid));
    EXPECT_EQ(error, "Cannot create safety journal");
    EXPECT_EQ(second.view(), nullptr);
    EXPECT_EQ(second.watchdogProcessId(), 0u);
    EXPECT_EQ(first.view()->version(), 6u);
    EXPECT_EQ(first.view()->engineHeldKey(160), 1u);
}

TEST(SafetyJournal, CloseGivesUpOnAWatchdogThatIgnoresTheStop)
{
    ScopedEnv mode("VORNA_STUB_WATCHDOG", QByteArray("ignore-stop"));
    SafetyJournal journal;
    std::string error;
    ASSERT_TRUE(journal.create(stubPath(), error)) << error;
    const std::uint32_t watchdogPid = journal.watchdogProcessId();
    const auto start = std::chrono::steady_clock::now();
    journal.close();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1500));
    EXPECT_LT(waited, std::chrono::milliseconds(3900)); // it did not wait for the watchdog's end
    EXPECT_TRUE(processRuns(watchdogPid));
    EXPECT_EQ(journal.view(), nullptr);
}

TEST(SafetyJournal, TheWatchdogLivesWhileItsHeartbeatIsUnder4000Ms)
{
    ScopedEnv mode("VORNA_STUB_WATCHDOG", QByteArray("idle"));
    SafetyJournal journal;
    EXPECT_FALSE(journal.isWatchdogAlive(0)); // no journal yet
    std::string error;
    ASSERT_TRUE(journal.create(stubPath(), error)) << error;
    constexpr std::uint64_t now = 10'000'000;
    struct Case {
        std::uint64_t beat;
        bool alive;
    } cases[] = {{now, true}, {now - 3999, true}, {now - 4000, false}, {now - 60000, false}, {now + 5, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "heartbeat " << static_cast<long long>(now - c.beat) << " ms old");
        journal.view()->setWatchdogHeartbeat(c.beat);
        EXPECT_EQ(journal.isWatchdogAlive(now), c.alive);
    }

    // A watchdog that has ended is not alive, however fresh its last beat.
    journal.view()->setWatchdogHeartbeat(now);
    ::kill(static_cast<pid_t>(journal.watchdogProcessId()), SIGKILL);
    EXPECT_TRUE(vorna::test::waitFor([&] { return !journal.isWatchdogAlive(now); }));
}
