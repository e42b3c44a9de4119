// Runs the custom actions the agent's rules and macros fire: text in this process (typed or
// pasted, in small steps on the main thread), everything else in a short-lived worker process
// of the same executable, with a time limit and a rate limit. Every outcome, refusal and
// progress step leaves through `result`.
#pragma once

#include "core/custom_action.h"

#include <QJsonObject>
#include <QObject>
#include <QProcess>

namespace vorna::windows {
struct SafetyJournalView;
}

namespace vorna::actions {

struct ActionExecutorPrivate;

class ActionExecutor : public QObject {
    Q_OBJECT

public:
    explicit ActionExecutor(QObject* parent = nullptr);
    ~ActionExecutor() override;

    // The journal where the text transfer records keys it may leave down; null for none.
    void setSafetyJournal(vorna::windows::SafetyJournalView* journal);
    // Runs the action for a trigger of the agent's tick (keys "phase", "window", "operation"
    // and the rest, copied into every event).
    void execute(const vorna::core::ParsedAction& action, const QJsonObject& trigger);
    // Ends a text transfer or a pending paste (reported as cancelled); with stopWorkers also
    // kills running workers, which then report nothing.
    void finishText(bool stopWorkers);
    // Ends the text action or kills the workers started for this operation.
    void cancelOperation(const QString& operation);

signals:
    void result(QJsonObject event);

private:
    friend struct ActionExecutorPrivate;

    // Workers.
    void launchWorker(const vorna::core::ParsedAction& action, const QJsonObject& trigger, const QJsonObject& base);
    void onWorkerFinished(QProcess* process, const QJsonObject& base, int exitCode, QProcess::ExitStatus status);
    void onWorkerError(QProcess* process, const QJsonObject& base, QProcess::ProcessError error);

    // Text transfer.
    void startTextTransfer(const vorna::core::ParsedAction& action, const QJsonObject& base);
    void stepTextTransfer();
    void abortTextTransfer();
    void typingStep();
    void pasteStep();
    void releaseHeldUnicode();

    // Clipboard.
    bool snapshotClipboard(const QString& text);
    // True when the restore is done (or the clipboard changed hands); false to retry later.
    bool restoreClipboard();
    void finishPaste();
    void freeSnapshot();

    void emitEvent(const QJsonObject& base, int result, const QString& detail = QString(), qint64 error = 0);

    ActionExecutorPrivate* d;
};

} // namespace vorna::actions
