// The user's clipboard during a paste: saved (within limits on formats and size), replaced by
// the text marked as excluded from history, cloud and monitors, and put back 400 ms later —
// unless another program wrote the clipboard meanwhile, whose content then stays.
#include "agent/actions/action_executor.h"

#include "agent/actions/action_executor_private.h"
#include "agent/actions/action_texts.h"

#include <QStringList>
#include <cstring>
#include <string>

namespace vorna::actions {
namespace {

constexpr UINT kSavedStandardFormats[] = {CF_TEXT, CF_OEMTEXT, CF_DIB, CF_UNICODETEXT, CF_HDROP, CF_LOCALE, CF_DIBV5};
const char* const kSavedRegisteredNames[] = {"HTML Format", "Rich Text Format", "ExcludeClipboardContentFromMonitorProcessing",
                                             "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"};
// Registered with a 4-byte zero, they keep the pasted text out of history, cloud and monitors.
const wchar_t* const kPrivacyFormats[] = {L"ExcludeClipboardContentFromMonitorProcessing", L"CanIncludeInClipboardHistory",
                                          L"CanUploadToCloudClipboard"};

bool savedFormat(UINT format)
{
    if (format >= 0xC000) {
        WCHAR name[128] = {};
        const int length = GetClipboardFormatNameW(format, name, 128);
        if (length <= 0)
            return false;
        const QString text = QString::fromWCharArray(name, length);
        for (const char* saved : kSavedRegisteredNames) {
            if (text == QLatin1String(saved))
                return true;
        }
        return false;
    }
    for (UINT saved : kSavedStandardFormats) {
        if (format == saved)
            return true;
    }
    return false;
}

HGLOBAL blockOf(const void* bytes, SIZE_T size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block == nullptr)
        return nullptr;
    void* target = GlobalLock(block);
    if (target == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(block);
    return block;
}

// A movable copy of a clipboard block; null when it cannot be read.
HGLOBAL copyOf(HANDLE data, SIZE_T size)
{
    const void* source = GlobalLock(data);
    if (source == nullptr)
        return nullptr;
    HGLOBAL copy = blockOf(source, size);
    GlobalUnlock(data);
    return copy;
}

HGLOBAL codePageBlock(UINT codePage, const std::wstring& wide)
{
    const int size = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return nullptr;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, 0, wide.c_str(), -1, bytes.data(), size, nullptr, nullptr) != size)
        return nullptr;
    return blockOf(bytes.data(), bytes.size());
}

struct PreparedBlock {
    UINT format;
    HGLOBAL data;
};

} // namespace

void ActionExecutor::freeSnapshot()
{
    for (ClipboardSnapshotEntry& entry : d->m_snapshot) {
        if (entry.data != nullptr)
            GlobalFree(entry.data);
    }
    d->m_snapshot.clear();
}

