#include "peer.h"
#include "platform/sim/process/text.h"
#include "platform/win32.h"
#include "tests/support/built_programs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using vorna::test::peerPath;
using vorna::test::startPeer;
using vorna::test::waitForExit;

std::string temporaryPath(const char* stem)
{
    return "/tmp/vorna-sim-" + std::string(stem) + "-" + std::to_string(::getpid());
}

TEST(Process, ExitCodeComesBack)
{
    const HANDLE process = startPeer(L"exit 7");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(waitForExit(process), 7u);
    CloseHandle(process);
}

TEST(Process, ArgumentsAreSplitByTheWindowsRules)
{
    const std::string out = temporaryPath("args");
    const std::wstring file = vorna::sim::fromUtf8(out);
    const HANDLE process = startPeer(L"echo-args \"" + file + L"\" \"a b\" c\\\\\"d e\" \"\\\"q\\\"\" x\\y");
    ASSERT_NE(process, nullptr);
    ASSERT_EQ(waitForExit(process), 0u);
    std::ifstream in(out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a b", "c\\d e", "\"q\"", "x\\y"}));
    std::remove(out.c_str());
    CloseHandle(process);
}

TEST(Process, TerminateEndsAProcessAndReportsTheSignal)
{
    DWORD pid = 0;
    const HANDLE process = startPeer(L"sleep", &pid);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(GetProcessId(process), pid);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, DWORD(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(process, 0), DWORD(WAIT_TIMEOUT));
    ASSERT_TRUE(TerminateProcess(process, 91));
    // Linux cannot carry the requested code: the process died of SIGKILL.
    EXPECT_EQ(waitForExit(process), 128u + 9u);
    EXPECT_FALSE(TerminateProcess(process, 91));
    CloseHandle(process);
}

TEST(Process, OpenProcessFindsARunningProcessAndItsImage)
{
    DWORD pid = 0;
    const HANDLE child = startPeer(L"sleep", &pid);
    ASSERT_NE(child, nullptr);
    const HANDLE opened = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(GetProcessId(opened), pid);
    WCHAR image[4096];
    DWORD size = 4096;
    ASSERT_TRUE(QueryFullProcessImageNameW(opened, 0, image, &size));
    EXPECT_EQ(std::wstring(image, size), peerPath());
    size = 3;
    EXPECT_FALSE(QueryFullProcessImageNameW(opened, 0, image, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    // Either handle sees the end.
    TerminateProcess(child, 1);
    EXPECT_EQ(WaitForSingleObject(opened, 10000), WAIT_OBJECT_0);
    CloseHandle(opened);
    CloseHandle(child);
}

TEST(Process, MissingProgramsAndProcessesFail)
{
    std::wstring line = L"/nonexistent/program --x";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(OpenProcess(SYNCHRONIZE, FALSE, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Process, ModuleFileNameIsTheRunningImageAndTruncatesReportingIt)
{
    WCHAR name[4096];
    const DWORD length = GetModuleFileNameW(nullptr, name, 4096);
    ASSERT_GT(length, 0u);
    const std::string self = vorna::test::thisProgram();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(vorna::sim::toUtf8(std::wstring(name, length)), self);
    WCHAR small[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small[4], L'\0');
}

TEST(Process, SessionIdAndPowerThrottling)
{
    PROCESS_POWER_THROTTLING_STATE state{PROCESS_POWER_THROTTLING_CURRENT_VERSION, 5, 0};
    EXPECT_TRUE(SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state));
    state.ControlMask = 8;
    EXPECT_FALSE(SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Threads, PriorityAndDpiContextAreRemembered)
{
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), 7));
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    const DPI_AWARENESS_CONTEXT before = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    EXPECT_NE(before, nullptr);
    EXPECT_EQ(SetThreadDpiAwarenessContext(before), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    EXPECT_EQ(SetThreadDpiAwarenessContext(reinterpret_cast<DPI_AWARENESS_CONTEXT>(7)), nullptr);
}

} // namespace
