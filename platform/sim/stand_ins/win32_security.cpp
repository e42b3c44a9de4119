// Tokens, SIDs and the security descriptors the product writes in SDDL.
#include "platform/sim/stand_ins/security.h"

#include "platform/sim/process/handle_table.h"
#include "platform/sim/stand_ins/process_object.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorna::sim {
namespace {

constexpr std::uint32_t descriptorMagic = 0x56534431; // "VSD1"

struct DescriptorRecord {
    std::uint32_t magic;
    mode_t mode;
};

class TokenObject final : public KernelObject {
public:
    TokenObject(uid_t uid, DWORD integrityRid) : uid(uid), integrityRid(integrityRid) {}
    const uid_t uid;
    const DWORD integrityRid;
};

// The integrity level the session gives a process (this one included): medium unless a driver
// described the process otherwise.
DWORD integrityOf(DWORD processId)
{
    const std::optional<ProcessRecord> record = processSession().findProcess(processId);
    return record ? record->integrityRid : SECURITY_MANDATORY_MEDIUM_RID;
}

// The label SID S-1-16-<level>: revision 1, one sub-authority, authority 16.
std::vector<std::uint8_t> integritySid(DWORD rid)
{
    std::vector<std::uint8_t> sid = {1, 1, 0, 0, 0, 0, 0, 16};
    for (int b = 0; b < 4; ++b)
        sid.push_back(static_cast<std::uint8_t>(rid >> (8 * b)));
    return sid;
}

// The machine part of the user SIDs: three numbers from /etc/machine-id, fixed if there is none.
void machineNumbers(std::uint32_t (&numbers)[3])
{
    numbers[0] = 1130231041;
    numbers[1] = 2719488534;
    numbers[2] = 3041275910;
    std::ifstream file("/etc/machine-id");
    std::string id;
    if (!(file >> id) || id.size() < 24)
        return;
    for (int i = 0; i < 3; ++i)
        numbers[i] = static_cast<std::uint32_t>(std::strtoul(id.substr(i * 8, 8).c_str(), nullptr, 16));
}

// A binary SID: revision 1, the identifier authority, the sub-authorities.
std::vector<std::uint8_t> userSid(uid_t uid)
{
    std::uint32_t machine[3];
    machineNumbers(machine);
    const std::uint32_t sub[] = {21, machine[0], machine[1], machine[2], static_cast<std::uint32_t>(uid)};
    std::vector<std::uint8_t> sid = {1, 5, 0, 0, 0, 0, 0, 5};
    for (std::uint32_t value : sub) {
        for (int b = 0; b < 4; ++b)
            sid.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
    }
    return sid;
}

bool formatSid(const std::uint8_t* sid, std::wstring& text)
{
    if (sid == nullptr || sid[0] != 1 || sid[1] > 15)
        return false;
    std::uint64_t authority = 0;
    for (int i = 2; i < 8; ++i)
        authority = authority << 8 | sid[i];
    text = L"S-1-" + std::to_wstring(authority);
    for (int i = 0; i < sid[1]; ++i) {
        std::uint32_t value;
        std::memcpy(&value, sid + 8 + 4 * i, 4);
        text += L"-" + std::to_wstring(value);
    }
    return true;
}

uid_t ownerOf(const std::shared_ptr<ProcessObject>& process)
{
    if (process->processId() == DWORD(::getpid()) || process->simulated())
        return ::getuid(); // the session's own programs run as this user
    struct stat st {};
    if (::stat(("/proc/" + std::to_string(process->processId())).c_str(), &st) != 0)
        return static_cast<uid_t>(-1);
    return st.st_uid;
}

// Access rights that let a holder write, in SDDL's two-letter form or as a number.
bool parseRights(const std::wstring& rights, bool& read, bool& write)
{
    read = write = false;
    if (rights.rfind(L"0x", 0) == 0 || rights.rfind(L"0X", 0) == 0) {
        wchar_t* end = nullptr;
        const unsigned long mask = std::wcstoul(rights.c_str() + 2, &end, 16);
        if (end == rights.c_str() + 2 || *end != 0)
            return false;
        write = (mask & (GENERIC_ALL | GENERIC_WRITE | FILE_MAP_WRITE)) != 0;
        read = write || (mask & (GENERIC_READ | FILE_MAP_READ)) != 0;
        return true;
    }
    if (rights.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < rights.size(); i += 2) {
        const std::wstring right = rights.substr(i, 2);
        if (right == L"GA" || right == L"GW" || right == L"FA" || right == L"FW")
            read = write = true;
        else if (right == L"GR" || right == L"FR" || right == L"GX" || right == L"FX")
            read = true;
        else if (right != L"RC" && right != L"SD" && right != L"WD" && right != L"WO")
            return false;
    }
    return true;
}

enum class Trustee { CurrentUser, Everyone, System, Other };

bool parseTrustee(const std::wstring& sid, const std::wstring& currentUser, Trustee& trustee)
{
    if (sid == L"OW" || sid == L"CO" || sid == currentUser)
        trustee = Trustee::CurrentUser;
    else if (sid == L"WD" || sid == L"S-1-1-0" || sid == L"AU" || sid == L"IU" || sid == L"S-1-5-11" || sid == L"S-1-5-4")
        trustee = Trustee::Everyone;
    else if (sid == L"SY" || sid == L"BA" || sid == L"S-1-5-18" || sid == L"S-1-5-32-544")
        trustee = Trustee::System; // root on Linux, which needs no grant
    else if (sid.rfind(L"S-1-", 0) == 0 || sid.size() == 2)
        trustee = Trustee::Other; // a SID with no user here; it grants nothing
    else
        return false;
    return true;
}

// Understands "O:", "G:" and "D:" parts with allow and deny entries; the DACL decides the mode.
bool modeFromSddl(const std::wstring& sddl, mode_t& mode, DWORD& error)
{
    const std::wstring currentUser = userSidString(::getuid());
    mode = 0600;
    bool sawDacl = false;
    std::size_t i = 0;
    while (i < sddl.size()) {
        if (i + 1 >= sddl.size() || sddl[i + 1] != L':') {
            error = ERROR_INVALID_PARAMETER;
            return false;
        }
        const wchar_t part = sddl[i];
        i += 2;
        // A part runs to the next "X:" outside parentheses.
        std::size_t end = i;
        for (int depth = 0; end < sddl.size(); ++end) {
            if (sddl[end] == L'(')
                ++depth;
            else if (sddl[end] == L')')
                --depth;
            else if (depth == 0 && end + 1 < sddl.size() && sddl[end + 1] == L':' &&
                     std::wstring_view(L"OGDS").find(sddl[end]) != std::wstring_view::npos)
                break;
        }
        const std::wstring body = sddl.substr(i, end - i);
        i = end;
        if (part == L'O' || part == L'G')
            continue;
        if (part != L'D' && part != L'S') {
            error = ERROR_INVALID_PARAMETER;
            return false;
        }
        const std::size_t firstAce = body.find(L'(');
        const std::wstring flags = body.substr(0, firstAce);
        if (part == L'S')
            continue; // audit entries change no access
        sawDacl = true;
        if (flags.find(L"NO_ACCESS_CONTROL") != std::wstring::npos) {
            mode = 0666; // a null DACL lets everyone in
            continue;
        }
        mode = 0;
        std::size_t at = firstAce;
        while (at != std::wstring::npos && at < body.size()) {
            const std::size_t close = body.find(L')', at);
            if (body[at] != L'(' || close == std::wstring::npos) {
                error = ERROR_INVALID_ACL;
                return false;
            }
            std::vector<std::wstring> fields;
            std::size_t start = at + 1;
            for (std::size_t semi; (semi = body.find(L';', start)) < close; start = semi + 1)
                fields.push_back(body.substr(start, semi - start));
            fields.push_back(body.substr(start, close - start));
            bool read = false, write = false;
            Trustee trustee;
            if (fields.size() != 6 || (fields[0] != L"A" && fields[0] != L"D") || !parseRights(fields[2], read, write)) {
                error = ERROR_INVALID_ACL;
                return false;
            }
            if (!parseTrustee(fields[5], currentUser, trustee)) {
                error = ERROR_INVALID_SID;
                return false;
            }
            if (fields[0] == L"A") {
                const mode_t bits = (read ? 04 : 0) | (write ? 02 : 0);
                if (trustee == Trustee::CurrentUser)
                    mode |= bits << 6;
                else if (trustee == Trustee::Everyone)
                    mode |= bits << 3 | bits;
            }
            at = close + 1;
            if (at < body.size() && body[at] != L'(') {
                error = ERROR_INVALID_ACL;
                return false;
            }
        }
    }
    if (!sawDacl)
        mode = 0600;
    return true;
}

} // namespace

