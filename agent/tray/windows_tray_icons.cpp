// The three state icons: the program's small icon with the badge of each state drawn into it.
#include "agent/tray/per_monitor_dpi.h"
#include "agent/tray/tray_badge.h"
#include "agent/tray/windows_tray.h"

#include <cstring>


void WindowsTray::rebuildIcons()
{
    const PerMonitorDpiScope dpi;
    const std::array<HICON, 3> previous = m_icons;
    for (std::size_t index = 0; index < m_icons.size(); ++index) {
        HICON icon = makeIcon(vorna::tray::kBadgeColours[index]);
        m_icons[index] = icon != nullptr ? icon : CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
    }
    if (m_iconAdded && m_icons[m_iconState] != nullptr) {
        NOTIFYICONDATAW data = notifyData(NIF_ICON);
        data.hIcon = m_icons[m_iconState];
        Shell_NotifyIconW(NIM_MODIFY, &data);
    }
    for (HICON icon : previous) {
        if (icon != nullptr)
            DestroyIcon(icon);
    }
}

HICON WindowsTray::makeIcon(std::uint32_t colour) const
{
    HICON program = nullptr;
    if (FAILED(LoadIconMetric(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), LIM_SMALL, &program)) || program == nullptr)
        return nullptr;
    ICONINFO parts{};
    if (!GetIconInfo(program, &parts)) {
        DestroyIcon(program);
        return nullptr;
    }
    BITMAP size{};
    const bool sized = parts.hbmColor != nullptr && GetObjectW(parts.hbmColor, sizeof size, &size) == sizeof size;
    if (parts.hbmColor != nullptr)
        DeleteObject(parts.hbmColor);
    if (parts.hbmMask != nullptr)
        DeleteObject(parts.hbmMask);
    const int width = size.bmWidth;
    const int height = size.bmHeight;
    if (!sized || width < 1 || height < 1) {
        DestroyIcon(program);
        return nullptr;
    }

    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colourBitmap = dc != nullptr ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HICON result = nullptr;
    if (dc != nullptr && colourBitmap != nullptr && bits != nullptr && mask != nullptr) {
        auto* pixels = static_cast<std::uint32_t*>(bits);
        std::memset(pixels, 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        const HGDIOBJ previous = SelectObject(dc, colourBitmap);
        const bool drawn = DrawIconEx(dc, 0, 0, program, width, height, 0, nullptr, DI_NORMAL) != FALSE;
        if (drawn) {
            vorna::tray::paintBadge(pixels, width, height, colour);
            // An all-zero mask: the alpha channel alone decides what is transparent.
            SelectObject(dc, mask);
            PatBlt(dc, 0, 0, width, height, BLACKNESS);
        }
        SelectObject(dc, previous);
        if (drawn) {
            ICONINFO made{};
            made.fIcon = TRUE;
            made.hbmMask = mask;
            made.hbmColor = colourBitmap;
            result = CreateIconIndirect(&made);
        }
    }
    if (mask != nullptr)
        DeleteObject(mask);
    if (colourBitmap != nullptr)
        DeleteObject(colourBitmap);
    if (dc != nullptr)
        DeleteDC(dc);
    DestroyIcon(program);
    return result;
}
