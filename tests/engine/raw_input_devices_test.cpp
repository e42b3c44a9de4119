#include "engine/raw_input_devices.h"

#include "platform/sim/session/session_api.h"

#include <gtest/gtest.h>

namespace {

using namespace vorna::windows;
using vorna::sim::FailPoint;
using vorna::sim::Failure;
using vorna::sim::RawDevice;

class RawInputInventory : public testing::Test {
protected:
    void SetUp() override { session.reset(); }
    void TearDown() override { session.reset(); }
    vorna::sim::SessionApi& session = vorna::sim::processSession();
};

TEST_F(RawInputInventory, ListsEveryDeviceWithWhatItsKindReports)
{
    RawDevice hid;
    hid.type = RIM_TYPEHID;
    hid.name = L"\\\\?\\HID#VID_046D&PID_C52B";
    hid.buttons = 3; // only a mouse reports buttons
    hid.vendorId = 0x046D;
    hid.productId = 0xC52B;
    session.addRawDevice(hid);

    const RawInputDeviceList list = RawInputDevices::list();
    EXPECT_EQ(list.error, 0u);
    ASSERT_EQ(list.devices.size(), 3u);
    EXPECT_EQ(list.devices[0].kind, 0u);
    EXPECT_EQ(list.devices[0].buttons, 5u);
    EXPECT_EQ(list.devices[1].kind, 1u);
    EXPECT_EQ(list.devices[1].buttons, 0u); // a keyboard reports no buttons
    EXPECT_EQ(list.devices[1].vendorId, 0u);
    EXPECT_EQ(list.devices[2].kind, 2u);
    EXPECT_EQ(list.devices[2].name, hid.name);
    EXPECT_EQ(list.devices[2].buttons, 0u);
    EXPECT_EQ(list.devices[2].vendorId, 0x046Du);
    EXPECT_EQ(list.devices[2].productId, 0xC52Bu);
    for (const RawInputDevice& d : list.devices)
        EXPECT_NE(d.handle, 0u);
}

TEST_F(RawInputInventory, PerDeviceFailuresKeepTheDevice)
{
    session.setFailure(FailPoint::RawInputDeviceName, Failure{5, -1, 0});
    RawInputDeviceList list = RawInputDevices::list();
    ASSERT_EQ(list.devices.size(), 2u);
    EXPECT_TRUE(list.devices[0].name.empty());
    EXPECT_EQ(list.devices[0].buttons, 5u);

    session.reset();
    session.setFailure(FailPoint::RawInputDeviceInfo, Failure{5, -1, 0});
    list = RawInputDevices::list();
    ASSERT_EQ(list.devices.size(), 2u);
    EXPECT_FALSE(list.devices[0].name.empty());
    EXPECT_EQ(list.devices[0].buttons, 0u);
}

TEST_F(RawInputInventory, AFailedEnumerationGivesItsErrorAndNoDevices)
{
    session.setFailure(FailPoint::RawInputDeviceList, Failure{1450, 1, 0});
    const RawInputDeviceList list = RawInputDevices::list();
    EXPECT_EQ(list.error, 1450u);
    EXPECT_TRUE(list.devices.empty());
}

// A device list that changes between the count and the copy, as the system may report it.
struct ChangingList {
    static inline std::vector<UINT> counts; // what each count query reports
    static inline int tooSmall = 0;         // copies that find the buffer too small
    static inline int queries = 0;

    static UINT WINAPI deviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT)
    {
        const UINT now = counts[std::min<size_t>(size_t(queries), counts.size() - 1)];
        if (!list) {
            ++queries;
            *count = now;
            return 0;
        }
        if (tooSmall > 0) {
            --tooSmall;
            *count = now + 1;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return UINT(-1);
        }
        for (UINT i = 0; i < *count; ++i)
            list[i] = RAWINPUTDEVICELIST{reinterpret_cast<HANDLE>(uintptr_t(0x100 + i)), RIM_TYPEKEYBOARD};
        return *count;
    }
    static UINT WINAPI deviceInfo(HANDLE, UINT, LPVOID, PUINT)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return UINT(-1);
    }
};

TEST(RawInputEnumeration, ReadsAgainWhileTheListGrowsUpToFourAttempts)
{
    const RawInputApi api{&ChangingList::deviceList, &ChangingList::deviceInfo};
    struct Case {
        std::vector<UINT> counts;
        int tooSmall;
        uint32_t error;
        size_t devices;
        int queries;
    };
    const Case cases[] = {
        {{2}, 0, 0, 2, 1},
        {{2, 3}, 1, 0, 3, 2},
        {{2, 3, 4, 5}, 3, 0, 5, 4},
        {{2, 3, 4, 5}, 4, ERROR_INSUFFICIENT_BUFFER, 0, 4},
        {{16'384}, 0, 0, 16'384, 1},
        {{16'385}, 0, ERROR_NOT_ENOUGH_MEMORY, 0, 1},
    };
    for (const Case& c : cases) {
        ChangingList::counts = c.counts;
        ChangingList::tooSmall = c.tooSmall;
        ChangingList::queries = 0;
        const RawInputDeviceList list = RawInputDevices::list(api);
        EXPECT_EQ(list.error, c.error) << c.tooSmall;
        EXPECT_EQ(list.devices.size(), c.devices) << c.tooSmall;
        EXPECT_EQ(ChangingList::queries, c.queries) << c.tooSmall;
        if (!list.devices.empty())
            EXPECT_TRUE(list.devices.back().name.empty());
    }
}

} // namespace
