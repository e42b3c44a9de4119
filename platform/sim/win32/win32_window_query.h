// What one program may learn about the top-level windows of others: the list in Z order, the
// root of a window, its visibility, title and class, the window at a screen point, and the
// foreground-change events of SetWinEventHook.
#pragma once

#include "platform/sim/win32/win32_types.h"

VORNA_DECLARE_HANDLE(HWINEVENTHOOK);

typedef BOOL(CALLBACK* WNDENUMPROC)(HWND, LPARAM);
typedef void(CALLBACK* WINEVENTPROC)(HWINEVENTHOOK hWinEventHook, DWORD event, HWND hwnd, LONG idObject, LONG idChild,
                                     DWORD idEventThread, DWORD dwmsEventTime);

#define GA_PARENT 1
#define GA_ROOT 2
#define GA_ROOTOWNER 3

#define EVENT_SYSTEM_FOREGROUND 0x0003
#define WINEVENT_OUTOFCONTEXT 0x0000
#define WINEVENT_SKIPOWNTHREAD 0x0001
#define WINEVENT_SKIPOWNPROCESS 0x0002
#define WINEVENT_INCONTEXT 0x0004
#define OBJID_WINDOW ((LONG)0x00000000)
#define CHILDID_SELF 0

// Top-level windows from the top of the Z order down; message-only windows are not listed.
BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam);
HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags);
BOOL WINAPI IsWindowVisible(HWND hWnd);
int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);
// The topmost visible top-level window whose rectangle holds the point (right and bottom
// exclusive); child windows are not hit-tested, so their top-level window answers for them.
HWND WINAPI WindowFromPhysicalPoint(POINT Point);
// Out of context only: the callback runs on the installing thread while it retrieves messages
// (PeekMessageW, GetMessageW), as Windows delivers such events. Only EVENT_SYSTEM_FOREGROUND is
// ever raised, by a change of the foreground window.
HWINEVENTHOOK WINAPI SetWinEventHook(DWORD eventMin, DWORD eventMax, HMODULE hmodWinEventProc, WINEVENTPROC pfnWinEventProc,
                                     DWORD idProcess, DWORD idThread, DWORD dwFlags);
BOOL WINAPI UnhookWinEvent(HWINEVENTHOOK hWinEventHook);
