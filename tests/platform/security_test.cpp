#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::wstring currentUserSid()
{
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<unsigned char> buffer(needed);
    EXPECT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed));
    LPWSTR text = nullptr;
    EXPECT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text));
    std::wstring sid = text ? text : L"";
    LocalFree(text);
    CloseHandle(token);
    return sid;
}

TEST(Security, TheUserSidEndsWithTheUid)
{
    const std::wstring sid = currentUserSid();
    EXPECT_EQ(sid.rfind(L"S-1-5-21-", 0), 0u) << std::string(sid.begin(), sid.end());
    const std::wstring uid = L"-" + std::to_wstring(::getuid());
    EXPECT_EQ(sid.substr(sid.size() - uid.size()), uid);
    EXPECT_EQ(std::count(sid.begin(), sid.end(), L'-'), 7);
}

TEST(Security, SidsAreEqualByRevisionAuthorityAndEverySubAuthority)
{
    // Revision 1, n sub-authorities, authority 5, then 21 and the numbers.
    auto sid = [](std::vector<unsigned> sub, unsigned char revision = 1) {
        std::vector<unsigned char> bytes = {revision, static_cast<unsigned char>(sub.size()), 0, 0, 0, 0, 0, 5};
        for (unsigned value : sub) {
            for (int b = 0; b < 4; ++b)
                bytes.push_back(static_cast<unsigned char>(value >> (8 * b)));
        }
        return bytes;
    };
    const std::vector<unsigned char> user = sid({21, 7, 8, 9, 1000});
    const struct Row {
        const char* name;
        std::vector<unsigned char> other;
        bool equal;
    } rows[] = {
        {"the same SID", sid({21, 7, 8, 9, 1000}), true},
        {"another user", sid({21, 7, 8, 9, 65534}), false},
        {"another machine", sid({21, 7, 8, 10, 1000}), false},
        {"one sub-authority fewer", sid({21, 7, 8, 9}), false},
        {"not a SID", sid({21, 7, 8, 9, 1000}, 2), false},
    };
    for (const Row& row : rows) {
        std::vector<unsigned char> first = user;
        std::vector<unsigned char> second = row.other;
        EXPECT_EQ(EqualSid(first.data(), second.data()) != FALSE, row.equal) << row.name;
        EXPECT_EQ(EqualSid(second.data(), first.data()) != FALSE, row.equal) << row.name;
    }
}

struct ModeCase {
    std::wstring sddl; // "{me}" stands for the current user's SID
    bool valid;
    unsigned mode;
};

TEST(Security, DescriptorsSetTheModeOfSharedMemory)
{
    const std::wstring me = currentUserSid();
    const std::vector<ModeCase> cases = {
        {L"D:P(A;;GA;;;{me})(A;;GA;;;SY)", true, 0600},
        {L"D:P(A;;GA;;;SY)", true, 0000},
        {L"D:(A;;GR;;;{me})", true, 0400},
        {L"D:P(A;;GA;;;{me})(A;;GA;;;WD)", true, 0666},
        {L"O:{me}D:P(A;;GA;;;OW)", true, 0600},
        {L"D:P(A;;GA;;;S-1-5-21-1-2-3-99999)", true, 0000},
        {L"D:P(A;;GA;;;{me}", false, 0},
        {L"D:P(X;;GA;;;{me})", false, 0},
        {L"D:P(A;;ZZ;;;{me})", false, 0},
        {L"Q:P", false, 0},
    };
    for (const ModeCase& c : cases) {
        std::wstring sddl = c.sddl;
        for (std::size_t at; (at = sddl.find(L"{me}")) != std::wstring::npos;)
            sddl.replace(at, 4, me);
        const std::string label(c.sddl.begin(), c.sddl.end());
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        const BOOL ok = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
        ASSERT_EQ(ok != FALSE, c.valid) << label;
        if (!ok)
            continue;
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
        GUID guid{};
        CoCreateGuid(&guid);
        WCHAR id[39];
        StringFromGUID2(guid, id, 39);
        const std::wstring name = std::wstring(L"Local\\VornaModeTest-") + id;
        const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 64, name.c_str());
        LocalFree(descriptor);
        ASSERT_NE(mapping, nullptr) << label;
        struct stat st {};
        const std::string path = "/dev/shm/vorna." + std::to_string(::getuid()) + ".s1." + std::string(name.begin() + 6, name.end());
        ASSERT_EQ(::stat(path.c_str(), &st), 0) << label;
        EXPECT_EQ(st.st_mode & 0777, c.mode) << label;
        CloseHandle(mapping);
    }
}

} // namespace