std::wstring userSidString(uid_t uid)
{
    std::wstring text;
    const std::vector<std::uint8_t> sid = userSid(uid);
    formatSid(sid.data(), text);
    return text;
}

mode_t modeFromSecurityAttributes(const SECURITY_ATTRIBUTES* attributes)
{
    if (attributes == nullptr || attributes->lpSecurityDescriptor == nullptr)
        return 0600;
    const auto* descriptor = static_cast<const DescriptorRecord*>(attributes->lpSecurityDescriptor);
    return descriptor->magic == descriptorMagic ? descriptor->mode : 0600;
}

void* localAlloc(std::size_t size)
{
    return std::calloc(1, size);
}

} // namespace vorna::sim

using namespace vorna::sim;

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD, PHANDLE TokenHandle)
{
    const auto process = processFromHandle(ProcessHandle);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (TokenHandle == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    const uid_t uid = ownerOf(process);
    if (uid == static_cast<uid_t>(-1)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *TokenHandle = insertHandle(std::make_shared<TokenObject>(uid, integrityOf(process->processId())));
    return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass, LPVOID TokenInformation,
                                DWORD TokenInformationLength, PDWORD ReturnLength)
{
    const auto token = lookupHandleAs<TokenObject>(TokenHandle);
    if (!token) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const bool user = TokenInformationClass == TokenUser;
    if ((!user && TokenInformationClass != TokenIntegrityLevel) || ReturnLength == nullptr) {
        SetLastError(ReturnLength != nullptr ? ERROR_NOT_SUPPORTED : ERROR_NOACCESS);
        return FALSE;
    }
    // Both answers are one SID_AND_ATTRIBUTES with the SID right behind it.
    static_assert(sizeof(TOKEN_USER) == sizeof(TOKEN_MANDATORY_LABEL));
    const std::vector<std::uint8_t> sid = user ? userSid(token->uid) : integritySid(token->integrityRid);
    const DWORD needed = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
    *ReturnLength = needed;
    if (TokenInformation == nullptr || TokenInformationLength < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* sidBytes = static_cast<std::uint8_t*>(TokenInformation) + sizeof(TOKEN_USER);
    std::memcpy(sidBytes, sid.data(), sid.size());
    auto* entry = static_cast<SID_AND_ATTRIBUTES*>(TokenInformation);
    entry->Sid = sidBytes;
    entry->Attributes = user ? 0 : SE_GROUP_INTEGRITY;
    return TRUE;
}

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2)
{
    const auto* first = static_cast<const std::uint8_t*>(pSid1);
    const auto* second = static_cast<const std::uint8_t*>(pSid2);
    if (!IsValidSid(pSid1) || !IsValidSid(pSid2)) {
        SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    // The sub-authority count is the second byte: equal counts make the lengths equal.
    const std::size_t length = 8 + 4 * std::size_t(first[1]);
    return first[1] == second[1] && std::memcmp(first, second, length) == 0 ? TRUE : FALSE;
}

BOOL WINAPI ConvertSidToStringSidW(PSID Sid, LPWSTR* StringSid)
{
    std::wstring text;
    if (StringSid == nullptr || !formatSid(static_cast<const std::uint8_t*>(Sid), text)) {
        SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    auto* copy = static_cast<WCHAR*>(localAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    text.copy(copy, text.size());
    *StringSid = copy;
    return TRUE;
}

BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR StringSecurityDescriptor, DWORD StringSDRevision,
                                                                 PSECURITY_DESCRIPTOR* SecurityDescriptor,
                                                                 PULONG SecurityDescriptorSize)
{
    if (StringSecurityDescriptor == nullptr || SecurityDescriptor == nullptr || StringSDRevision != SDDL_REVISION_1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    mode_t mode = 0600;
    DWORD error = 0;
    if (!modeFromSddl(StringSecurityDescriptor, mode, error)) {
        SetLastError(error);
        return FALSE;
    }
    auto* descriptor = static_cast<DescriptorRecord*>(localAlloc(sizeof(DescriptorRecord)));
    if (descriptor == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    descriptor->magic = descriptorMagic;
    descriptor->mode = mode;
    *SecurityDescriptor = descriptor;
    if (SecurityDescriptorSize != nullptr)
        *SecurityDescriptorSize = sizeof(DescriptorRecord);
    return TRUE;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    std::free(hMem);
    return nullptr;
}
