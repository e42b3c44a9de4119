// The image file of this process and of others.
#include "platform/sim/stand_ins/process_object.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/process/text.h"
#include "platform/sim/win32/win32_api.h"

#include <cerrno>
#include <string>
#include <unistd.h>

using namespace vorna::sim;

namespace {

bool readImage(DWORD processId, std::wstring& image, DWORD& error)
{
    const std::string link = "/proc/" + std::to_string(processId) + "/exe";
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length < 0) {
        error = errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER;
        return false;
    }
    target.resize(static_cast<std::size_t>(length));
    image = fromUtf8(target);
    return true;
}

} // namespace

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    if (hModule != nullptr && hModule != GetModuleHandleW(nullptr)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::wstring image;
    DWORD error = 0;
    if (!readImage(DWORD(::getpid()), image, error)) {
        SetLastError(error);
        return 0;
    }
    if (nSize == 0 || lpFilename == nullptr) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (image.size() >= nSize) {
        // Truncated to the buffer, still terminated, and reported as such.
        image.copy(lpFilename, nSize - 1);
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    image.copy(lpFilename, image.size());
    lpFilename[image.size()] = 0;
    return static_cast<DWORD>(image.size());
}

BOOL WINAPI QueryFullProcessImageNameW(HANDLE hProcess, DWORD, LPWSTR lpExeName, PDWORD lpdwSize)
{
    const auto process = processFromHandle(hProcess);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpExeName == nullptr || lpdwSize == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring image;
    DWORD error = 0;
    if (process->simulated()) {
        const std::optional<ProcessRecord> record = processSession().findProcess(process->processId());
        if (!record) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        image = record->imagePath;
    } else if (!readImage(process->processId(), image, error)) {
        SetLastError(error);
        return FALSE;
    }
    if (image.size() >= *lpdwSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    image.copy(lpExeName, image.size());
    lpExeName[image.size()] = 0;
    *lpdwSize = static_cast<DWORD>(image.size());
    return TRUE;
}
