#include "platform/sim/process/text.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

struct Identity {
    DWORD volume;
    DWORD high;
    DWORD low;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const std::string& path, DWORD flags = 0)
{
    const HANDLE file = CreateFileW(vorna::sim::fromUtf8(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, flags, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(GetFileInformationByHandle(file, &info));
    CloseHandle(file);
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

TEST(FileIdentity, TwoNamesOfOneFileAgreeAndOtherFilesDiffer)
{
    const std::string base = "/tmp/vorna-sim-identity-" + std::to_string(::getpid());
    const std::string a = base + "-a", link = base + "-link", b = base + "-b";
    std::ofstream(a) << "a";
    std::ofstream(b) << "b";
    ASSERT_EQ(::link(a.c_str(), link.c_str()), 0);
    EXPECT_EQ(identityOf(a), identityOf(link));
    EXPECT_FALSE(identityOf(a) == identityOf(b));
    for (const std::string& p : {a, link, b})
        std::remove(p.c_str());
}

TEST(FileIdentity, MissingFilesAndDirectoriesWithoutBackupSemanticsFail)
{
    EXPECT_EQ(CreateFileW(L"/nonexistent/file", FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFileW(L"/tmp", FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    identityOf("/tmp", FILE_FLAG_BACKUP_SEMANTICS);
}

} // namespace
