#include "platform/sim/driver/driver.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using vorna::sim::Driver;
using vorna::sim::FailPoint;
using vorna::sim::Notice;

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received>* received = nullptr;

LRESULT CALLBACK noticeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (received && message >= WM_QUERYENDSESSION && message != WM_NCCREATE && message != WM_CREATE && message != WM_DESTROY &&
        message != WM_NCDESTROY)
        received->push_back({hwnd, message, wParam, lParam});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Notices : public testing::Test {
protected:
    void SetUp() override
    {
        driver.session().reset();
        received = &log;
        WNDCLASSW wc{};
        wc.lpfnWndProc = noticeProc;
        wc.lpszClassName = L"Vorna.Test.Notices";
        RegisterClassW(&wc);
        registered = CreateWindowExW(0, L"Vorna.Test.Notices", L"registered", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        plain = CreateWindowExW(0, L"Vorna.Test.Notices", L"plain", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        messageOnly = CreateWindowExW(0, L"Vorna.Test.Notices", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_TRUE(registered && plain && messageOnly);
    }
    void TearDown() override
    {
        for (HWND w : {registered, plain, messageOnly})
            DestroyWindow(w);
        UnregisterClassW(L"Vorna.Test.Notices", nullptr);
        received = nullptr;
    }
    // Takes and dispatches what is queued, as a message loop would.
    std::vector<Received> pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        return std::exchange(log, {});
    }

    Driver driver;
    std::vector<Received> log;
    HWND registered = nullptr, plain = nullptr, messageOnly = nullptr;
};

TEST_F(Notices, SessionNoticesGoToRegisteredWindowsPowerToTopLevelOnes)
{
    ASSERT_TRUE(WTSRegisterSessionNotification(registered, NOTIFY_FOR_THIS_SESSION));
    EXPECT_EQ(driver.session().notify(Notice::Session, WTS_SESSION_LOCK), 1);
    std::vector<Received> got = pump();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].hwnd, registered);
    EXPECT_EQ(got[0].message, UINT(WM_WTSSESSION_CHANGE));
    EXPECT_EQ(got[0].wParam, WPARAM(WTS_SESSION_LOCK));

    EXPECT_EQ(driver.session().notify(Notice::Power, PBT_APMSUSPEND), 2); // not the message-only window
    got = pump();
    ASSERT_EQ(got.size(), 2u);
    for (const Received& r : got) {
        EXPECT_EQ(r.message, UINT(WM_POWERBROADCAST));
        EXPECT_EQ(r.wParam, WPARAM(PBT_APMSUSPEND));
        EXPECT_NE(r.hwnd, messageOnly);
    }

    WTSUnRegisterSessionNotification(registered);
    EXPECT_EQ(driver.session().notify(Notice::Session, WTS_SESSION_UNLOCK), 0);
}

