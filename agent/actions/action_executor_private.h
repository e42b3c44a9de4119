// The executor's state, in one record behind its pointer.
#pragma once

#include "agent/actions/action_executor.h"
#include "agent/actions/action_results.h"
#include "platform/win32.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <vector>

namespace vorna::actions {

// One saved clipboard format: a private copy that the clipboard takes back on restore.
struct ClipboardSnapshotEntry {
    UINT format = 0;
    HGLOBAL data = nullptr; // null once the clipboard owns it again
};

inline constexpr int kMaxSnapshotFormats = 32;
inline constexpr SIZE_T kMaxSnapshotBytes = 4u * 1024 * 1024;
inline constexpr int kWorkerKillMs = 5000;
inline constexpr int kStopWaitMs = 500;
inline constexpr int kPasteRestoreMs = 400;
inline constexpr int kRestoreRetryMs = 50;
inline constexpr int kStepMs = 20;
inline constexpr ULONGLONG kModifierWaitMs = 1999; // aborted at the first step after this

struct ActionExecutorPrivate {
    explicit ActionExecutorPrivate(ActionExecutor* owner) : m_owner(owner) {}

    ActionExecutor* m_owner;
    QTimer m_stepTimer;
    // Rate window and modifier wait run on the system tick (GetTickCount64), which tests step.
    StartWindow m_rateWindow;
    QList<QProcess*> m_workers;
    QString m_text;
    QJsonObject m_textEvent;
    QJsonObject m_pendingPaste;
    int m_position = 0;
    ULONGLONG m_modifierWaitStart = 0;
    bool m_started = false;
    bool m_aborted = false;
    bool m_paste = false;
    HWND m_target = nullptr;
    HWND m_clipboardOwner = nullptr;
    std::vector<ClipboardSnapshotEntry> m_snapshot;
    DWORD m_snapshotSequence = 0;
    bool m_snapshotHeld = false;
    bool m_clipboardEmptied = false;
    QTimer m_restoreTimer;
    quint32 m_pasteGeneration = 0;
    vorna::windows::SafetyJournalView* m_journal = nullptr;
    bool m_oleInitialized = false;
};

} // namespace vorna::actions
