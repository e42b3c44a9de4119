// Files opened for their identity: the volume serial number and file index Windows reports
// come from st_dev and st_ino.
#include "platform/sim/process/handle_table.h"
#include "platform/sim/process/text.h"
#include "platform/sim/win32/win32_api.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorna::sim {
namespace {

class FileObject final : public KernelObject {
public:
    explicit FileObject(int fd) : m_fd(fd) {}
    ~FileObject() override { ::close(m_fd); }
    int descriptor() const { return m_fd; }

private:
    int m_fd;
};

FILETIME fileTime(const timespec& t)
{
    const std::uint64_t value = (std::uint64_t(t.tv_sec) * 10'000'000 + std::uint64_t(t.tv_nsec) / 100) + 116444736000000000ULL;
    return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

} // namespace
} // namespace vorna::sim

using namespace vorna::sim;

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE)
{
    if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const bool reads = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
    const bool writes = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    int flags = O_CLOEXEC;
    if (!reads && !writes)
        flags |= O_PATH; // attributes only
    else
        flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    static constexpr int dispositions[] = {0, O_CREAT | O_EXCL, O_CREAT | O_TRUNC, 0, O_CREAT, O_TRUNC};
    flags |= dispositions[dwCreationDisposition];
    const std::string path = toUtf8(lpFileName);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND
                     : errno == EEXIST                    ? ERROR_ALREADY_EXISTS
                                                          : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED); // directories open only with backup semantics
        return INVALID_HANDLE_VALUE;
    }
    return insertHandle(std::make_shared<FileObject>(fd));
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
    const auto file = lookupHandleAs<FileObject>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    struct stat st {};
    if (lpFileInformation == nullptr || ::fstat(file->descriptor(), &st) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BY_HANDLE_FILE_INFORMATION& info = *lpFileInformation;
    info.dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                            : (st.st_mode & S_IWUSR) ? FILE_ATTRIBUTE_NORMAL
                                                     : FILE_ATTRIBUTE_READONLY;
    info.ftCreationTime = fileTime(st.st_ctim);
    info.ftLastAccessTime = fileTime(st.st_atim);
    info.ftLastWriteTime = fileTime(st.st_mtim);
    const auto device = static_cast<std::uint64_t>(st.st_dev);
    info.dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
    info.nFileSizeHigh = static_cast<DWORD>(static_cast<std::uint64_t>(st.st_size) >> 32);
    info.nFileSizeLow = static_cast<DWORD>(st.st_size);
    info.nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    info.nFileIndexHigh = static_cast<DWORD>(static_cast<std::uint64_t>(st.st_ino) >> 32);
    info.nFileIndexLow = static_cast<DWORD>(st.st_ino);
    return TRUE;
}
