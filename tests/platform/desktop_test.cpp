// The desktop half of the simulated session: the clipboard with its contention between
// processes, registered names, drive letters, the display settings, the shell's log, timer
// queues on the session clock, GDI icons with real pixels, and the vorna-sim commands that
// drive them.
#include "platform/host_path.h"
#include "platform/sim/broker/broker.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/win32.h"
#include "tests/support/vorna_sim_tool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using vorna::sim::ClipboardEntry;
using vorna::sim::DesktopClient;
using vorna::sim::DesktopFail;
using vorna::sim::ShellRecord;

class DesktopTest : public testing::Test {
protected:
    void SetUp() override { vorna::sim::processSession().reset(); }
    DesktopClient desktop{vorna::sim::processSession()};
};

HGLOBAL textBlock(const char* text)
{
    const std::size_t size = std::strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(block), text, size);
    GlobalUnlock(block);
    return block;
}

TEST_F(DesktopTest, ClipboardKeepsFormatsInOrderWithSequenceAndOwner)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"DesktopTestOwner";
    RegisterClassW(&windowClass);
    HWND owner = CreateWindowExW(0, L"DesktopTestOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);

    const DWORD before = GetClipboardSequenceNumber();
    EXPECT_EQ(SetClipboardData(CF_TEXT, textBlock("x")), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    ASSERT_TRUE(OpenClipboard(owner));
    ASSERT_TRUE(EmptyClipboard());
    const UINT html = RegisterClipboardFormatW(L"HTML Format");
    EXPECT_EQ(RegisterClipboardFormatW(L"html format"), html); // names ignore case
    EXPECT_EQ(RegisterWindowMessageW(L"HTML FORMAT"), html);   // one table with window messages
    EXPECT_GE(html, 0xC000u);
    ASSERT_NE(SetClipboardData(CF_TEXT, textBlock("plain")), nullptr);
    ASSERT_NE(SetClipboardData(html, textBlock("<i>x</i>")), nullptr);
    EXPECT_EQ(EnumClipboardFormats(0), static_cast<UINT>(CF_TEXT));
    EXPECT_EQ(EnumClipboardFormats(CF_TEXT), html);
    SetLastError(5);
    EXPECT_EQ(EnumClipboardFormats(html), 0u);
    EXPECT_EQ(GetLastError(), 0u);
    HANDLE data = GetClipboardData(html);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(GlobalSize(data), 9u);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(data)), "<i>x</i>");
    GlobalUnlock(data);
    WCHAR name[128] = {};
    EXPECT_EQ(GetClipboardFormatNameW(html, name, 128), 11);
    EXPECT_EQ(std::wstring(name), L"HTML Format");
    EXPECT_EQ(GetClipboardFormatNameW(CF_TEXT, name, 128), 0);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(GetClipboardOwner(), owner);
    EXPECT_EQ(GetClipboardSequenceNumber(), before + 3); // emptied, then two formats set
    EXPECT_FALSE(CloseClipboard());
    DestroyWindow(owner);
}

