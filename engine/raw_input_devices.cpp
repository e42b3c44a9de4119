#include "engine/raw_input_devices.h"

namespace vorna::windows {

namespace {

constexpr UINT kMaxDevices = 16'384;
constexpr UINT kMaxNameLength = 32'768;
constexpr int kListAttempts = 4;

std::wstring deviceName(const RawInputApi& api, HANDLE device)
{
    UINT length = 0;
    if (api.deviceInfo(device, RIDI_DEVICENAME, nullptr, &length) == UINT(-1) || length == 0 ||
        length > kMaxNameLength)
        return {};
    std::wstring buffer(size_t(length) + 1, L'\0');
    UINT size = length;
    if (api.deviceInfo(device, RIDI_DEVICENAME, buffer.data(), &size) == UINT(-1))
        return {};
    buffer.resize(buffer.find(L'\0'));
    return buffer;
}

void readDeviceInfo(const RawInputApi& api, HANDLE device, RawInputDevice& out)
{
    RID_DEVICE_INFO info{};
    info.cbSize = sizeof(RID_DEVICE_INFO);
    UINT size = sizeof(RID_DEVICE_INFO);
    if (api.deviceInfo(device, RIDI_DEVICEINFO, &info, &size) == UINT(-1))
        return;
    if (out.kind == 0) {
        out.buttons = info.mouse.dwNumberOfButtons;
    } else if (out.kind == 2) {
        out.vendorId = info.hid.dwVendorId;
        out.productId = info.hid.dwProductId;
    }
}

} // namespace

RawInputDeviceList RawInputDevices::list(const RawInputApi& api)
{
    RawInputDeviceList result;
    std::vector<RAWINPUTDEVICELIST> entries;
    UINT returned = 0;
    for (int attempt = 1;; ++attempt) {
        UINT count = 0;
        if (api.deviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) == UINT(-1)) {
            result.error = GetLastError();
            return result;
        }
        if (count > kMaxDevices) {
            result.error = ERROR_NOT_ENOUGH_MEMORY;
            return result;
        }
        entries.assign(count, RAWINPUTDEVICELIST{});
        returned = api.deviceList(entries.data(), &count, sizeof(RAWINPUTDEVICELIST));
        if (returned != UINT(-1))
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || attempt == kListAttempts) {
            result.error = error;
            return result;
        }
    }
    result.devices.reserve(returned);
    for (UINT i = 0; i < returned && i < entries.size(); ++i) {
        RawInputDevice device;
        device.handle = uint64_t(reinterpret_cast<uintptr_t>(entries[i].hDevice));
        device.kind = entries[i].dwType == RIM_TYPEMOUSE ? 0 : entries[i].dwType == RIM_TYPEKEYBOARD ? 1 : 2;
        device.name = deviceName(api, entries[i].hDevice);
        readDeviceInfo(api, entries[i].hDevice, device);
        result.devices.push_back(std::move(device));
    }
    return result;
}

} // namespace vorna::windows
