// The event builder of custom-action events and the other decisions of the executor that need
// no process, window or timer: they take the facts and return the outcome.
#pragma once

#include "core/agent_protocol.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace vorna::actions {

// "result" of an ActionResultEvent: kResultFailed (failed or refused), kResultCancelled (window
// changed, transfer aborted or cancelled), kResultCompleted (saved clipboard put back, or dropped
// because it had changed), kResultQueued (the user must release modifier keys), kResultAccepted
// (the worker reports success), kResultStepSent (typing progress, paste shortcut submitted).
using enum protocol::ResultCode;

// The base event plus "kind" kRecordAction, "result", "detail" and "error".
QJsonObject actionEvent(QJsonObject base, int result, const QString& detail = QString(), qint64 error = 0);

// The type names, indexed by the action's type.
QString actionTypeName(quint32 type);

// A window handle given as unsigned decimal text; 0 when the text is anything else.
quint64 parseWindowText(const QString& text);

// What a finished worker reports: result 10 only for exit code 0, a normal exit and a reply
// whose "ok" is true; the reply is read from the first 8192 bytes of its output.
struct WorkerOutcome {
    int result = kResultFailed;
    QString detail;
    qint64 error = 0;
};
inline constexpr int kWorkerOutputLimit = 8192;
WorkerOutcome judgeWorker(int exitCode, bool normalExit, const QByteArray& output);

// The fixed (not sliding) window of external starts: at most 4 starts per 1000 ms window and
// 4 workers at once. The window restarts with the first request that arrives after it ran out.
struct StartWindow {
    quint64 startMs = 0;
    int starts = 0;
};
inline constexpr int kMaxExternalStarts = 4;
inline constexpr quint64 kStartWindowMs = 1000;
// True (and the start counted) when a worker may start now.
bool admitExternalStart(StartWindow& window, quint64 nowMs, int running);

} // namespace vorna::actions