TEST_F(DesktopTest, ForcedFailuresOfOpenReadAndWrite)
{
    desktop.setFailure(DesktopFail::ClipboardOpen, ERROR_ACCESS_DENIED, 2);
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    desktop.setFailure(DesktopFail::ClipboardWrite, ERROR_NOT_ENOUGH_MEMORY, 1);
    HGLOBAL block = textBlock("kept");
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), block); // the refused block stayed ours
    desktop.setFailure(DesktopFail::ClipboardRead, ERROR_ACCESS_DENIED, -1);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    desktop.setFailure(DesktopFail::ClipboardRead, 0, 0);
    EXPECT_NE(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(DesktopTest, DriveLettersMapWindowsPathsToHostFolders)
{
    const std::filesystem::path root = std::filesystem::temp_directory_path() / ("vorna-drive-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "Docs");
    std::ofstream(root / "Docs" / "Report.txt") << "x";
    desktop.setDrive(L'c', root.string());
    EXPECT_EQ(GetFileAttributesW(L"C:\\Docs"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(L"c:/docs/report.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(vorna::platform::hostPath(L"C:\\docs\\..\\Docs\\report.txt"), (root / "Docs" / "Report.txt").wstring());
    EXPECT_EQ(GetFileAttributesW(L"C:\\Docs\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(L"D:\\Docs"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(vorna::platform::hostPath(L"D:\\Docs"), L"");

    // The shell opens what exists and refuses the rest; every call is on record.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpVerb = L"open";
    info.lpFile = L"C:\\Docs\\Report.txt";
    info.nShow = SW_SHOWNORMAL;
    EXPECT_TRUE(ShellExecuteExW(&info));
    info.lpFile = L"C:\\Docs\\none.txt";
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const auto log = desktop.shellLog(true);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].file, L"C:\\Docs\\Report.txt");
    EXPECT_EQ(log[0].error, 0u);
    EXPECT_EQ(log[1].error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::filesystem::remove_all(root);
}

std::atomic<int> fired{0};

VOID CALLBACK countFiring(PVOID, BOOLEAN)
{
    ++fired;
}

TEST_F(DesktopTest, TimerQueueTimersFollowTheSessionClock)
{
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, countFiring, nullptr, 60000, 0, WT_EXECUTEONLYONCE));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(fired.load(), 0);
    vorna::sim::processSession().stepClock(60000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (fired.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(fired.load(), 1);
}

TEST_F(DesktopTest, IconsKeepTheirPixelsThroughDrawingAndIconParts)
{
    HICON program = nullptr;
    ASSERT_EQ(LoadIconMetric(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), LIM_SMALL, &program), S_OK);
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(program, &parts));
    BITMAP size{};
    ASSERT_EQ(GetObjectW(parts.hbmColor, sizeof size, &size), static_cast<int>(sizeof size));
    EXPECT_EQ(size.bmWidth, 16);
    EXPECT_EQ(size.bmHeight, 16);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);

    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    const HGDIOBJ previous = SelectObject(dc, dib);
    ASSERT_TRUE(DrawIconEx(dc, 0, 0, program, 16, 16, 0, nullptr, DI_NORMAL));
    auto* pixels = static_cast<std::uint32_t*>(bits);
    EXPECT_EQ(pixels[0], 0u);             // the icon's transparent edge
    EXPECT_EQ(pixels[5 * 16 + 5], 0xFF2D5FA0u);
    pixels[3 * 16 + 4] = 0x80402010u;     // a premultiplied half-transparent pixel
    SelectObject(dc, previous);
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
    ICONINFO made{TRUE, 0, 0, mask, dib};
    HICON icon = CreateIconIndirect(&made);
    ASSERT_NE(icon, nullptr);

    // The notification area shows exactly these pixels.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"DesktopTestIcon";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"DesktopTestIcon", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 7;
    data.uFlags = NIF_ICON | NIF_MESSAGE;
    data.uCallbackMessage = WM_APP;
    data.hIcon = icon;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data)); // added once only
    const auto icons = desktop.trayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].pixels[3 * 16 + 4], 0x80402010u);
    EXPECT_EQ(icons[0].pixels[5 * 16 + 5], 0xFF2D5FA0u);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_TRUE(desktop.trayIcons().empty());

    DestroyWindow(window);
    DeleteObject(mask);
    DeleteObject(dib);
    DeleteDC(dc);
    DestroyIcon(icon);
    DestroyIcon(program);
}

// vorna-sim is another program on a shared session.
// The two display settings programs read: a fresh session's values, a driver's change, a
// refused query, and the calls Windows refuses.
TEST_F(DesktopTest, DisplaySettingsAnswerSystemParametersInfo)
{
    const auto read = [](bool& contrast, BOOL& animation) {
        HIGHCONTRASTW answer{};
        answer.cbSize = sizeof(answer);
        answer.dwFlags = 0xF0;
        animation = 2;
        const bool ok = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(answer), &answer, 0)
            && SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animation, 0);
        contrast = (answer.dwFlags & HCF_HIGHCONTRASTON) != 0;
        return ok;
    };
    bool contrast = true;
    BOOL animation = FALSE;
    ASSERT_TRUE(read(contrast, animation));
    EXPECT_FALSE(contrast);
    EXPECT_EQ(animation, TRUE);

    desktop.setDisplaySettings({true, false});
    ASSERT_TRUE(read(contrast, animation));
    EXPECT_TRUE(contrast);
    EXPECT_EQ(animation, FALSE);

    desktop.setFailure(DesktopFail::SystemParameters, ERROR_ACCESS_DENIED);
    HIGHCONTRASTW answer{};
    answer.cbSize = sizeof(answer);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(answer), &answer, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(answer.dwFlags, 0u);

    const struct {
        const char* name;
        UINT action;
        UINT size;
        UINT cbSize;
        bool buffer;
    } refused[] = {
        {"a structure of the wrong size", SPI_GETHIGHCONTRAST, sizeof(HIGHCONTRASTW), 8, true},
        {"uiParam not the structure's size", SPI_GETHIGHCONTRAST, 0, sizeof(HIGHCONTRASTW), true},
        {"no buffer", SPI_GETCLIENTAREAANIMATION, 0, 0, false},
        {"an action the session does not keep", 0x0070, 0, 0, true},
    };
    for (const auto& r : refused) {
        HIGHCONTRASTW buffer{};
        buffer.cbSize = r.cbSize;
        SetLastError(0);
        EXPECT_FALSE(SystemParametersInfoW(r.action, r.size, r.buffer ? &buffer : nullptr, 0)) << r.name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << r.name;
    }

    vorna::sim::processSession().reset();
    ASSERT_TRUE(read(contrast, animation));
    EXPECT_FALSE(contrast);
    EXPECT_EQ(animation, TRUE);
}

