#include "platform/sim/process/command_line.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const wchar_t* line;
    std::vector<std::wstring> args;
};

class CommandLineSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, FollowsTheWindowsRules)
{
    EXPECT_EQ(vorna::sim::splitCommandLine(GetParam().line), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineSplit,
    testing::Values(
        SplitCase{L"prog a b", {L"prog", L"a", L"b"}},
        SplitCase{L"prog  \t a\t\tb  ", {L"prog", L"a", L"b"}},
        // The program name: quotes group, backslashes are plain.
        SplitCase{L"\"C:\\Program Files\\x.exe\" --watchdog", {L"C:\\Program Files\\x.exe", L"--watchdog"}},
        SplitCase{L"C:\\dir\\\"x y\"z a", {L"C:\\dir\\x yz", L"a"}},
        SplitCase{L"prog \"a b\" c", {L"prog", L"a b", L"c"}},
        SplitCase{L"prog \"\" x", {L"prog", L"", L"x"}},
        SplitCase{L"prog a\"b c\"d", {L"prog", L"ab cd"}},
        // Backslashes count only before a quote.
        SplitCase{L"prog a\\\\b c\\", {L"prog", L"a\\\\b", L"c\\"}},
        SplitCase{L"prog a\\\"b", {L"prog", L"a\"b"}},
        SplitCase{L"prog a\\\\\"b c\"", {L"prog", L"a\\b c"}},
        SplitCase{L"prog a\\\\\\\"b", {L"prog", L"a\\\"b"}},
        SplitCase{L"prog \"a\\\\\"", {L"prog", L"a\\"}},
        // A doubled quote inside quotes is one literal quote, and the quote goes on.
        SplitCase{L"prog \"a\"\"b c\"", {L"prog", L"a\"b c"}},
        SplitCase{L"prog \"unterminated arg", {L"prog", L"unterminated arg"}},
        SplitCase{L"\"Local\\VornaInputSafety-{X}\"", {L"Local\\VornaInputSafety-{X}"}},
        SplitCase{L"", {L""}}));

} // namespace