TEST_F(Notices, DeviceChangesReachWindowsRegisteredWithDevNotify)
{
    RAWINPUTDEVICE devices[2] = {{1, 2, RIDEV_DEVNOTIFY, registered}, {1, 6, RIDEV_DEVNOTIFY, registered}};
    ASSERT_TRUE(RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE)));
    vorna::sim::RawDevice mouse;
    mouse.type = RIM_TYPEMOUSE;
    mouse.name = L"\\\\?\\HID#VID_1234&PID_0001";
    mouse.buttons = 3;
    const std::uint64_t handle = driver.session().addRawDevice(mouse);
    EXPECT_TRUE(driver.session().removeRawDevice(handle));
    std::vector<Received> got = pump();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, UINT(WM_INPUT_DEVICE_CHANGE));
    EXPECT_EQ(got[0].wParam, WPARAM(GIDC_ARRIVAL));
    EXPECT_EQ(got[1].wParam, WPARAM(GIDC_REMOVAL));
    EXPECT_EQ(got[1].lParam, LPARAM(handle));

    RAWINPUTDEVICE remove[2] = {{1, 2, RIDEV_REMOVE, nullptr}, {1, 6, RIDEV_REMOVE, nullptr}};
    ASSERT_TRUE(RegisterRawInputDevices(remove, 2, sizeof(RAWINPUTDEVICE)));
    driver.session().removeRawDevice(driver.session().addRawDevice(mouse));
    EXPECT_TRUE(pump().empty());
    RAWINPUTDEVICE bad = {1, 2, RIDEV_REMOVE, registered};
    EXPECT_FALSE(RegisterRawInputDevices(&bad, 1, sizeof(RAWINPUTDEVICE)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    driver.session().setFailure(FailPoint::RegisterRawInput, {ERROR_ACCESS_DENIED, 1, 0});
    EXPECT_FALSE(RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST(RawInputDevices, ListNamesAndInformationWithForcedFailures)
{
    Driver driver;
    driver.session().reset();
    vorna::sim::RawDevice hid;
    hid.type = RIM_TYPEHID;
    hid.name = L"\\\\?\\HID#VID_046D&PID_C52B";
    hid.vendorId = 0x046D;
    hid.productId = 0xC52B;
    driver.session().addRawDevice(hid);

    UINT count = 0;
    ASSERT_EQ(GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)), 0u);
    ASSERT_EQ(count, 3u);
    std::vector<RAWINPUTDEVICELIST> list(count);
    UINT small = 1;
    EXPECT_EQ(GetRawInputDeviceList(list.data(), &small, sizeof(RAWINPUTDEVICELIST)), UINT(-1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small, 3u);
    driver.session().setFailure(FailPoint::RawInputDeviceList, {ERROR_INSUFFICIENT_BUFFER, 1, 0});
    EXPECT_EQ(GetRawInputDeviceList(list.data(), &count, sizeof(RAWINPUTDEVICELIST)), UINT(-1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_EQ(GetRawInputDeviceList(list.data(), &count, sizeof(RAWINPUTDEVICELIST)), 3u);
    EXPECT_EQ(list[0].dwType, DWORD(RIM_TYPEMOUSE));
    EXPECT_EQ(list[1].dwType, DWORD(RIM_TYPEKEYBOARD));
    EXPECT_EQ(list[2].dwType, DWORD(RIM_TYPEHID));

    UINT length = 0;
    ASSERT_EQ(GetRawInputDeviceInfoW(list[2].hDevice, RIDI_DEVICENAME, nullptr, &length), 0u);
    EXPECT_EQ(length, hid.name.size() + 1);
    std::vector<WCHAR> name(length);
    EXPECT_EQ(GetRawInputDeviceInfoW(list[2].hDevice, RIDI_DEVICENAME, name.data(), &length), length);
    EXPECT_EQ(std::wstring(name.data()), hid.name);

    RID_DEVICE_INFO info{};
    info.cbSize = sizeof info;
    UINT size = sizeof info;
    ASSERT_EQ(GetRawInputDeviceInfoW(list[2].hDevice, RIDI_DEVICEINFO, &info, &size), UINT(sizeof info));
    EXPECT_EQ(info.hid.dwVendorId, 0x046Du);
    EXPECT_EQ(info.hid.dwProductId, 0xC52Bu);
    ASSERT_EQ(GetRawInputDeviceInfoW(list[0].hDevice, RIDI_DEVICEINFO, &info, &size), UINT(sizeof info));
    EXPECT_EQ(info.mouse.dwNumberOfButtons, 5u);

    // A forced failure of the name query leaves the information query working.
    driver.session().setFailure(FailPoint::RawInputDeviceName, {ERROR_GEN_FAILURE, 1, 0});
    EXPECT_EQ(GetRawInputDeviceInfoW(list[1].hDevice, RIDI_DEVICENAME, nullptr, &length), UINT(-1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(GetRawInputDeviceInfoW(list[1].hDevice, RIDI_DEVICEINFO, &info, &size), UINT(sizeof info));
    EXPECT_EQ(GetRawInputDeviceInfoW(reinterpret_cast<HANDLE>(0x9999), RIDI_DEVICEINFO, &info, &size), UINT(-1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(SessionWindows, ForegroundAndSimulatedWindowsAreSeenThroughWin32)
{
    Driver driver;
    driver.session().reset();
    vorna::sim::WindowRecord editor;
    editor.processId = 4242;
    editor.threadId = 4243;
    editor.title = L"Document - Editor";
    editor.className = L"EditorWindow";
    editor.visible = true;
    const HWND hwnd = driver.session().addWindow(editor);
    EXPECT_TRUE(driver.session().setForeground(hwnd));
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    EXPECT_TRUE(IsWindow(hwnd));
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, &pid), 4243u);
    EXPECT_EQ(pid, 4242u);
    driver.session().removeWindow(hwnd);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(driver.session().setForeground(hwnd));
}

TEST(SessionClock, SteppingMovesTickCountAndPerformanceCounterTogether)
{
    Driver driver;
    driver.session().reset();
    LARGE_INTEGER before{}, after{};
    const ULONGLONG tickBefore = GetTickCount64();
    QueryPerformanceCounter(&before);
    driver.session().stepClock(60000);
    const ULONGLONG tickAfter = GetTickCount64();
    QueryPerformanceCounter(&after);
    EXPECT_GE(tickAfter - tickBefore, 60000u);
    EXPECT_LT(tickAfter - tickBefore, 61000u);
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    EXPECT_GE(after.QuadPart - before.QuadPart, 60000LL * 10'000);
}

} // namespace
