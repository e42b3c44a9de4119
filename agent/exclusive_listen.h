// Listening on a local-socket name that may be left over from a process that died. On Linux
// the name is a socket file that outlives its owner, and a listen with access options would
// silently replace a live owner's file; on Windows a pipe name can have several servers. So
// the name is probed by connecting first: an answer means a live owner keeps it; only when
// nothing answers is a stale name removed and taken. An answer from another user's program is
// told apart from our own agent's, so the error says who holds the name.
#pragma once

#include <QLocalServer>
#include <QString>

namespace vorna::ipc {

// Listens on `name`; false with `error` set when a live server holds it or listening fails.
bool listenExclusively(QLocalServer& server, const QString& name, QString& error);

} // namespace vorna::ipc
