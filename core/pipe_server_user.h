// Whose program serves a local-socket name. The name is only a name: on Linux another user can
// bind it first in the shared socket folder, on Windows a pipe name is global to the machine.
// So a client of the agent (or of the settings window's own socket) asks who answered before
// it sends anything, and talks only to a server that runs as its own user.
#pragma once

#include <QtGlobal>

namespace vorna::core {

// What a client says, and the agent when it finds its name taken, when the server is not ours.
inline constexpr char kNameHeldByOtherUser[] = "another user's program holds the agent's name";

// True when the process serving the far end of a connected local socket runs as this
// process's user. `socketDescriptor` is what QLocalSocket::socketDescriptor gives: the pipe's
// handle on Windows, the socket's descriptor elsewhere. False too when the server cannot be
// identified (gone, or its process or token closed to us): an unknown server is not trusted.
bool servedByOwnUser(qintptr socketDescriptor);

} // namespace vorna::core
