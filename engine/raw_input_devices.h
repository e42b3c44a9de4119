// Inventory of the raw-input devices Windows knows (mice, keyboards, other HID devices), for
// the agent's device list and diagnostics. A plain query on the calling thread.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorna::windows {

struct RawInputDevice {
    uint64_t handle = 0;
    uint32_t kind = 0; // 0 mouse, 1 keyboard, 2 any other type
    std::wstring name; // device interface name; empty when it cannot be read
    uint32_t buttons = 0;
    uint32_t vendorId = 0;
    uint32_t productId = 0;
};

struct RawInputDeviceList {
    std::vector<RawInputDevice> devices;
    uint32_t error = 0; // Win32 error that ended the enumeration (devices then empty)
};

// The two system calls the inventory makes (the system's own unless a test replaces them).
struct RawInputApi {
    UINT(WINAPI* deviceList)(PRAWINPUTDEVICELIST, PUINT, UINT) = &GetRawInputDeviceList;
    UINT(WINAPI* deviceInfo)(HANDLE, UINT, LPVOID, PUINT) = &GetRawInputDeviceInfoW;
};

struct RawInputDevices {
    // Never throws for Win32 failures: they are reported in `error`. Per-device failures keep
    // the device with what could be read.
    static RawInputDeviceList list(const RawInputApi& api = RawInputApi{});
};

} // namespace vorna::windows
