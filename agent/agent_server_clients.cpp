// AgentServer: accepting clients, reading their request lines, writing lines to them, and
// cleaning up after one goes.
#include "agent/agent_server.h"

#include "agent/line_framing.h"
#include "core/agent_protocol.h"
#include "platform/win32.h"

#include <algorithm>

namespace vorna::ipc {

namespace {

// QLocalSocket's read side as the framing loop sees it.
struct SocketLines {
    QLocalSocket& socket;
    qint64 bytesAvailable() const { return socket.bytesAvailable(); }
    bool canReadLine() const { return socket.canReadLine(); }
    QByteArray readLine(qint64 max) { return socket.readLine(max); }
};

bool isObserving(const QLocalSocket* client)
{
    return client->property("observing").toBool();
}

} // namespace

void AgentServer::onNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (m_clients.size() >= kMaxClients || !sameSessionAsAgent(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(protocol::kReadBufferBytes);
        socket->setProperty("observing", false);
        m_clients.append(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { onClientDisconnected(socket); });
        writeLine(socket, stateObject());
    }
}

bool AgentServer::sameSessionAsAgent(QLocalSocket* socket) const
{
    ULONG clientSession = 0;
    DWORD agentSession = 0;
    const HANDLE pipe = reinterpret_cast<HANDLE>(socket->socketDescriptor());
    return GetNamedPipeClientSessionId(pipe, &clientSession) &&
           ProcessIdToSessionId(GetCurrentProcessId(), &agentSession) && clientSession == agentSession;
}

void AgentServer::onReadyRead(QLocalSocket* socket)
{
    if (socket->state() != QLocalSocket::ConnectedState)
        return; // closing after its error line: nothing more is read
    SocketLines lines{*socket};
    const ReadOutcome outcome = readRequestLines(lines, [this, socket](const QJsonObject& request) {
        handleCommand(socket, request);
        return socket->state() == QLocalSocket::ConnectedState;
    });
    switch (outcome.kind) {
    case ReadOutcome::Keep:
        break;
    case ReadOutcome::Abort:
        socket->flush(); // the replies to the lines handled still go out, as far as they fit
        socket->abort();
        break;
    case ReadOutcome::Reject:
        writeLine(socket, errorMessage(outcome.error));
        socket->disconnectFromServer();
        break;
    }
}

void AgentServer::writeLine(QLocalSocket* socket, const QJsonObject& message)
{
    writeEncoded(socket, encodeLine(message));
}

void AgentServer::writeEncoded(QLocalSocket* socket, const QByteArray& line)
{
    if (socket == nullptr || socket->state() != QLocalSocket::ConnectedState)
        return;
    if (socket->bytesToWrite() > kMaxQueuedOutputBytes) {
        socket->abort();
        return;
    }
    socket->write(line);
}

void AgentServer::writeToObservers(const QJsonObject& message)
{
    if (std::any_of(m_clients.cbegin(), m_clients.cend(), isObserving))
        writeEncodedToObservers(encodeLine(message));
}

void AgentServer::writeEncodedToObservers(const QByteArray& line)
{
    // A write may abort a client, which leaves the list at once: walk a copy and skip the gone.
    const QList<QLocalSocket*> clients = m_clients;
    for (QLocalSocket* client : clients) {
        if (m_clients.contains(client) && isObserving(client))
            writeEncoded(client, line);
    }
}

void AgentServer::recomputeObserving()
{
    m_observing = std::any_of(m_clients.cbegin(), m_clients.cend(), isObserving);
    m_backend.setObservation(m_observing);
}

bool AgentServer::captureRunning() const
{
    const windows::CaptureState capture = m_backend.captureState();
    return capture.state == 1 || capture.state == 2 || capture.keysDown;
}

void AgentServer::stopIdleBackend()
{
    if (!m_observing && !m_active && !m_configured && !captureRunning())
        m_backend.stop();
}

void AgentServer::onClientDisconnected(QLocalSocket* socket)
{
    if (!m_clients.contains(socket))
        return;
    if (m_captureOwner == socket) {
        m_backend.cancelCapture();
        m_captureOwner.clear();
    }
    m_clients.removeAll(socket);
    socket->deleteLater();
    recomputeObserving();
    stopIdleBackend();
}

} // namespace vorna::ipc
