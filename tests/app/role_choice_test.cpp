#include "app/role_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using app::ProcessRole;

struct RoleCase {
    std::vector<const char*> args; // behind the program name
    ProcessRole role;
    int exitCode;
    const wchar_t* journal;
    std::uint32_t pid;
};

class RoleTable : public testing::TestWithParam<RoleCase> {};

TEST_P(RoleTable, ArgumentsChooseRole)
{
    const RoleCase& c = GetParam();
    std::vector<const char*> argv{"vorna-input-trellan"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const app::RoleChoice choice = app::chooseRole(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(choice.role, c.role);
    EXPECT_EQ(choice.exitCode, c.exitCode);
    EXPECT_EQ(choice.journalName, std::wstring(c.journal));
    EXPECT_EQ(choice.agentProcessId, c.pid);
}

const wchar_t* const kNone = L"";
const wchar_t* const kJournal = L"Local\\VornaInputSafety-{0D9E}";

INSTANTIATE_TEST_SUITE_P(Arguments, RoleTable, testing::Values(
    RoleCase{{}, ProcessRole::SettingsWindow, 0, kNone, 0},
    RoleCase{{"--no-live"}, ProcessRole::SettingsWindow, 0, kNone, 0},
    RoleCase{{"--Agent"}, ProcessRole::SettingsWindow, 0, kNone, 0},
    RoleCase{{"--agent"}, ProcessRole::Agent, 0, kNone, 0},
    RoleCase{{"x", "--agent"}, ProcessRole::Agent, 0, kNone, 0},
    // Passes run in a fixed order over all arguments, not by position.
    RoleCase{{"--agent", "--action-worker"}, ProcessRole::ActionWorker, 0, kNone, 0},
    RoleCase{{"--agent", "--watchdog", "Local\\VornaInputSafety-{0D9E}", "42"}, ProcessRole::Watchdog, 0, kJournal, 42},
    RoleCase{{"--watchdog", "j", "1", "--action-worker"}, ProcessRole::ActionWorker, 0, kNone, 0},
    RoleCase{{"--watchdog", "Local\\VornaInputSafety-{0D9E}", "4294967295"}, ProcessRole::Watchdog, 0, kJournal, 4294967295u},
    RoleCase{{"--watchdog", "j", "0"}, ProcessRole::Watchdog, 0, L"j", 0},
    RoleCase{{"--watchdog", "j", "4294967296"}, ProcessRole::Exit, 20, kNone, 0},
    RoleCase{{"--watchdog", "j", "-1"}, ProcessRole::Exit, 20, kNone, 0},
    RoleCase{{"--watchdog", "j", "+1"}, ProcessRole::Exit, 20, kNone, 0},
    RoleCase{{"--watchdog", "j", "12a"}, ProcessRole::Exit, 20, kNone, 0},
    RoleCase{{"--watchdog", "j", ""}, ProcessRole::Exit, 20, kNone, 0},
    RoleCase{{"--watchdog", "j"}, ProcessRole::Exit, 20, kNone, 0},
    RoleCase{{"--watchdog"}, ProcessRole::Exit, 20, kNone, 0},
    // The watchdog's own arguments come behind its first occurrence.
    RoleCase{{"--watchdog", "--agent", "7"}, ProcessRole::Watchdog, 0, L"--agent", 7},
    RoleCase{{"--watchdog", "\xd0\xb6", "7"}, ProcessRole::Watchdog, 0, L"\u0436", 7}));

} // namespace
