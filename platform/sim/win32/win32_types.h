// Win32 base types with the sizes they have on x86-64 Windows (LLP64): DWORD and LONG are
// 32 bits here although unsigned long is 64 bits on Linux. WCHAR stays wchar_t (4 bytes here),
// so structures holding WCHAR arrays cannot share the Windows layout; none of ours do.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define VOID void

typedef int BOOL;
typedef BOOL* PBOOL;
typedef std::uint8_t BYTE;
typedef BYTE* LPBYTE;
typedef std::uint8_t BOOLEAN;
typedef char CHAR;
typedef std::int16_t SHORT;
typedef std::uint16_t USHORT;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef std::uint32_t UINT;
typedef std::int32_t INT;
typedef std::int64_t LONGLONG;
typedef std::uint64_t ULONGLONG;
typedef std::uint64_t DWORD64;
typedef std::uintptr_t ULONG_PTR;
typedef std::intptr_t LONG_PTR;
typedef std::uintptr_t UINT_PTR;
typedef std::intptr_t INT_PTR;
typedef ULONG_PTR SIZE_T;
typedef ULONG_PTR DWORD_PTR;
typedef wchar_t WCHAR;
typedef WCHAR* LPWSTR;
typedef WCHAR* PWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* PCWSTR;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef void* LPVOID;
typedef void* PVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef UINT* PUINT;
typedef ULONG* PULONG;
typedef LONG* PLONG;
typedef LONG HRESULT;
typedef WORD ATOM;

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

// Handles are distinct pointer types, as with STRICT on Windows.
#define VORNA_DECLARE_HANDLE(name) \
    struct name##__ {              \
        int unused;                \
    };                             \
    typedef struct name##__* name
typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef HANDLE* LPHANDLE;
typedef HANDLE HLOCAL;
VORNA_DECLARE_HANDLE(HWND);
VORNA_DECLARE_HANDLE(HHOOK);
VORNA_DECLARE_HANDLE(HINSTANCE);
VORNA_DECLARE_HANDLE(HMONITOR);
VORNA_DECLARE_HANDLE(HMENU);
VORNA_DECLARE_HANDLE(HICON);
VORNA_DECLARE_HANDLE(HBRUSH);
VORNA_DECLARE_HANDLE(DPI_AWARENESS_CONTEXT);
VORNA_DECLARE_HANDLE(HKL);
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;

#ifndef TRUE
#  define TRUE 1
#endif
#ifndef FALSE
#  define FALSE 0
#endif

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))

#define S_OK ((HRESULT)0L)
#define S_FALSE ((HRESULT)1L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *PRECT, *LPRECT;
typedef const RECT* LPCRECT;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
} GUID;
typedef GUID* LPGUID;
typedef const GUID& REFGUID;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define MAX_PATH 260

static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(ULONG_PTR) == 8,
              "Win32 stand-in types must have their x86-64 Windows sizes");
static_assert(sizeof(POINT) == 8 && sizeof(RECT) == 16 && sizeof(LARGE_INTEGER) == 8);
static_assert(sizeof(GUID) == 16 && sizeof(FILETIME) == 8 && alignof(FILETIME) == 4);
static_assert(sizeof(SECURITY_ATTRIBUTES) == 24);
