// The clipboard, movable global memory and the text conversions a clipboard write needs. The
// clipboard is the session's: every member process sees the same formats, sequence number,
// owner and opener, and a process that has it open keeps the others out.
#pragma once

#include "platform/sim/win32/win32_types.h"

typedef HANDLE HGLOBAL;
typedef DWORD LCID;
typedef const WCHAR* LPCWCH;
typedef const CHAR* LPCCH;
typedef CHAR* LPSTR;
typedef BOOL* LPBOOL;

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040

#define CF_TEXT 1
#define CF_BITMAP 2
#define CF_OEMTEXT 7
#define CF_DIB 8
#define CF_UNICODETEXT 13
#define CF_HDROP 15
#define CF_LOCALE 16
#define CF_DIBV5 17

#define CP_ACP 0
#define CP_OEMCP 1

#define ERROR_NOT_LOCKED 158L
#define ERROR_NOT_FOUND 1168L
#define ERROR_CLIPBOARD_NOT_OPEN 1418L

// Blocks of this process's memory; a block handed to SetClipboardData belongs to the session
// afterwards and is freed here.
HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
LPVOID WINAPI GlobalLock(HGLOBAL hMem);
// FALSE with last error NO_ERROR once the block is no longer locked.
BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
SIZE_T WINAPI GlobalSize(HGLOBAL hMem);
// NULL on success, else the handle.
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);

// Fails with ERROR_ACCESS_DENIED while another window or process has the clipboard open.
BOOL WINAPI OpenClipboard(HWND hWndNewOwner);
BOOL WINAPI CloseClipboard();
// The opener becomes the owner.
BOOL WINAPI EmptyClipboard();
// Formats in the order they were set; 0 at the end with last error 0. No formats are
// synthesised from others.
UINT WINAPI EnumClipboardFormats(UINT format);
// A block owned by the clipboard, valid until the clipboard is closed.
HANDLE WINAPI GetClipboardData(UINT uFormat);
// Takes the block (delayed rendering, a null block, is not supported).
HANDLE WINAPI SetClipboardData(UINT uFormat, HANDLE hMem);
DWORD WINAPI GetClipboardSequenceNumber();
HWND WINAPI GetClipboardOwner();
// Registered names share one table with RegisterWindowMessageW, values 0xC000 to 0xFFFF;
// names compare without regard to case.
UINT WINAPI RegisterClipboardFormatW(LPCWSTR lpszFormat);
int WINAPI GetClipboardFormatNameW(UINT format, LPWSTR lpszFormatName, int cchMaxCount);

// The ANSI code page is Latin-1 without its C1 controls, the OEM code page plain ASCII; other
// characters become '?'.
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                               int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);
// US English.
LCID WINAPI GetThreadLocale();
