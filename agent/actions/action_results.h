// Result codes of custom-action events, the event builder and the other decisions of the
// executor that need no process, window or timer: they take the facts and return the outcome.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace vorna::actions {

// "result" of an ActionResultEvent.
enum ActionResult : int {
    kResultFailed = 3,        // failed or refused
    kResultWindowChanged = 6, // window changed, transfer aborted or cancelled
    kResultPasteFinished = 7, // saved clipboard put back, or dropped because it had changed
    kResultWaiting = 9,       // the user must release modifier keys
    kResultWorkerOk = 10,     // the worker reports success
    kResultStepSent = 11,     // typing progress, paste shortcut submitted
};

// The base event plus "kind" 4, "result", "detail" and "error".
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
