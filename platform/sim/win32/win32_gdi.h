// GDI bitmaps and icons with real pixel buffers, enough to draw a state icon: device contexts,
// DIB sections, monochrome masks, icon parts and icons made from them. Nothing reaches a
// screen. The program's icon resource 1 is a 16 x 16 picture of the session (96 DPI).
#pragma once

#include "platform/sim/win32/win32_types.h"

VORNA_DECLARE_HANDLE(HDC);
VORNA_DECLARE_HANDLE(HBITMAP);
typedef void* HGDIOBJ;
typedef DWORD COLORREF;

#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define IDI_APPLICATION MAKEINTRESOURCEW(32512)

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;
static_assert(sizeof(BITMAP) == 32);

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *PBITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40);

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *PBITMAPINFO, *LPBITMAPINFO;

typedef struct _ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
} ICONINFO, *PICONINFO;
static_assert(sizeof(ICONINFO) == 32);

#define BI_RGB 0L
#define DIB_RGB_COLORS 0
#define BLACKNESS 0x00000042
#define DI_NORMAL 0x0003
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define LIM_SMALL 0
#define LIM_LARGE 1

HDC WINAPI CreateCompatibleDC(HDC hdc);
BOOL WINAPI DeleteDC(HDC hdc);
// 32-bit DIBs only; the pixels start zeroed.
HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection, DWORD offset);
HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits);
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
BOOL WINAPI DeleteObject(HGDIOBJ ho);
int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv);
// BLACKNESS only: zeroes the rectangle of the selected bitmap.
BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
// Blends the icon's premultiplied pixels over the selected 32-bit bitmap, scaled to cx x cy.
BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT istepIfAniCur,
                       HBRUSH hbrFlickerFreeDraw, UINT diFlags);
// Keeps a copy of the colour bitmap's pixels (32-bit, premultiplied alpha).
HICON WINAPI CreateIconIndirect(PICONINFO piconinfo);
// New colour and mask bitmaps that the caller deletes.
BOOL WINAPI GetIconInfo(HICON hIcon, PICONINFO piconinfo);
BOOL WINAPI DestroyIcon(HICON hIcon);
HICON WINAPI CopyIcon(HICON hIcon);
// The system's application icon (IDI_APPLICATION) with no module.
HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
// Resource 1 of the program's own module, at the small or large icon size.
HRESULT WINAPI LoadIconMetric(HINSTANCE hinst, PCWSTR pszName, int lims, HICON* phico);
