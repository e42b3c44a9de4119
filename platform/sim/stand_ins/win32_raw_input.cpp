// Raw-input registration and the device list.
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

#include <algorithm>
#include <unistd.h>

using namespace vorna::sim;

namespace {
constexpr UINT failed = static_cast<UINT>(-1);
}

BOOL WINAPI RegisterRawInputDevices(PCRAWINPUTDEVICE pRawInputDevices, UINT uiNumDevices, UINT cbSize)
{
    if (pRawInputDevices == nullptr || uiNumDevices == 0 || cbSize != sizeof(RAWINPUTDEVICE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::vector<RAWINPUTDEVICE> devices(pRawInputDevices, pRawInputDevices + uiNumDevices);
    const DWORD error = processSession().registerRawInput(devices, DWORD(::getpid()));
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

UINT WINAPI GetRawInputDeviceList(PRAWINPUTDEVICELIST pRawInputDeviceList, PUINT puiNumDevices, UINT cbSize)
{
    if (puiNumDevices == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return failed;
    }
    if (cbSize != sizeof(RAWINPUTDEVICELIST)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return failed;
    }
    std::vector<RawDevice> devices;
    if (const DWORD error = processSession().rawInputDevices(FailPoint::RawInputDeviceList, devices)) {
        SetLastError(error);
        return failed;
    }
    const UINT count = static_cast<UINT>(devices.size());
    if (pRawInputDeviceList == nullptr) {
        *puiNumDevices = count;
        return 0;
    }
    if (*puiNumDevices < count) {
        *puiNumDevices = count;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return failed;
    }
    for (UINT i = 0; i < count; ++i) {
        pRawInputDeviceList[i].hDevice = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(devices[i].handle));
        pRawInputDeviceList[i].dwType = devices[i].type;
    }
    return count;
}

UINT WINAPI GetRawInputDeviceInfoW(HANDLE hDevice, UINT uiCommand, LPVOID pData, PUINT pcbSize)
{
    if (pcbSize == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return failed;
    }
    if (uiCommand != RIDI_DEVICENAME && uiCommand != RIDI_DEVICEINFO) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return failed;
    }
    std::vector<RawDevice> devices;
    const FailPoint call = uiCommand == RIDI_DEVICENAME ? FailPoint::RawInputDeviceName : FailPoint::RawInputDeviceInfo;
    if (const DWORD error = processSession().rawInputDevices(call, devices)) {
        SetLastError(error);
        return failed;
    }
    const auto device = std::find_if(devices.begin(), devices.end(), [&](const RawDevice& d) {
        return d.handle == reinterpret_cast<std::uintptr_t>(hDevice);
    });
    if (device == devices.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failed;
    }
    // Names are measured in characters, the information record in bytes.
    const UINT needed = uiCommand == RIDI_DEVICENAME ? static_cast<UINT>(device->name.size() + 1) : UINT(sizeof(RID_DEVICE_INFO));
    if (pData == nullptr) {
        *pcbSize = needed;
        return 0;
    }
    if (*pcbSize < needed) {
        *pcbSize = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return failed;
    }
    if (uiCommand == RIDI_DEVICENAME) {
        std::copy(device->name.c_str(), device->name.c_str() + needed, static_cast<WCHAR*>(pData));
        return needed;
    }
    auto* info = static_cast<RID_DEVICE_INFO*>(pData);
    if (info->cbSize != sizeof(RID_DEVICE_INFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return failed;
    }
    *info = RID_DEVICE_INFO{};
    info->cbSize = sizeof(RID_DEVICE_INFO);
    info->dwType = device->type;
    if (device->type == RIM_TYPEMOUSE) {
        info->mouse.dwId = 256;
        info->mouse.dwNumberOfButtons = device->buttons;
        info->mouse.dwSampleRate = 100;
        info->mouse.fHasHorizontalWheel = TRUE;
    } else if (device->type == RIM_TYPEKEYBOARD) {
        info->keyboard.dwType = 4; // enhanced 101/102-key
        info->keyboard.dwNumberOfFunctionKeys = 12;
        info->keyboard.dwNumberOfIndicators = 3;
        info->keyboard.dwNumberOfKeysTotal = 101;
    } else {
        info->hid.dwVendorId = device->vendorId;
        info->hid.dwProductId = device->productId;
    }
    return needed;
}
