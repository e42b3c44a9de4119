// Window messages of a thread that runs a Qt event loop. On Windows Qt's own loop dispatches
// them. In the simulated session the thread's queue is the simulation's, so the loop needs a
// descriptor to watch and a call that dispatches what waits.
#pragma once

namespace vorna::platform {

#ifdef _WIN32
inline int threadMessageDescriptor()
{
    return -1; // nothing to watch: the event loop dispatches window messages itself
}
inline void pumpThreadMessages() {}
#else
// Readable when messages (or hook calls) may wait for the calling thread; creates its queue.
int threadMessageDescriptor();
// Dispatches every message waiting for the calling thread.
void pumpThreadMessages();
#endif

} // namespace vorna::platform
