// The shell and the desktop as the agent and its action workers use them: opening files and
// sites, window commands to other programs, the notification area with its popup menu, and the
// registered window messages. Everything is recorded in the session, where drivers read it.
#pragma once

#include "platform/sim/win32/win32_types.h"

VORNA_DECLARE_HANDLE(HKEY);

#define WM_SETTINGCHANGE 0x001A
#define WM_SYSCOMMAND 0x0112
#define WM_DPICHANGED 0x02E0
#define SC_CLOSE 0xF060

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_MAXIMIZE 3
#define SW_SHOWMAXIMIZED 3
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9

typedef struct _SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    union {
        HANDLE hIcon;
        HANDLE hMonitor;
    };
    HANDLE hProcess;
} SHELLEXECUTEINFOW, *LPSHELLEXECUTEINFOW;
static_assert(sizeof(SHELLEXECUTEINFOW) == 112 && offsetof(SHELLEXECUTEINFOW, hProcess) == 104);

#define SEE_MASK_DEFAULT 0x00000000
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400

// A path on a drive the session does not map, or that is missing there, fails with
// ERROR_FILE_NOT_FOUND; anything else (a site) succeeds. No process is started, so hProcess
// stays null. Every call is recorded.
BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* pExecInfo);
// Recorded; the session stays unlocked.
BOOL WINAPI LockWorkStation();
// Recorded with the window's new show state; FALSE for a window that does not exist.
BOOL WINAPI ShowWindowAsync(HWND hWnd, int nCmdShow);
// To this process's windows: queued for the owning thread. To other processes' windows:
// recorded, and delivered when the window belongs to a member process.
BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI SetForegroundWindow(HWND hWnd);
UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString);

// Notification area.
typedef struct _NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
    HICON hBalloonIcon;
} NOTIFYICONDATAW, *PNOTIFYICONDATAW;
// WCHAR is four bytes here, so the size differs from Windows' 976; callers use sizeof.

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002
#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004
#define NIF_INFO 0x00000010
#define NIIF_INFO 0x00000001

// Icons are kept per window and id with their pixels, tooltip and last balloon; a driver
// clicks them, which posts the callback message to the window.
BOOL WINAPI Shell_NotifyIconW(DWORD dwMessage, PNOTIFYICONDATAW lpData);

// Popup menus.
#define ERROR_INVALID_MENU_HANDLE 1401L
#define MF_STRING 0x00000000
#define MF_GRAYED 0x00000001
#define MF_SEPARATOR 0x00000800
#define TPM_LEFTALIGN 0x0000
#define TPM_RIGHTBUTTON 0x0002
#define TPM_NONOTIFY 0x0080
#define TPM_RETURNCMD 0x0100

HMENU WINAPI CreatePopupMenu();
BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
BOOL WINAPI DestroyMenu(HMENU hMenu);
// The menu shows in the session until a driver picks an item or dismisses it (or a choice a
// driver made beforehand applies at once). Meanwhile the calling thread's messages are
// dispatched, as in Windows' modal menu loop. With TPM_RETURNCMD returns the item's id, 0
// when dismissed.
BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd, const RECT* prcRect);

// COM and OLE are not modelled: these succeed and do nothing.
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4
HRESULT WINAPI OleInitialize(LPVOID pvReserved);
void WINAPI OleUninitialize();
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void WINAPI CoUninitialize();

// Timer queues: the default queue only. Due times follow the session clock, so stepping the
// test clock fires them.
typedef VOID(CALLBACK* WAITORTIMERCALLBACK)(PVOID, BOOLEAN);
#define WT_EXECUTEDEFAULT 0x00000000
#define WT_EXECUTEONLYONCE 0x00000008
BOOL WINAPI CreateTimerQueueTimer(PHANDLE phNewTimer, HANDLE TimerQueue, WAITORTIMERCALLBACK Callback, PVOID Parameter,
                                  DWORD DueTime, DWORD Period, ULONG Flags);
