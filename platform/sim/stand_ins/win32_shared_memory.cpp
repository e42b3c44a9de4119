// Named shared memory on POSIX shared-memory objects. The name is derived from the Win32 name
// and the user (Local\ names also from the session id); the creator removes it when it closes
// its handle, and a small watcher process removes it if the creator is killed first.
#include "platform/sim/process/handle_table.h"
#include "platform/sim/process/text.h"
#include "platform/sim/stand_ins/security.h"
#include "platform/sim/win32/win32_api.h"
#include "platform/text/utf16.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorna::sim {
namespace {

constexpr std::uint64_t allocationGranularity = 65536;

// "/vorna.<uid>.<scope>.<name>": [A-Za-z0-9._{}-] kept, anything else as %XXXX; long names are
// hashed so that the result fits NAME_MAX.
bool posixName(LPCWSTR win32Name, std::string& name)
{
    std::wstring_view rest(win32Name);
    std::string scope;
    if (rest.rfind(L"Global\\", 0) == 0) {
        scope = "g";
        rest.remove_prefix(7);
    } else {
        if (rest.rfind(L"Local\\", 0) == 0)
            rest.remove_prefix(6);
        DWORD session = 1;
        ProcessIdToSessionId(GetCurrentProcessId(), &session);
        scope = "s" + std::to_string(session);
    }
    if (rest.empty() || rest.find(L'\\') != std::wstring_view::npos)
        return false;
    // By UTF-16 unit, as Windows keeps the name: every escape has four digits, so two names
    // never share an encoding.
    std::string encoded;
    forEachUtf16Unit(rest, [&encoded](char16_t c) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' ||
            c == u'-' || c == u'{' || c == u'}') {
            encoded += static_cast<char>(c);
        } else {
            char escape[16];
            std::snprintf(escape, sizeof escape, "%%%04X", static_cast<unsigned>(c));
            encoded += escape;
        }
    });
    if (encoded.size() > 180) {
        std::uint64_t hash = 1469598103934665603ULL; // FNV-1a
        for (char c : encoded)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        char hex[24];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        encoded = encoded.substr(0, 150) + "~" + hex;
    }
    name = "/vorna." + std::to_string(::getuid()) + "." + scope + "." + encoded;
    return true;
}

// Removes the name when the creator dies: a detached shell holds the reading end of a pipe
// (as descriptor 3: a background job's standard input is /dev/null) whose writing end only the
// creator has. End of file without "done" means the creator is gone.
int startWatcher(const std::string& name)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 4);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    const std::string path = "/dev/shm" + name;
    const char* script = "(IFS= read -r line; [ \"$line\" = done ] || rm -f -- \"$0\") 0<&3 3<&- &";
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), const_cast<char*>(script),
                    const_cast<char*>(path.c_str()), nullptr};
    char* envp[] = {nullptr};
    pid_t shell = 0;
    const int error = posix_spawn(&shell, "/bin/sh", &actions, &attributes, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeFds[0]);
    if (error != 0) {
        ::close(pipeFds[1]);
        return -1;
    }
    ::waitpid(shell, nullptr, 0); // the shell leaves its background watcher behind and ends
    return pipeFds[1];
}

class MappingObject final : public KernelObject {
public:
    MappingObject(int fd, std::uint64_t size, bool writable, std::string name, int watcher)
        : fd(fd), size(size), writable(writable), name(std::move(name)), watcher(watcher)
    {
    }
    ~MappingObject() override
    {
        if (watcher >= 0) {
            ::shm_unlink(name.c_str());
            [[maybe_unused]] const ssize_t written = ::write(watcher, "done\n", 5);
            ::close(watcher);
        }
        ::close(fd);
    }
    const int fd;
    const std::uint64_t size;
    const bool writable;
    const std::string name;
    const int watcher; // set for the creator of a named object
};

struct ViewTable {
    std::mutex mutex;
    std::map<const void*, std::size_t> views;
};

ViewTable& viewTable()
{
    static auto* instance = new ViewTable;
    return *instance;
}

