// The --action-worker role: one external action per process. It reads one request from
// standard input, carries it out, writes one reply to standard output and ends; a timer ends
// it from inside after 6 s whatever it is doing.
#pragma once

#include "platform/win32.h"

#include <QByteArray>
#include <QJsonObject>

namespace vorna::actions {

// Requests above this size are refused; the reader stops one byte after it.
inline constexpr qsizetype kWorkerRequestLimit = 524288;
inline constexpr DWORD kWorkerLifetimeMs = 6000;
inline constexpr int kWorkerTimeoutExitCode = 3;

// Exit code: 0 "ok" true, 2 otherwise; 3 when the self-termination fired.
int runActionWorker();
// The timer-queue callback that ends the process with exit code 3.
VOID CALLBACK actionWorkerTimeout(PVOID parameter, BOOLEAN fired);

// The reply to one request ("ok", "detail", "error"); oversized when more than the limit came.
QJsonObject performWorkerRequest(const QByteArray& input, bool oversized);

} // namespace vorna::actions
