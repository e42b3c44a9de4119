// The agent pipe's framing: one compact JSON object per line in both directions, and the limits
// that keep one client's garbage, flood or stall from costing the agent or the other clients.
// The read loop is written over any line source, so it is tested without sockets.
#pragma once

#include "core/agent_protocol.h"
#include "core/request_check.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <algorithm>

namespace vorna::ipc {

inline constexpr int kMaxClients = 4;
inline constexpr int kLinesPerRead = 8;
inline constexpr qint64 kMaxQueuedOutputBytes = 1048576;

// The object as one line: compact JSON and a single "\n".
QByteArray encodeLine(const QJsonObject& message);
// The one line a client gets before a bad request line ends its connection.
QJsonObject errorMessage(const QString& text);

// What the read loop asks of the caller when it stops.
struct ReadOutcome {
    enum Kind { Keep, Abort, Reject };
    Kind kind = Keep;
    QString error; // Reject: the request check's message
};

// One delivery's worth of request lines. `source` offers bytesAvailable(), canReadLine() and
// readLine(qint64 max); `dispatch(request)` runs one checked request and returns false when
// the client is gone meanwhile. Stops at the first line that fails the check (Reject, the
// remaining lines dropped), aborts a client with more than protocol::kMaxLineBytes unread or with a
// ninth complete line waiting; an incomplete line stays buffered.
template <typename Source, typename Dispatch>
ReadOutcome readRequestLines(Source& source, Dispatch&& dispatch)
{
    // More unread bytes than the longest line abort the client before anything is parsed.
    if (source.bytesAvailable() > protocol::kMaxLineBytes)
        return {ReadOutcome::Abort, {}};
    for (int handled = 0; handled < kLinesPerRead; ++handled) {
        if (!source.canReadLine())
            return {};
        // A socket's readLine(n) allocates n bytes before it reads: room for what is buffered
        // (the line is complete in it), not for the longest line allowed.
        const QByteArray line = source.readLine(std::min(source.bytesAvailable() + 1, protocol::kReadBufferBytes));
        QJsonObject request;
        QString error;
        if (!core::validateRequest(line, request, error))
            return {ReadOutcome::Reject, error};
        if (!dispatch(request))
            return {};
    }
    if (source.canReadLine())
        return {ReadOutcome::Abort, {}};
    return {};
}

} // namespace vorna::ipc
