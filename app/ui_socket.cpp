#include "app/ui_socket.h"

#include "core/agent_pipe_name.h"
#include "core/pipe_server_user.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace app {

QString uiSocketName()
{
    return vorna::core::agentPipeName() + QStringLiteral("-ui");
}

bool handOverToRunningWindow(const QString& name)
{
    QLocalSocket client;
    client.connectToServer(name, QIODevice::ReadWrite);
    if (!client.waitForConnected(kUiConnectMs) || !vorna::core::servedByOwnUser(client.socketDescriptor())) {
        client.abort();
        return false;
    }
    client.write("show\n");
    client.waitForBytesWritten(kUiConnectMs);
    return true;
}

bool listenUiServer(QLocalServer& server, const QString& name)
{
    QLocalServer::removeServer(name);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    return server.listen(name);
}

void dropUiClient(QLocalSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

void onShowRequest(QLocalSocket* socket, QWindow* window)
{
    if (socket->bytesAvailable() > kUiReadBuffer - 1) {
        socket->abort();
        return;
    }
    if (!socket->canReadLine())
        return;
    const QByteArray line = socket->readLine(kUiReadBuffer).trimmed();
    socket->disconnectFromServer();
    if (line == "show") {
        if (window != nullptr) {
            window->showNormal();
            window->raise();
            window->requestActivate();
        }
    } else if (line == "quit") {
        QCoreApplication::quit();
    }
}

void onUiServerConnection(QLocalServer* server, QWindow* window)
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        socket->setReadBufferSize(kUiReadBuffer);
        const QPointer<QWindow> target(window);
        QObject::connect(socket, &QLocalSocket::readyRead, window != nullptr ? static_cast<QObject*>(window) : socket,
            [socket, target] { onShowRequest(socket, target.data()); });
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kUiClientLifetimeMs, Qt::CoarseTimer, socket, [socket] { dropUiClient(socket); });
        onShowRequest(socket, window);
    }
}

} // namespace app
