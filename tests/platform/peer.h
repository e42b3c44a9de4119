// Starting the test peer program through CreateProcessW.
#pragma once

#include "platform/win32.h"
#include "tests/support/built_programs.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

extern char** environ;

namespace vorna::test {

// The peer is built next to the test programs.
inline std::wstring peerPath()
{
    const std::string path = besideThisProgram("sim_peer");
    return std::wstring(path.begin(), path.end());
}

// Starts "<peer> <arguments>"; returns the process handle (the thread handle is closed). A
// session socket makes the peer a member of that broker's session.
inline HANDLE startPeer(const std::wstring& arguments, DWORD* processId = nullptr, const std::string& sessionSocket = {})
{
    std::wstring line = L"\"" + peerPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring environment;
    if (!sessionSocket.empty()) {
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text(*entry);
            if (text.rfind("VORNA_SIM_SESSION=", 0) != 0)
                environment += std::wstring(text.begin(), text.end()) + L'\0';
        }
        environment += L"VORNA_SIM_SESSION=" + std::wstring(sessionSocket.begin(), sessionSocket.end()) + L'\0';
    }
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(), nullptr, &startup, &info)) {
        ADD_FAILURE() << "CreateProcessW failed with " << GetLastError();
        return nullptr;
    }
    CloseHandle(info.hThread);
    if (processId != nullptr)
        *processId = info.dwProcessId;
    return info.hProcess;
}

inline DWORD waitForExit(HANDLE process, DWORD timeoutMs = 10000)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return 0xFFFFFFFF;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

} // namespace vorna::test
