// Bitmaps, device contexts and icons of this process, with real pixels: a program that draws
// an icon gets exactly the pixels Windows would give it.
#include "platform/sim/stand_ins/gdi_objects.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <variant>

namespace {

struct Bitmap {
    LONG width = 0;
    LONG height = 0;
    WORD bitsPerPixel = 32;
    bool topDown = true;
    bool dibSection = false;
    std::vector<std::uint8_t> data;

    LONG stride() const { return bitsPerPixel == 32 ? width * 4 : ((width + 15) / 16) * 2; }
    std::size_t rowOffset(LONG y) const { return static_cast<std::size_t>(topDown ? y : height - 1 - y) * stride(); }
    std::uint32_t* pixel(LONG x, LONG y) { return reinterpret_cast<std::uint32_t*>(data.data() + rowOffset(y)) + x; }
    void clear(LONG x, LONG y)
    {
        if (bitsPerPixel == 32)
            *pixel(x, y) = 0;
        else
            data[rowOffset(y) + x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
    }
};

struct DeviceContext {
    HGDIOBJ selected = nullptr;
};

struct Icon {
    LONG width = 0;
    LONG height = 0;
    std::vector<std::uint32_t> pixels;
    bool shared = false;
};

using Object = std::variant<Bitmap, DeviceContext, Icon>;

struct Objects {
    std::mutex mutex;
    std::map<std::uintptr_t, std::unique_ptr<Object>> table;
    std::uintptr_t next = 0x7C0000;
};

Objects& objects()
{
    static auto* instance = new Objects;
    return *instance;
}

// What a new device context holds until something else is selected into it.
const HGDIOBJ kStockBitmap = reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x7BFFF0});

std::uintptr_t add(Object object)
{
    Objects& o = objects();
    std::lock_guard lock(o.mutex);
    const std::uintptr_t handle = o.next += 16;
    o.table[handle] = std::make_unique<Object>(std::move(object));
    return handle;
}

template <typename T>
T* findLocked(const void* handle)
{
    const auto it = objects().table.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects().table.end() ? nullptr : std::get_if<T>(it->second.get());
}

bool removeLocked(const void* handle)
{
    return objects().table.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

template <typename H>
H handleOf(std::uintptr_t value)
{
    return reinterpret_cast<H>(value);
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

Icon makeIcon(LONG size, std::uint32_t colour, bool border)
{
    Icon icon;
    icon.width = size;
    icon.height = size;
    icon.pixels.assign(static_cast<std::size_t>(size * size), 0);
    for (LONG y = 0; y < size; ++y) {
        for (LONG x = 0; x < size; ++x) {
            const bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
            if (!border || !edge)
                icon.pixels[static_cast<std::size_t>(y * size + x)] = colour;
        }
    }
    return icon;
}

} // namespace

namespace vorna::sim {

bool readIcon(HICON handle, LONG& width, LONG& height, std::vector<std::uint32_t>& pixels)
{
    std::lock_guard lock(objects().mutex);
    const Icon* icon = findLocked<Icon>(handle);
    if (icon == nullptr)
        return false;
    width = icon->width;
    height = icon->height;
    pixels = icon->pixels;
    return true;
}

} // namespace vorna::sim

HDC WINAPI CreateCompatibleDC(HDC)
{
    return handleOf<HDC>(add(DeviceContext{kStockBitmap}));
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    std::lock_guard lock(objects().mutex);
    if (findLocked<DeviceContext>(hdc) == nullptr)
        return fail(ERROR_INVALID_HANDLE);
    removeLocked(hdc);
    return TRUE;
}

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection, DWORD)
{
    if (pbmi == nullptr || pbmi->bmiHeader.biSize != sizeof(BITMAPINFOHEADER) || pbmi->bmiHeader.biBitCount != 32 ||
        pbmi->bmiHeader.biCompression != BI_RGB || pbmi->bmiHeader.biWidth < 1 || pbmi->bmiHeader.biHeight == 0 ||
        usage != DIB_RGB_COLORS || hSection != nullptr || pbmi->bmiHeader.biWidth > 8192 ||
        std::abs(pbmi->bmiHeader.biHeight) > 8192) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Bitmap bitmap;
    bitmap.width = pbmi->bmiHeader.biWidth;
    bitmap.height = std::abs(pbmi->bmiHeader.biHeight);
    bitmap.topDown = pbmi->bmiHeader.biHeight < 0;
    bitmap.dibSection = true;
    bitmap.data.assign(static_cast<std::size_t>(bitmap.stride() * bitmap.height), 0);
    const std::uintptr_t handle = add(std::move(bitmap));
    if (ppvBits != nullptr) {
        std::lock_guard lock(objects().mutex);
        *ppvBits = findLocked<Bitmap>(reinterpret_cast<void*>(handle))->data.data();
    }
    return handleOf<HBITMAP>(handle);
}

HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits)
{
    if (nWidth < 1 || nHeight < 1 || nWidth > 8192 || nHeight > 8192 || nPlanes != 1 || (nBitCount != 1 && nBitCount != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Bitmap bitmap;
    bitmap.width = nWidth;
    bitmap.height = nHeight;
    bitmap.bitsPerPixel = static_cast<WORD>(nBitCount);
    bitmap.data.assign(static_cast<std::size_t>(bitmap.stride() * nHeight), 0);
    if (lpBits != nullptr)
        std::memcpy(bitmap.data.data(), lpBits, bitmap.data.size());
    return handleOf<HBITMAP>(add(std::move(bitmap)));
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    std::lock_guard lock(objects().mutex);
    DeviceContext* dc = findLocked<DeviceContext>(hdc);
    if (dc == nullptr || (h != kStockBitmap && findLocked<Bitmap>(h) == nullptr)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const HGDIOBJ previous = dc->selected;
    dc->selected = h;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    std::lock_guard lock(objects().mutex);
    if (findLocked<Bitmap>(ho) == nullptr)
        return fail(ERROR_INVALID_HANDLE);
    removeLocked(ho);
    return TRUE;
}

int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv)
{
    std::lock_guard lock(objects().mutex);
    Bitmap* bitmap = findLocked<Bitmap>(h);
    if (bitmap == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (pv == nullptr)
        return sizeof(BITMAP);
    if (c < static_cast<int>(sizeof(BITMAP))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    BITMAP info{};
    info.bmWidth = bitmap->width;
    info.bmHeight = bitmap->height;
    info.bmWidthBytes = bitmap->stride();
    info.bmPlanes = 1;
    info.bmBitsPixel = bitmap->bitsPerPixel;
    info.bmBits = bitmap->dibSection ? bitmap->data.data() : nullptr;
    std::memcpy(pv, &info, sizeof info);
    return sizeof(BITMAP);
}

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop)
{
    std::lock_guard lock(objects().mutex);
    DeviceContext* dc = findLocked<DeviceContext>(hdc);
    Bitmap* target = dc ? findLocked<Bitmap>(dc->selected) : nullptr;
    if (target == nullptr || rop != BLACKNESS)
        return fail(target == nullptr ? ERROR_INVALID_HANDLE : ERROR_NOT_SUPPORTED);
    for (LONG row = std::max(0, y); row < std::min<LONG>(target->height, y + h); ++row) {
        for (LONG column = std::max(0, x); column < std::min<LONG>(target->width, x + w); ++column)
            target->clear(column, row);
    }
    return TRUE;
}

BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT, HBRUSH, UINT diFlags)
{
    std::lock_guard lock(objects().mutex);
    DeviceContext* dc = findLocked<DeviceContext>(hdc);
    Bitmap* target = dc ? findLocked<Bitmap>(dc->selected) : nullptr;
    const Icon* icon = findLocked<Icon>(hIcon);
    if (target == nullptr || icon == nullptr || target->bitsPerPixel != 32 || (diFlags & DI_NORMAL) != DI_NORMAL)
        return fail(ERROR_INVALID_PARAMETER);
    const LONG width = cxWidth > 0 ? cxWidth : icon->width;
    const LONG height = cyWidth > 0 ? cyWidth : icon->height;
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x) {
            const LONG tx = xLeft + x;
            const LONG ty = yTop + y;
            if (tx < 0 || ty < 0 || tx >= target->width || ty >= target->height)
                continue;
            const std::uint32_t source = icon->pixels[static_cast<std::size_t>((y * icon->height / height) * icon->width +
                                                                               x * icon->width / width)];
            std::uint32_t& destination = *target->pixel(tx, ty);
            // Premultiplied "source over": each channel of the destination keeps 255 - alpha of itself.
            const std::uint32_t keep = 255 - (source >> 24);
            std::uint32_t blended = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const std::uint32_t channel = ((source >> shift) & 0xFF) + ((destination >> shift) & 0xFF) * keep / 255;
                blended |= std::min<std::uint32_t>(channel, 255) << shift;
            }
            destination = blended;
        }
    }
    return TRUE;
}

