#include "platform/win32.h"

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
};
thread_local std::vector<Seen>* seen = nullptr;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (seen)
        seen->push_back({message, wParam});
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        seen = &messages;
        WNDCLASSW wc{};
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Vorna.Test.Window";
        ASSERT_NE(RegisterClassW(&wc), 0);
    }
    void TearDown() override
    {
        UnregisterClassW(L"Vorna.Test.Window", GetModuleHandleW(nullptr));
        seen = nullptr;
    }
    std::vector<Seen> messages;
};

TEST_F(WindowTest, CreationPassesTheParameterAndUserDataKeepsIt)
{
    int state = 5;
    const HWND hwnd = CreateWindowExW(0, L"vorna.test.WINDOW", L"Hidden", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), &state);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, UINT(WM_NCCREATE));
    EXPECT_EQ(messages[1].message, UINT(WM_CREATE));
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&state));
    EXPECT_TRUE(IsWindow(hwnd));
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, DWORD(::getpid()));
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(messages.back().message, UINT(WM_NCDESTROY));
}

TEST_F(WindowTest, DuplicateClassesAndUnknownClassesFail)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = L"VORNA.TEST.WINDOW";
    EXPECT_EQ(RegisterClassW(&wc), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_EQ(CreateWindowExW(0, L"No.Such.Class", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowTest, DispatchedMessagesReachTheProcedure)
{
    const HWND hwnd = CreateWindowExW(0, L"Vorna.Test.Window", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    messages.clear();
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = WM_APP + 3;
    msg.wParam = 9;
    DispatchMessageW(&msg);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, UINT(WM_APP + 3));
    EXPECT_EQ(messages[0].wParam, 9u);
    // Only the creating thread may destroy it.
    BOOL destroyedElsewhere = TRUE;
    std::thread([&] { destroyedElsewhere = DestroyWindow(hwnd); }).join();
    EXPECT_FALSE(destroyedElsewhere);
    EXPECT_TRUE(DestroyWindow(hwnd));
}

TEST_F(WindowTest, WindowsOfAnEndedThreadAreGone)
{
    HWND hwnd = nullptr;
    std::thread([&] {
        hwnd = CreateWindowExW(0, L"Vorna.Test.Window", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }).join();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
}

} // namespace
