// Text actions in the agent: typed as Unicode key events in steps of at most 16 UTF-16 units
// every 20 ms, or pasted through the clipboard with left Ctrl + V. Every step first checks that
// the target still has the focus and that no modifier is down; every key that may be left down
// is recorded in the safety journal first, so the watchdog can release it if the agent dies.
#include "agent/actions/action_executor.h"

#include "agent/actions/action_executor_private.h"
#include "agent/actions/action_texts.h"
#include "agent/actions/text_transfer.h"
#include "engine/mapping/injection_marker.h"
#include "engine/safety/safety_journal.h"

#include <array>

namespace vorna::actions {
namespace {

constexpr int kModifierKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN};
constexpr WORD kPasteKey = 0x56; // V

bool isDown(int virtualKey)
{
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

bool modifiersHeld(bool paste)
{
    for (int key : kModifierKeys) {
        if (isDown(key))
            return true;
    }
    return paste && isDown(kPasteKey);
}

INPUT keyRecord(WORD virtualKey, WORD scan, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    input.ki.time = 0;
    input.ki.dwExtraInfo = static_cast<ULONG_PTR>(vorna::windows::kInjectionMarker);
    return input;
}

INPUT unicodeRecord(ushort unit, bool up)
{
    return keyRecord(0, unit, KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0));
}

UINT send(INPUT* inputs, UINT count)
{
    return SendInput(count, inputs, static_cast<int>(sizeof(INPUT)));
}

} // namespace

void ActionExecutor::startTextTransfer(const vorna::core::ParsedAction& action, const QJsonObject& base)
{
    d->m_target = GetForegroundWindow();
    d->m_paste = action.clipboard;
    d->m_text = d->m_paste ? action.value : toWindowsText(action.value);
    d->m_textEvent = base;
    d->m_position = 0;
    d->m_started = false;
    d->m_aborted = false;
    d->m_modifierWaitStart = GetTickCount64();
    d->m_stepTimer.start();
    if (modifiersHeld(d->m_paste))
        emitEvent(d->m_textEvent, kResultQueued, QString::fromUtf8(texts::kReleaseModifiers));
    stepTextTransfer();
}

void ActionExecutor::abortTextTransfer()
{
    d->m_aborted = true;
    d->m_stepTimer.stop();
    d->m_text.clear();
    emitEvent(d->m_textEvent, kResultCancelled, QString::fromUtf8(texts::kTargetChanged));
}

void ActionExecutor::stepTextTransfer()
{
    const ULONGLONG elapsed = GetTickCount64() - d->m_modifierWaitStart;
    const bool held = modifiersHeld(d->m_paste);
    if (GetForegroundWindow() != d->m_target || d->m_aborted || (d->m_started && held) ||
        (!d->m_started && elapsed > kModifierWaitMs)) {
        abortTextTransfer();
        return;
    }
    if (!d->m_started && held)
        return; // wait for the release, at most 2 s
    d->m_started = true;
    if (d->m_paste)
        pasteStep();
    else
        typingStep();
}

void ActionExecutor::typingStep()
{
    const int n = typingStepLength(d->m_text, d->m_position);
    if (n <= 0) {
        d->m_stepTimer.stop();
        d->m_text.clear();
        return;
    }
    vorna::windows::SafetyJournalView* journal = d->m_journal;
    std::array<INPUT, 2 * kUnitsPerStep> records{};
    for (int k = 0; k < n; ++k) {
        const ushort unit = d->m_text.at(d->m_position + k).unicode();
        records[2 * k] = unicodeRecord(unit, false);
        records[2 * k + 1] = unicodeRecord(unit, true);
        if (journal != nullptr)
            journal->exchangeUnicodeSlot(static_cast<std::uint32_t>(k), unit);
    }
    SetLastError(0);
    const UINT sent = send(records.data(), static_cast<UINT>(2 * n));
    const DWORD error = GetLastError();

    // An odd count means the down of unit sent/2 went out without its up.
    const int openUnit = (sent % 2 == 1) ? static_cast<int>(sent / 2) : -1;
    if (journal != nullptr) {
        for (int k = 0; k < n; ++k) {
            if (k != openUnit)
                journal->exchangeUnicodeSlot(static_cast<std::uint32_t>(k), 0);
        }
    }
    if (openUnit >= 0 && send(&records[sent], 1) == 1 && journal != nullptr)
        journal->exchangeUnicodeSlot(static_cast<std::uint32_t>(openUnit), 0);

    if (sent == static_cast<UINT>(2 * n)) {
        d->m_position += n;
        QJsonObject event = actionEvent(d->m_textEvent, kResultStepSent, QString::fromUtf8(texts::kUnicodeSent));
        event.insert(QStringLiteral("progress"), d->m_position);
        event.insert(QStringLiteral("total"), static_cast<qint64>(d->m_text.size()));
        if (d->m_position >= d->m_text.size()) {
            d->m_stepTimer.stop();
            d->m_text.clear();
        }
        emit result(event);
        return;
    }
    d->m_stepTimer.stop();
    d->m_text.clear();
    emitEvent(d->m_textEvent, kResultFailed, QString::fromUtf8(texts::kPartiallySent), error);
}