bool ActionExecutor::snapshotClipboard(const QString& text)
{
    if (d->m_clipboardOwner == nullptr || d->m_snapshotHeld)
        return false;
    if (!OpenClipboard(d->m_clipboardOwner))
        return false;
    freeSnapshot();
    d->m_snapshotSequence = 0;
    d->m_snapshotHeld = false;
    d->m_clipboardEmptied = false;

    std::vector<PreparedBlock> prepared;
    const auto giveUp = [&] {
        for (PreparedBlock& block : prepared)
            GlobalFree(block.data);
        freeSnapshot();
        CloseClipboard();
        return false;
    };

    // Save what the clipboard holds, within 32 formats and 4 MiB.
    SIZE_T total = 0;
    UINT format = 0;
    for (;;) {
        SetLastError(0);
        format = EnumClipboardFormats(format);
        if (format == 0)
            break;
        if (d->m_snapshot.size() >= kMaxSnapshotFormats || !savedFormat(format))
            return giveUp();
        HANDLE data = GetClipboardData(format);
        const SIZE_T size = data != nullptr ? GlobalSize(data) : 0;
        if (size < 1 || size > kMaxSnapshotBytes || total + size > kMaxSnapshotBytes)
            return giveUp();
        HGLOBAL copy = copyOf(data, size);
        if (copy == nullptr)
            return giveUp();
        total += size;
        d->m_snapshot.push_back({format, copy});
    }
    if (GetLastError() != 0)
        return giveUp();

    // The new content: the text in three encodings, the locale and the privacy marks.
    const std::u16string utf16 = text.toStdU16String() + u'\0';
    const std::wstring wide = text.toStdWString();
    const LCID locale = GetThreadLocale();
    const DWORD zero = 0;
    const std::pair<UINT, HGLOBAL> blocks[] = {
        {CF_UNICODETEXT, blockOf(utf16.data(), utf16.size() * sizeof(char16_t))},
        {CF_TEXT, codePageBlock(CP_ACP, wide)},
        {CF_OEMTEXT, codePageBlock(CP_OEMCP, wide)},
        {CF_LOCALE, blockOf(&locale, sizeof locale)},
    };
    bool complete = true;
    for (const auto& [blockFormat, block] : blocks) {
        if (block != nullptr)
            prepared.push_back({blockFormat, block});
        complete = complete && block != nullptr;
    }
    for (const wchar_t* name : kPrivacyFormats) {
        const UINT registered = RegisterClipboardFormatW(name);
        HGLOBAL block = registered != 0 ? blockOf(&zero, sizeof zero) : nullptr;
        if (block != nullptr)
            prepared.push_back({registered, block});
        complete = complete && block != nullptr;
    }
    if (!complete || !EmptyClipboard())
        return giveUp();

    d->m_snapshotHeld = true;
    bool allAccepted = true;
    for (PreparedBlock& block : prepared) {
        if (SetClipboardData(block.format, block.data) != nullptr)
            block.data = nullptr; // the clipboard's now
        else
            allAccepted = false;
    }
    for (PreparedBlock& block : prepared) {
        if (block.data != nullptr)
            GlobalFree(block.data);
    }
    if (allAccepted) {
        d->m_snapshotSequence = GetClipboardSequenceNumber();
        CloseClipboard();
        return true;
    }

    // Part of the text went on: put the user's formats back at once, then try once more the
    // way the restore does, and fail; the paste's finish retries from there.
    d->m_clipboardEmptied = EmptyClipboard() != FALSE;
    if (d->m_clipboardEmptied) {
        for (ClipboardSnapshotEntry& entry : d->m_snapshot) {
            if (entry.data != nullptr && SetClipboardData(entry.format, entry.data) != nullptr)
                entry.data = nullptr;
        }
    }
    d->m_snapshotSequence = GetClipboardSequenceNumber();
    CloseClipboard();
    restoreClipboard();
    d->m_restoreTimer.stop();
    return false;
}

bool ActionExecutor::restoreClipboard()
{
    if (!OpenClipboard(d->m_clipboardOwner)) {
        d->m_restoreTimer.start();
        return false;
    }
    if (GetClipboardSequenceNumber() != d->m_snapshotSequence) {
        // Someone else wrote the clipboard since our last write: their content stays.
        CloseClipboard();
        freeSnapshot();
        d->m_snapshotSequence = 0;
        d->m_snapshotHeld = false;
        d->m_clipboardEmptied = false;
        return true;
    }
    if (!d->m_clipboardEmptied) {
        if (!EmptyClipboard()) {
            CloseClipboard();
            d->m_restoreTimer.start();
            return false;
        }
        d->m_clipboardEmptied = true;
    }
    bool refused = false;
    for (ClipboardSnapshotEntry& entry : d->m_snapshot) {
        if (entry.data == nullptr)
            continue;
        if (SetClipboardData(entry.format, entry.data) != nullptr)
            entry.data = nullptr;
        else
            refused = true;
    }
    d->m_snapshotSequence = GetClipboardSequenceNumber();
    CloseClipboard();
    if (refused) {
        d->m_restoreTimer.start();
        return false;
    }
    freeSnapshot();
    d->m_snapshotSequence = 0;
    d->m_snapshotHeld = false;
    d->m_clipboardEmptied = false;
    return true;
}

void ActionExecutor::finishPaste()
{
    if (d->m_snapshotHeld && !restoreClipboard())
        return;
    d->m_restoreTimer.stop();
    if (!d->m_pendingPaste.isEmpty()) {
        const QJsonObject pending = d->m_pendingPaste;
        d->m_pendingPaste = QJsonObject();
        emitEvent(pending, kResultCompleted, QString::fromUtf8(texts::kPasteCompleted));
    }
}

} // namespace vorna::actions
