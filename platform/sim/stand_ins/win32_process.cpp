// Starting, opening, ending and identifying processes.
#include "platform/sim/process/command_line.h"
#include "platform/sim/stand_ins/process_object.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/process/text.h"
#include "platform/sim/win32/win32_api.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <poll.h>
#include <csignal>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vorna::sim {
namespace {

int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

DWORD errorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    default:
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// The main thread of a started process: it ends when the process does.
class ThreadObject final : public KernelObject {
public:
    explicit ThreadObject(int descriptor) : m_descriptor(descriptor) {}
    ~ThreadObject() override { ::close(m_descriptor); }
    int waitDescriptor() const override { return m_descriptor; }

private:
    int m_descriptor;
};

// An environment block: NAME=VALUE entries ending at an empty one, wide or narrow.
std::vector<std::string> environmentFrom(const void* block, bool wide)
{
    std::vector<std::string> entries;
    if (wide) {
        for (auto* p = static_cast<const WCHAR*>(block); *p != 0; p += std::wcslen(p) + 1)
            entries.push_back(toUtf8(p));
    } else {
        for (auto* p = static_cast<const char*>(block); *p != 0; p += std::strlen(p) + 1)
            entries.emplace_back(p);
    }
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ProcessObject::ProcessObject(DWORD processId, int pidfd, bool child)
    : m_processId(processId), m_pidfd(pidfd), m_descriptor(pidfd >= 0 ? pidfd : eventfd(0, EFD_CLOEXEC)), m_child(child)
{
}

ProcessObject::~ProcessObject()
{
    if (m_child)
        exitCode(); // reap it if it has ended
    ::close(m_descriptor);
}

bool ProcessObject::kill()
{
    if (m_pidfd < 0) {
        errno = EPERM;
        return false;
    }
    return ::syscall(SYS_pidfd_send_signal, m_pidfd, SIGKILL, nullptr, 0) == 0;
}

DWORD ProcessObject::exitCode()
{
    std::lock_guard lock(m_mutex);
    if (m_exitCode)
        return *m_exitCode;
    if (m_pidfd < 0)
        return STILL_ACTIVE;
    pollfd probe{m_pidfd, POLLIN, 0};
    if (::poll(&probe, 1, 0) != 1)
        return STILL_ACTIVE;
    if (!m_child)
        return *(m_exitCode = 1); // not ours to wait for: how it ended is not known here
    siginfo_t info{};
    if (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(m_pidfd), &info, WEXITED | WNOHANG) != 0 || info.si_pid == 0)
        return STILL_ACTIVE;
    m_exitCode = info.si_code == CLD_EXITED ? DWORD(info.si_status) : DWORD(128 + info.si_status);
    return *m_exitCode;
}

std::shared_ptr<ProcessObject> processFromHandle(HANDLE handle)
{
    if (handle == currentProcessPseudoHandle()) {
        static const auto self = std::make_shared<ProcessObject>(DWORD(::getpid()), openPidfd(::getpid()), false);
        return self;
    }
    return lookupHandleAs<ProcessObject>(handle);
}

} // namespace vorna::sim

using namespace vorna::sim;

HANDLE WINAPI GetCurrentProcess()
{
    return currentProcessPseudoHandle();
}

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                           BOOL, DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
    if ((lpApplicationName == nullptr && lpCommandLine == nullptr) || lpProcessInformation == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwCreationFlags & (CREATE_SUSPENDED | DEBUG_PROCESS)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    std::vector<std::wstring> wideArgs = splitCommandLine(lpCommandLine ? lpCommandLine : lpApplicationName);
    std::vector<std::string> args;
    for (const std::wstring& arg : wideArgs)
        args.push_back(toUtf8(arg));
    const std::string program = lpApplicationName ? toUtf8(lpApplicationName) : args.front();
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::vector<char*> argv = pointersTo(args);
    std::vector<std::string> environment;
    std::vector<char*> envp;
    if (lpEnvironment != nullptr) {
        environment = environmentFrom(lpEnvironment, (dwCreationFlags & CREATE_UNICODE_ENVIRONMENT) != 0);
        envp = pointersTo(environment);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (lpCurrentDirectory != nullptr)
        posix_spawn_file_actions_addchdir_np(&actions, toUtf8(lpCurrentDirectory).c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (dwCreationFlags & DETACHED_PROCESS)
        flags |= POSIX_SPAWN_SETSID;
    else if (dwCreationFlags & CREATE_NEW_PROCESS_GROUP)
        flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setflags(&attributes, flags);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    pid_t pid = 0;
    char** env = lpEnvironment ? envp.data() : environ;
    // A bare name is looked up in PATH, as Windows searches its own path list.
    const int error = program.find('/') == std::string::npos
                          ? posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), env)
                          : posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        SetLastError(errorFromErrno(error));
        return FALSE;
    }
    const int pidfd = openPidfd(pid);
    lpProcessInformation->hProcess = insertHandle(std::make_shared<ProcessObject>(DWORD(pid), pidfd, true));
    lpProcessInformation->hThread = insertHandle(std::make_shared<ThreadObject>(fcntl(pidfd, F_DUPFD_CLOEXEC, 0)));
    lpProcessInformation->dwProcessId = DWORD(pid);
    lpProcessInformation->dwThreadId = DWORD(pid);
    return TRUE;
}

HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD dwProcessId)
{
    if (dwProcessId == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The session may stand in for processes that do not exist here, or deny access to them.
    const std::optional<ProcessRecord> record =
        dwProcessId == DWORD(::getpid()) ? std::nullopt : processSession().findProcess(dwProcessId);
    if (record && record->accessDenied) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const int pidfd = openPidfd(static_cast<pid_t>(dwProcessId));
    if (pidfd < 0 && !record) {
        SetLastError(ERROR_INVALID_PARAMETER); // no such process
        return nullptr;
    }
    return insertHandle(std::make_shared<ProcessObject>(dwProcessId, pidfd, false));
}

// Linux cannot choose another process's exit code: the process is killed with SIGKILL and
// uExitCode is lost. Ending oneself keeps the code.
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
    if (hProcess == currentProcessPseudoHandle())
        ::_exit(static_cast<int>(uExitCode));
    const auto process = processFromHandle(hProcess);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (process->exitCode() != STILL_ACTIVE || !process->kill()) {
        SetLastError(ERROR_ACCESS_DENIED); // already ended, or not ours to end
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetProcessId(HANDLE Process)
{
    if (Process == currentProcessPseudoHandle())
        return DWORD(::getpid());
    const auto process = processFromHandle(Process);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return process->processId();
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    const auto process = processFromHandle(hProcess);
    if (!process || lpExitCode == nullptr) {
        SetLastError(process ? ERROR_NOACCESS : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = process->exitCode();
    return TRUE;
}
