// The clipboard of the session and the movable memory blocks that carry its data in and out of
// a process.
#include "platform/sim/session/desktop_client.h"
#include "platform/sim/win32/win32_api.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using vorna::sim::DesktopClient;
using vorna::sim::processSession;

struct Block {
    std::vector<std::uint8_t> bytes;
    int locks = 0;
};

struct Blocks {
    std::mutex mutex;
    std::map<HGLOBAL, std::unique_ptr<Block>> table;
    std::uintptr_t next = 0x7A0000;
    std::vector<HGLOBAL> lent; // GetClipboardData blocks, freed when the clipboard closes
};

Blocks& blocks()
{
    static auto* instance = new Blocks;
    return *instance;
}

Block* findLocked(HGLOBAL handle)
{
    const auto it = blocks().table.find(handle);
    return it == blocks().table.end() ? nullptr : it->second.get();
}

HGLOBAL allocate(std::vector<std::uint8_t> bytes)
{
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    const auto handle = reinterpret_cast<HGLOBAL>(b.next += 16);
    auto block = std::make_unique<Block>();
    block->bytes = std::move(bytes);
    b.table[handle] = std::move(block);
    return handle;
}

BOOL result(DWORD error)
{
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

DesktopClient desktop()
{
    return DesktopClient(processSession());
}

void freeLent()
{
    Blocks& b = blocks();
    std::lock_guard lock(b.mutex);
    for (HGLOBAL handle : b.lent)
        b.table.erase(handle);
    b.lent.clear();
}

} // namespace

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    if (dwBytes > (SIZE_T{1} << 31)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return allocate(std::vector<std::uint8_t>(dwBytes, 0));
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
    std::lock_guard lock(blocks().mutex);
    Block* block = findLocked(hMem);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++block->locks;
    // A block of size 0 still gives a usable (empty) address.
    return block->bytes.empty() ? static_cast<LPVOID>(block) : block->bytes.data();
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
    std::lock_guard lock(blocks().mutex);
    Block* block = findLocked(hMem);
    if (block == nullptr || block->locks == 0) {
        SetLastError(block == nullptr ? ERROR_INVALID_HANDLE : ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->locks > 0)
        return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem)
{
    std::lock_guard lock(blocks().mutex);
    const Block* block = findLocked(hMem);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->bytes.size();
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    std::lock_guard lock(blocks().mutex);
    if (blocks().table.erase(hMem) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    return nullptr;
}

BOOL WINAPI OpenClipboard(HWND hWndNewOwner)
{
    return result(desktop().openClipboard(hWndNewOwner));
}

BOOL WINAPI CloseClipboard()
{
    const DWORD error = desktop().closeClipboard();
    if (error == 0)
        freeLent();
    return result(error);
}

BOOL WINAPI EmptyClipboard()
{
    return result(desktop().emptyClipboard());
}

UINT WINAPI EnumClipboardFormats(UINT format)
{
    UINT next = 0;
    const DWORD error = desktop().nextClipboardFormat(format, next);
    SetLastError(error);
    return next;
}

HANDLE WINAPI GetClipboardData(UINT uFormat)
{
    std::vector<std::uint8_t> data;
    const DWORD error = desktop().getClipboardData(uFormat, data);
    if (error != 0) {
        SetLastError(error);
        return nullptr;
    }
    const HGLOBAL handle = allocate(std::move(data));
    std::lock_guard lock(blocks().mutex);
    blocks().lent.push_back(handle);
    return handle;
}

HANDLE WINAPI SetClipboardData(UINT uFormat, HANDLE hMem)
{
    std::vector<std::uint8_t> data;
    {
        std::lock_guard lock(blocks().mutex);
        const Block* block = findLocked(hMem);
        if (block == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        data = block->bytes;
    }
    const DWORD error = desktop().setClipboardData(uFormat, data);
    if (error != 0) {
        SetLastError(error);
        return nullptr;
    }
    GlobalFree(hMem); // the clipboard owns the data now
    return hMem;
}

DWORD WINAPI GetClipboardSequenceNumber()
{
    return desktop().clipboardSequence();
}

HWND WINAPI GetClipboardOwner()
{
    return desktop().clipboardOwner();
}

UINT WINAPI RegisterClipboardFormatW(LPCWSTR lpszFormat)
{
    const UINT atom = lpszFormat ? desktop().registerName(lpszFormat) : 0;
    if (atom == 0)
        SetLastError(ERROR_INVALID_PARAMETER);
    return atom;
}

int WINAPI GetClipboardFormatNameW(UINT format, LPWSTR lpszFormatName, int cchMaxCount)
{
    const std::wstring name = desktop().nameOf(format);
    if (name.empty() || lpszFormatName == nullptr || cchMaxCount < 1) {
        SetLastError(name.empty() ? ERROR_INVALID_PARAMETER : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::size_t count = std::min<std::size_t>(name.size(), static_cast<std::size_t>(cchMaxCount) - 1);
    std::memcpy(lpszFormatName, name.data(), count * sizeof(WCHAR));
    lpszFormatName[count] = 0;
    return static_cast<int>(count);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                               LPCCH, LPBOOL lpUsedDefaultChar)
{
    if (lpWideCharStr == nullptr || cbMultiByte < 0 || (CodePage != CP_ACP && CodePage != CP_OEMCP)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::size_t count = cchWideChar < 0 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
    if (cbMultiByte > 0 && static_cast<std::size_t>(cbMultiByte) < count) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    bool usedDefault = false;
    for (std::size_t i = 0; cbMultiByte > 0 && i < count; ++i) {
        const auto c = static_cast<std::uint32_t>(lpWideCharStr[i]);
        const bool fits = CodePage == CP_ACP ? (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) : c < 0x80;
        usedDefault = usedDefault || !fits;
        lpMultiByteStr[i] = fits ? static_cast<CHAR>(c) : '?';
    }
    if (lpUsedDefaultChar != nullptr)
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    return static_cast<int>(count);
}

LCID WINAPI GetThreadLocale()
{
    return 0x0409;
}
