#include "core/pipe_server_user.h"

#include "platform/win32.h"

#include <vector>

namespace vorna::core {
namespace {

// The TOKEN_USER of a process's token, or nothing. Its SID pointer points into the same
// buffer, so the buffer is only ever moved, never copied.
std::vector<unsigned char> tokenUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    const bool read = size >= sizeof(TOKEN_USER) && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!read)
        buffer.clear();
    return buffer;
}

PSID sidOf(std::vector<unsigned char>& tokenUser)
{
    return reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

} // namespace

bool servedByOwnUser(qintptr socketDescriptor)
{
    ULONG serverId = 0;
    if (!GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socketDescriptor), &serverId) || serverId == 0)
        return false;
    const HANDLE server = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId);
    if (server == nullptr)
        return false;
    std::vector<unsigned char> theirs = tokenUser(server);
    CloseHandle(server);
    std::vector<unsigned char> ours = tokenUser(GetCurrentProcess());
    return !theirs.empty() && !ours.empty() && EqualSid(sidOf(theirs), sidOf(ours));
}

} // namespace vorna::core