HICON WINAPI CreateIconIndirect(PICONINFO piconinfo)
{
    Icon icon;
    {
        std::lock_guard lock(objects().mutex);
        Bitmap* colour = piconinfo ? findLocked<Bitmap>(piconinfo->hbmColor) : nullptr;
        if (colour == nullptr || colour->bitsPerPixel != 32 || findLocked<Bitmap>(piconinfo->hbmMask) == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        icon.width = colour->width;
        icon.height = colour->height;
        for (LONG y = 0; y < colour->height; ++y) {
            for (LONG x = 0; x < colour->width; ++x)
                icon.pixels.push_back(*colour->pixel(x, y));
        }
    }
    return handleOf<HICON>(add(std::move(icon)));
}

BOOL WINAPI GetIconInfo(HICON hIcon, PICONINFO piconinfo)
{
    LONG width = 0;
    LONG height = 0;
    std::vector<std::uint32_t> pixels;
    if (piconinfo == nullptr || !vorna::sim::readIcon(hIcon, width, height, pixels))
        return fail(ERROR_INVALID_HANDLE);
    Bitmap colour;
    colour.width = width;
    colour.height = height;
    colour.data.resize(pixels.size() * 4);
    std::memcpy(colour.data.data(), pixels.data(), colour.data.size());
    piconinfo->fIcon = TRUE;
    piconinfo->xHotspot = static_cast<DWORD>(width / 2);
    piconinfo->yHotspot = static_cast<DWORD>(height / 2);
    piconinfo->hbmColor = handleOf<HBITMAP>(add(std::move(colour)));
    piconinfo->hbmMask = CreateBitmap(width, height, 1, 1, nullptr);
    return TRUE;
}

BOOL WINAPI DestroyIcon(HICON hIcon)
{
    std::lock_guard lock(objects().mutex);
    const Icon* icon = findLocked<Icon>(hIcon);
    if (icon == nullptr)
        return fail(ERROR_INVALID_HANDLE);
    if (!icon->shared) // shared icons stay, as on Windows
        removeLocked(hIcon);
    return TRUE;
}

HICON WINAPI CopyIcon(HICON hIcon)
{
    Icon copy;
    {
        std::lock_guard lock(objects().mutex);
        const Icon* icon = findLocked<Icon>(hIcon);
        if (icon == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        copy = *icon;
        copy.shared = false;
    }
    return handleOf<HICON>(add(std::move(copy)));
}

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName)
{
    if (hInstance != nullptr || lpIconName != IDI_APPLICATION) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    static const std::uintptr_t application = [] {
        Icon icon = makeIcon(32, 0xFFC0C0C0u, true);
        icon.shared = true;
        return add(std::move(icon));
    }();
    return handleOf<HICON>(application);
}

HRESULT WINAPI LoadIconMetric(HINSTANCE hinst, PCWSTR pszName, int lims, HICON* phico)
{
    if (phico == nullptr || (lims != LIM_SMALL && lims != LIM_LARGE))
        return E_INVALIDARG;
    if (hinst != GetModuleHandleW(nullptr) || pszName != MAKEINTRESOURCEW(1))
        return static_cast<HRESULT>(0x80070000u | ERROR_RESOURCE_NAME_NOT_FOUND);
    // The program's own icon: an opaque blue square with a transparent edge.
    *phico = handleOf<HICON>(add(makeIcon(lims == LIM_SMALL ? 16 : 32, 0xFF2D5FA0u, true)));
    return S_OK;
}