void ActionExecutor::pasteStep()
{
    d->m_stepTimer.stop();
    const QString pasteFailed = QString::fromUtf8(texts::kPasteFailed);
    if (isDown(kPasteKey)) {
        d->m_text.clear();
        emitEvent(d->m_textEvent, kResultFailed, pasteFailed);
        return;
    }
    if (!snapshotClipboard(d->m_text)) {
        finishPaste();
        d->m_text.clear();
        emitEvent(d->m_textEvent, kResultFailed, pasteFailed);
        return;
    }
    const quint32 generation = ++d->m_pasteGeneration;
    std::array<INPUT, 4> records = {keyRecord(VK_LCONTROL, 0, 0), keyRecord(kPasteKey, 0, 0),
                                    keyRecord(kPasteKey, 0, KEYEVENTF_KEYUP), keyRecord(VK_LCONTROL, 0, KEYEVENTF_KEYUP)};
    vorna::windows::SafetyJournalView* journal = d->m_journal;
    const auto mark = [journal](WORD key, std::uint32_t held) {
        if (journal != nullptr)
            journal->exchangeTextHeldKey(key, held);
    };
    mark(VK_LCONTROL, 1);
    mark(kPasteKey, 1);
    const UINT sent = send(records.data(), static_cast<UINT>(records.size()));
    switch (sent) {
    case 4:
        mark(VK_LCONTROL, 0);
        mark(kPasteKey, 0);
        QTimer::singleShot(kPasteRestoreMs, Qt::PreciseTimer, this, [this, generation] {
            if (d->m_pasteGeneration == generation)
                finishPaste();
        });
        d->m_text.clear();
        d->m_pendingPaste = d->m_textEvent;
        {
            QJsonObject event = actionEvent(d->m_textEvent, kResultStepSent, QString::fromUtf8(texts::kPasteSubmitted));
            event.insert(QStringLiteral("final"), false);
            emit result(event);
        }
        return;
    case 2: // both keys down, neither up
        if (send(&records[2], 1) == 1)
            mark(kPasteKey, 0);
        if (send(&records[3], 1) == 1)
            mark(VK_LCONTROL, 0);
        break;
    case 1:
    case 3:
        mark(kPasteKey, 0);
        if (send(&records[3], 1) == 1)
            mark(VK_LCONTROL, 0);
        break;
    default:
        mark(VK_LCONTROL, 0);
        mark(kPasteKey, 0);
        break;
    }
    finishPaste();
    d->m_text.clear();
    emitEvent(d->m_textEvent, kResultFailed, pasteFailed);
}

void ActionExecutor::releaseHeldUnicode()
{
    vorna::windows::SafetyJournalView* journal = d->m_journal;
    if (journal == nullptr)
        return;
    for (std::uint32_t slot = 0; slot < vorna::windows::kSafetyJournalUnicodeSlots; ++slot) {
        const std::uint32_t unit = journal->unicodeSlot(slot);
        if (unit == 0)
            continue;
        INPUT up = unicodeRecord(static_cast<ushort>(unit), true);
        if (send(&up, 1) == 1)
            journal->exchangeUnicodeSlot(slot, 0);
    }
}

} // namespace vorna::actions
