// Win32 messages of a thread that runs a Qt event loop. On Windows Qt's event dispatcher
// retrieves them (and with them the WinEvent callbacks of out-of-context hooks). The simulated
// session's thread queues are not Qt's, so there a notifier on the calling thread's queue
// retrieves and dispatches them whenever something arrives.
#pragma once

class QObject;

namespace vorna::platform {

// The pump lives as a child of owner, on the calling thread; a second pump on the same thread
// finds nothing left to do, so owners need not know of each other.
void pumpWin32MessagesInQtLoop(QObject* owner);

} // namespace vorna::platform
