// Which process this is and which session a process belongs to (VORNA_SESSION_ID, inherited
// by children).
#include "platform/sim/win32/win32_api.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

// Reads VORNA_SESSION_ID from an environment block of NUL-separated NAME=VALUE entries.
bool sessionFromEnvironment(const std::string& block, DWORD& session)
{
    static const std::string key = "VORNA_SESSION_ID=";
    std::size_t pos = 0;
    while (pos < block.size()) {
        std::size_t end = block.find('\0', pos);
        if (end == std::string::npos)
            end = block.size();
        if (block.compare(pos, key.size(), key) == 0) {
            const std::string value = block.substr(pos + key.size(), end - pos - key.size());
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)
                return false;
            errno = 0;
            const unsigned long long parsed = std::strtoull(value.c_str(), nullptr, 10);
            if (errno != 0 || parsed > 0xFFFFFFFFull)
                return false;
            session = static_cast<DWORD>(parsed);
            return true;
        }
        pos = end + 1;
    }
    session = 1;
    return true;
}

} // namespace

DWORD WINAPI GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}

BOOL WINAPI ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId)
{
    if (pSessionId == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string block;
    if (dwProcessId == GetCurrentProcessId()) {
        const char* value = std::getenv("VORNA_SESSION_ID");
        if (value != nullptr)
            block = std::string("VORNA_SESSION_ID=") + value;
    } else {
        std::ifstream environ("/proc/" + std::to_string(dwProcessId) + "/environ", std::ios::binary);
        if (!environ) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        block.assign(std::istreambuf_iterator<char>(environ), std::istreambuf_iterator<char>());
    }
    DWORD session = 1;
    if (!sessionFromEnvironment(block, session)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pSessionId = session;
    return TRUE;
}