DWORD errorFromErrno()
{
    return errno == ENOENT ? ERROR_FILE_NOT_FOUND : errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_NOT_ENOUGH_MEMORY;
}

} // namespace
} // namespace vorna::sim

using namespace vorna::sim;

HANDLE WINAPI CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes, DWORD flProtect,
                                 DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCWSTR lpName)
{
    if (hFile != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_NOT_SUPPORTED); // only memory backed by the page file
        return nullptr;
    }
    const std::uint64_t size = std::uint64_t(dwMaximumSizeHigh) << 32 | dwMaximumSizeLow;
    const bool writable = (flProtect & 0xFF) == PAGE_READWRITE;
    if (size == 0 || (!writable && (flProtect & 0xFF) != PAGE_READONLY)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (lpName == nullptr) {
        const int fd = memfd_create("vorna-mapping", MFD_CLOEXEC);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
            if (fd >= 0)
                ::close(fd);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        SetLastError(ERROR_SUCCESS);
        return insertHandle(std::make_shared<MappingObject>(fd, size, writable, std::string(), -1));
    }
    std::string name;
    if (!posixName(lpName, name)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    const mode_t mode = modeFromSecurityAttributes(lpFileMappingAttributes);
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::fchmod(fd, mode); // the umask must not narrow or widen what the descriptor says
            if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
                ::close(fd);
                ::shm_unlink(name.c_str());
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            const int watcher = startWatcher(name);
            SetLastError(ERROR_SUCCESS);
            return insertHandle(std::make_shared<MappingObject>(fd, size, writable, name, watcher >= 0 ? watcher : -1));
        }
        if (errno != EEXIST) {
            SetLastError(errorFromErrno());
            return nullptr;
        }
        // It exists: open it as it is, as Windows does, and say so.
        fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0 && errno == ENOENT)
            continue; // removed in between: try to create it again
        if (fd < 0) {
            SetLastError(errorFromErrno());
            return nullptr;
        }
        struct stat st {};
        ::fstat(fd, &st);
        const HANDLE handle = insertHandle(std::make_shared<MappingObject>(fd, std::uint64_t(st.st_size), true, name, -1));
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

HANDLE WINAPI OpenFileMappingW(DWORD dwDesiredAccess, BOOL, LPCWSTR lpName)
{
    std::string name;
    if (lpName == nullptr || !posixName(lpName, name)) {
        SetLastError(lpName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    const bool writable = (dwDesiredAccess & FILE_MAP_WRITE) != 0;
    const int fd = ::shm_open(name.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(errorFromErrno());
        return nullptr;
    }
    struct stat st {};
    ::fstat(fd, &st);
    return insertHandle(std::make_shared<MappingObject>(fd, std::uint64_t(st.st_size), writable, name, -1));
}

LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh, DWORD dwFileOffsetLow,
                            SIZE_T dwNumberOfBytesToMap)
{
    const auto mapping = lookupHandleAs<MappingObject>(hFileMappingObject);
    if (!mapping) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::uint64_t offset = std::uint64_t(dwFileOffsetHigh) << 32 | dwFileOffsetLow;
    const bool write = (dwDesiredAccess & FILE_MAP_WRITE) != 0;
    if (offset % allocationGranularity != 0 || offset >= mapping->size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::uint64_t length = dwNumberOfBytesToMap == 0 ? mapping->size - offset : dwNumberOfBytesToMap;
    if (offset + length > mapping->size || (write && !mapping->writable)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    void* view = ::mmap(nullptr, length, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, mapping->fd,
                        static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard lock(viewTable().mutex);
    viewTable().views[view] = length;
    return view;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress)
{
    std::size_t length = 0;
    {
        std::lock_guard lock(viewTable().mutex);
        const auto it = viewTable().views.find(lpBaseAddress);
        if (it == viewTable().views.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        length = it->second;
        viewTable().views.erase(it);
    }
    ::munmap(const_cast<void*>(lpBaseAddress), length);
    return TRUE;
}
