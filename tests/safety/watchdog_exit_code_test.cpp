// The watchdog role of the real program, refusing to begin its watch for each reason it has.
#include "engine/safety/safety_journal.h"
#include "tests/safety/child_process.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace vorna::windows;
using vorna::test::ChildProcess;
using vorna::test::runToEnd;

namespace {

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring freshJournalName()
{
    GUID guid{};
    EXPECT_TRUE(SUCCEEDED(CoCreateGuid(&guid)));
    WCHAR text[39] = {};
    StringFromGUID2(guid, text, 39);
    return std::wstring(kSafetyJournalNamePrefix) + text;
}

// A journal made by hand, with whatever header the case needs.
class HandMadeJournal {
public:
    HandMadeJournal(std::uint32_t version, std::uint32_t agentPid, DWORD size = kSafetyJournalSize)
        : name_(freshJournalName())
    {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name_.c_str());
        EXPECT_NE(mapping_, nullptr);
        if (size < kSafetyJournalSize)
            return;
        view_ = static_cast<SafetyJournalView*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, kSafetyJournalSize));
        EXPECT_NE(view_, nullptr);
        if (view_ != nullptr) {
            view_->setVersion(version);
            view_->setAgentProcessId(agentPid);
        }
    }
    ~HandMadeJournal()
    {
        if (view_ != nullptr)
            UnmapViewOfFile(view_);
        if (mapping_ != nullptr)
            CloseHandle(mapping_);
    }
    std::string name() const { return narrow(name_); }

private:
    std::wstring name_;
    HANDLE mapping_ = nullptr;
    SafetyJournalView* view_ = nullptr;
};

std::string program()
{
    return vorna::test::builtProgram("app", "vorna-input-trellan");
}

std::string pidText(pid_t pid)
{
    return std::to_string(static_cast<unsigned long>(pid));
}

// The id of a process that has ended.
pid_t endedProcessId()
{
    ChildProcess child({"/bin/true"});
    child.wait();
    return child.pid();
}

struct ExitCase {
    const char* name;
    std::function<std::vector<std::string>(std::vector<std::unique_ptr<HandMadeJournal>>&)> arguments;
    int exitCode;
};

} // namespace

TEST(WatchdogExitCodes, EachReasonNotToBeginHasItsCode)
{
    const std::string self = pidText(::getpid());
    const std::string validName = narrow(freshJournalName());
    const ExitCase cases[] = {
        {"name without the journal prefix", [&](auto&) { return std::vector<std::string>{"Local\\VornaInputOther-{x}", self}; }, 20},
        {"name of 101 characters",
         [&](auto&) { return std::vector<std::string>{"Local\\VornaInputSafety-" + std::string(78, 'x'), self}; }, 20},
        {"name of 62 characters and 101 UTF-16 units",
         [&](auto&) {
             std::string name = "Local\\VornaInputSafety-";
             for (int i = 0; i < 39; ++i)
                 name += "\xF0\x9F\x98\x80"; // U+1F600 in UTF-8
             return std::vector<std::string>{name, self};
         },
         20},
        {"process id 0", [&](auto&) { return std::vector<std::string>{validName, "0"}; }, 20},
        {"process id missing", [&](auto&) { return std::vector<std::string>{validName}; }, 20},
        {"process id not decimal", [&](auto&) { return std::vector<std::string>{validName, "12a"}; }, 20},
        {"process id beyond 32 bits", [&](auto&) { return std::vector<std::string>{validName, "4294967296"}; }, 20},
        {"no journal of that name", [&](auto&) { return std::vector<std::string>{validName, self}; }, 21},
        {"journal too small to map",
         [&](auto& journals) {
             journals.push_back(std::make_unique<HandMadeJournal>(6, ::getpid(), 64));
             return std::vector<std::string>{journals.back()->name(), self};
         },
         22},
        {"journal of version 5",
         [&](auto& journals) {
             journals.push_back(std::make_unique<HandMadeJournal>(5, ::getpid()));
             return std::vector<std::string>{journals.back()->name(), self};
         },
         23},
        {"journal of another agent",
         [&](auto& journals) {
             journals.push_back(std::make_unique<HandMadeJournal>(6, ::getpid()));
             return std::vector<std::string>{journals.back()->name(), pidText(::getppid())};
         },
         23},
        {"agent no longer running",
         [&](auto& journals) {
             const pid_t ended = endedProcessId();
             journals.push_back(std::make_unique<HandMadeJournal>(6, ended));
             return std::vector<std::string>{journals.back()->name(), pidText(ended)};
         },
         24},
        {"agent runs another program",
         [&](auto& journals) {
             journals.push_back(std::make_unique<HandMadeJournal>(6, ::getpid()));
             return std::vector<std::string>{journals.back()->name(), self};
         },
         25},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<HandMadeJournal>> journals;
        std::vector<std::string> arguments{program(), "--watchdog"};
        for (std::string& a : c.arguments(journals))
            arguments.push_back(std::move(a));
        EXPECT_EQ(runToEnd(arguments), c.exitCode);
    }
}
