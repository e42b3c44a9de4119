#include "peer.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using vorna::test::startPeer;
using vorna::test::waitForExit;

std::wstring uniqueName(const wchar_t* stem)
{
    GUID guid{};
    CoCreateGuid(&guid);
    WCHAR text[39];
    StringFromGUID2(guid, text, 39);
    return std::wstring(L"Local\\") + stem + text;
}

std::string shmPath(const std::wstring& win32Name)
{
    // Where the stand-in keeps it: /dev/shm/vorna.<uid>.s<session>.<name without "Local\">.
    std::string name(win32Name.begin() + 6, win32Name.end());
    return "/dev/shm/vorna." + std::to_string(::getuid()) + ".s1." + name;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

TEST(SharedMemory, AnotherProcessSeesAndChangesTheSameBytes)
{
    const std::wstring name = uniqueName(L"VornaTest-");
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 3248, name.c_str());
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    auto* value = static_cast<volatile std::uint32_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 3248));
    ASSERT_NE(value, nullptr);
    *value = 40;
    const HANDLE peer = startPeer(L"add-to-mapping " + name + L" 2");
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(waitForExit(peer), 0u);
    EXPECT_EQ(*value, 42u);
    CloseHandle(peer);
    UnmapViewOfFile(const_cast<std::uint32_t*>(value));
    CloseHandle(mapping);
}

TEST(SharedMemory, OnlyTheOwnerMayOpenItAndTheNameGoesWithTheCreator)
{
    const std::wstring name = uniqueName(L"VornaTest-");
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
    ASSERT_NE(mapping, nullptr);
    struct stat st {};
    ASSERT_EQ(::stat(shmPath(name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const HANDLE again = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    const HANDLE opened = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr);
    CloseHandle(again);
    CloseHandle(opened);
    EXPECT_TRUE(exists(shmPath(name))); // closing other handles leaves it

    CloseHandle(mapping);
    EXPECT_FALSE(exists(shmPath(name)));
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(SharedMemory, AKilledCreatorLeavesNoName)
{
    const std::wstring name = uniqueName(L"VornaTest-");
    const std::string ready = "/tmp/vorna-sim-ready-" + std::to_string(::getpid());
    std::remove(ready.c_str());
    const HANDLE peer = startPeer(L"hold-mapping " + name + L" " + std::wstring(ready.begin(), ready.end()));
    ASSERT_NE(peer, nullptr);
    for (int i = 0; i < 500 && !exists(ready); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(exists(shmPath(name)));
    TerminateProcess(peer, 1);
    waitForExit(peer);
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        gone = !exists(shmPath(name));
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone);
    std::remove(ready.c_str());
    CloseHandle(peer);
}

// Windows keeps names as UTF-16: U+1F600 is the units D83D DE00, and a name holding it is
// not the name holding U+1F60 followed by "0".
TEST(SharedMemory, NamesBeyondTheBasicPlaneAreTheirOwn)
{
    const std::wstring stem = uniqueName(L"Plane");
    const std::wstring wide = stem + L"\U0001F600";
    const std::wstring other = stem + L"\u1F60" + L"0";
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, wide.c_str());
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, other.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    const HANDLE same = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, wide.c_str());
    EXPECT_NE(same, nullptr);
    CloseHandle(same);
    CloseHandle(mapping);
}

TEST(SharedMemory, ViewsAreCheckedAgainstTheObject)
{
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 8192), nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 100, 16), nullptr); // not on a 64 KiB boundary
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, L"Local\\a\\b"), nullptr);
    CloseHandle(mapping);
}

} // namespace
