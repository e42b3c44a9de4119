// The client identity of a local socket and the forced failure of the power-throttling switch.
#include "platform/sim/session/session_api.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

namespace {

HANDLE asPipe(int descriptor)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
}

} // namespace

TEST(PipeClient, ThePeerOfALocalSocketIsItsProcessAndThatProcesssSession)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ULONG process = 0;
    ASSERT_TRUE(GetNamedPipeClientProcessId(asPipe(ends[0]), &process));
    EXPECT_EQ(process, GetCurrentProcessId());
    ULONG session = 0;
    DWORD own = 0;
    ASSERT_TRUE(GetNamedPipeClientSessionId(asPipe(ends[0]), &session));
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &own));
    EXPECT_EQ(session, own);
    ::close(ends[0]);
    ::close(ends[1]);
}

TEST(PipeClient, AHandleThatIsNoSocketHasNoClient)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    for (HANDLE handle : {asPipe(pipe[0]), INVALID_HANDLE_VALUE, asPipe(999999)}) {
        ULONG value = 7;
        SetLastError(0);
        EXPECT_FALSE(GetNamedPipeClientProcessId(handle, &value));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(GetNamedPipeClientSessionId(handle, &value));
        EXPECT_EQ(value, 7u);
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
}

TEST(PowerThrottling, ADriverCanMakeTheSwitchFailOnce)
{
    PROCESS_POWER_THROTTLING_STATE state{PROCESS_POWER_THROTTLING_CURRENT_VERSION,
                                         PROCESS_POWER_THROTTLING_EXECUTION_SPEED, 0};
    vorna::sim::processSession().setFailure(vorna::sim::FailPoint::PowerThrottling,
                                            vorna::sim::Failure{ERROR_ACCESS_DENIED, 1, 0});
    EXPECT_FALSE(SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state));
}