vorna::test::ToolRun tool(const std::string& socket, const std::string& arguments)
{
    return vorna::test::runVornaSim("--socket " + socket + " " + arguments);
}

TEST(DesktopBroker, ClipboardOpenInOneProcessKeepsTheOthersOut)
{
    const std::string socket = "/tmp/vorna-desktop-" + std::to_string(::getpid()) + ".sock";
    vorna::sim::Broker broker(socket);
    broker.start();
    DesktopClient here(broker.session());

    ASSERT_EQ(here.openClipboard(nullptr), 0u);
    vorna::test::ToolRun set = tool(socket, "clipboard-set elsewhere");
    EXPECT_EQ(set.status, 1) << set.output;
    EXPECT_NE(set.output.find("open in another program"), std::string::npos);
    ASSERT_EQ(here.closeClipboard(), 0u);
    EXPECT_EQ(tool(socket, "clipboard-set elsewhere").status, 0);
    const vorna::test::ToolRun shown = tool(socket, "clipboard");
    EXPECT_NE(shown.output.find("format 13 20 bytes \"elsewhere\""), std::string::npos) << shown.output;

    EXPECT_EQ(tool(socket, "clipboard-hold on").status, 0);
    EXPECT_EQ(here.openClipboard(nullptr), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(tool(socket, "clipboard-hold off").status, 0);
    EXPECT_EQ(here.openClipboard(nullptr), 0u);
    EXPECT_EQ(here.closeClipboard(), 0u);

    // Failures, drives and the shell's log through the tool.
    EXPECT_EQ(tool(socket, "desktop-fail clipboard-open 5 1").status, 0);
    EXPECT_EQ(here.openClipboard(nullptr), 5u);
    EXPECT_EQ(tool(socket, "desktop-fail nowhere 5").status, 2);
    EXPECT_EQ(tool(socket, "display").output, "high-contrast off\nanimation on\n");
    EXPECT_EQ(tool(socket, "display high-contrast on animation off").output, "high-contrast on\nanimation off\n");
    vorna::sim::DisplaySettings display;
    ASSERT_EQ(here.readDisplaySettings(display), 0u);
    EXPECT_TRUE(display.highContrast);
    EXPECT_FALSE(display.clientAreaAnimation);
    EXPECT_EQ(tool(socket, "display animation maybe").status, 2);
    EXPECT_EQ(tool(socket, "desktop-fail system-parameters 5").status, 0);
    EXPECT_EQ(here.readDisplaySettings(display), 5u);
    EXPECT_EQ(tool(socket, "drive q /tmp").status, 0);
    EXPECT_EQ(tool(socket, "drives").output, "Q: /tmp\n");
    ShellRecord call;
    call.verb = L"open";
    call.file = L"https://example.com/";
    call.show = SW_SHOWNORMAL;
    ASSERT_EQ(here.shellExecute(call), 0u);
    EXPECT_EQ(tool(socket, "shell-log").output,
              "execute pid " + std::to_string(::getpid()) + " verb \"open\" file \"https://example.com/\" parameters \"\" show 1 ok\n");
    EXPECT_EQ(tool(socket, "shell-log").output, "");
}

TEST(DesktopBroker, MenuChoiceMadeByADriverReachesTheProcessShowingTheMenu)
{
    const std::string socket = "/tmp/vorna-menu-" + std::to_string(::getpid()) + ".sock";
    vorna::sim::Broker broker(socket);
    broker.start();
    DesktopClient here(broker.session());
    EXPECT_EQ(tool(socket, "menu").output, "no menu was shown\n");
    const std::uint64_t token = here.openMenu(nullptr, {{MF_STRING, 1, L"Open"}, {MF_SEPARATOR, 0, L""}, {MF_STRING, 3, L"Quit"}});
    std::int64_t chosen = -1;
    EXPECT_FALSE(here.pollMenu(token, false, chosen));
    EXPECT_EQ(tool(socket, "menu").output, "open menu of window 0x0 (pid " + std::to_string(::getpid()) +
                                               ")\n  1 \"Open\"\n  ----\n  3 \"Quit\"\n");
    EXPECT_EQ(tool(socket, "menu-choose Nothing").status, 1);
    EXPECT_EQ(tool(socket, "menu-choose Quit").status, 0);
    EXPECT_TRUE(here.pollMenu(token, false, chosen));
    EXPECT_EQ(chosen, 3);
}

} // namespace
