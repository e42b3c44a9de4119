#pragma once

// The settings window's own local socket ("-ui"): a second start hands over to the running
// window with "show", and the control tool's shutdown-all sends "quit". One short line per
// client; anything longer, or a client that says nothing for 2 s, is dropped.

#include <QString>

class QLocalServer;
class QLocalSocket;
class QWindow;

namespace app {

// Room for "show" or "quit" with any white space around them; 65 bytes that hold no line end
// are more than any client of ours sends.
inline constexpr qint64 kUiReadBuffer = 65;
inline constexpr int kUiClientLifetimeMs = 2000;
inline constexpr int kUiConnectMs = 100;

// The agent's pipe name followed by "-ui".
QString uiSocketName();

// Second start: connects to a running window within 100 ms and sends "show\n". True when a
// window of this user answered (the caller then ends with 0); another user's program on the
// name is sent nothing.
bool handOverToRunningWindow(const QString& name);

// Listens on `name`, private to this user. Only called after nothing answered on the name: a
// leftover socket file of a dead window is removed first (Qt 6.4 would otherwise replace even a
// live socket on Linux when the access option is set).
bool listenUiServer(QLocalServer& server, const QString& name);

// Slots of the server and of one client.
void onUiServerConnection(QLocalServer* server, QWindow* window);
void onShowRequest(QLocalSocket* socket, QWindow* window);
void dropUiClient(QLocalSocket* socket);

} // namespace app
