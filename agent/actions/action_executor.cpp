// The executor's life, its entry points and the checks every action passes first.
#include "agent/actions/action_executor.h"

#include "agent/actions/action_executor_private.h"
#include "agent/actions/action_texts.h"

namespace vorna::actions {

ActionExecutor::ActionExecutor(QObject* parent) : QObject(parent), d(new ActionExecutorPrivate(this))
{
    d->m_rateWindow.startMs = GetTickCount64();
    d->m_stepTimer.setInterval(kStepMs);
    connect(&d->m_stepTimer, &QTimer::timeout, this, &ActionExecutor::stepTextTransfer);
    d->m_oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    // A message-only window that owns the clipboard while a paste runs; never shown.
    d->m_clipboardOwner = CreateWindowExW(0, L"STATIC", L"Vorna Text Transfer", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          GetModuleHandleW(nullptr), nullptr);
    d->m_restoreTimer.setInterval(kRestoreRetryMs);
    connect(&d->m_restoreTimer, &QTimer::timeout, this, &ActionExecutor::finishPaste);
}

ActionExecutor::~ActionExecutor()
{
    finishText(true);
    if (d->m_clipboardOwner != nullptr)
        DestroyWindow(d->m_clipboardOwner);
    if (d->m_oleInitialized)
        OleUninitialize();
    freeSnapshot();
    delete d;
}

void ActionExecutor::setSafetyJournal(vorna::windows::SafetyJournalView* journal)
{
    d->m_journal = journal;
}

void ActionExecutor::emitEvent(const QJsonObject& base, int result, const QString& detail, qint64 error)
{
    emit this->result(actionEvent(base, result, detail, error));
}

void ActionExecutor::execute(const vorna::core::ParsedAction& action, const QJsonObject& trigger)
{
    if (trigger.value(QStringLiteral("phase")).toInt(0) != 0)
        return;
    QJsonObject base = trigger;
    base.insert(QStringLiteral("actionName"), action.name);

    const quint64 window = parseWindowText(trigger.value(QStringLiteral("window")).toString());
    if (window == 0 || window != reinterpret_cast<quint64>(GetForegroundWindow())) {
        emitEvent(base, kResultCancelled, QString::fromUtf8(texts::kWindowChanged));
        return;
    }

    if (action.type == static_cast<quint32>(vorna::core::ActionType::Text)) {
        if (d->m_stepTimer.isActive() || d->m_snapshotHeld) {
            emitEvent(base, kResultFailed, QString::fromUtf8(texts::kTextBusy));
            return;
        }
        if (GetForegroundWindow() == nullptr) {
            emitEvent(base, kResultFailed, QString::fromUtf8(texts::kNoTargetWindow));
            return;
        }
        startTextTransfer(action, base);
        return;
    }

    if (!admitExternalStart(d->m_rateWindow, GetTickCount64(), static_cast<int>(d->m_workers.size()))) {
        emitEvent(base, kResultFailed, QString::fromUtf8(texts::kRateLimit));
        return;
    }
    launchWorker(action, trigger, base);
}

void ActionExecutor::finishText(bool stopWorkers)
{
    if (d->m_stepTimer.isActive()) {
        d->m_stepTimer.stop();
        d->m_text.clear();
        emitEvent(d->m_textEvent, kResultCancelled);
    }
    if (stopWorkers) {
        const QList<QProcess*> workers = d->m_workers;
        d->m_workers.clear();
        for (QProcess* process : workers) {
            disconnect(process, nullptr, this, nullptr);
            process->kill();
            process->waitForFinished(kStopWaitMs);
            process->deleteLater();
        }
    }
    if (!d->m_pendingPaste.isEmpty()) {
        const QJsonObject pending = d->m_pendingPaste;
        d->m_pendingPaste = QJsonObject();
        emitEvent(pending, kResultCancelled);
    }
    releaseHeldUnicode();
    finishPaste();
}

void ActionExecutor::cancelOperation(const QString& operation)
{
    if (operation.isEmpty())
        return;
    if (d->m_textEvent.value(QStringLiteral("operation")).toVariant().toString() == operation)
        finishText(false);
    const QList<QProcess*> workers = d->m_workers;
    for (QProcess* process : workers) {
        if (process->property("operation").toString() == operation)
            process->kill();
    }
}

} // namespace vorna::actions
