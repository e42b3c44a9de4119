#include "agent/exclusive_listen.h"

#include "core/pipe_server_user.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>

namespace vorna::ipc {

namespace {

constexpr int kProbeMs = 500;
constexpr int kLockWaitMs = 5000;

enum class Holder { Nobody, OwnProgram, OtherUser };

// Who answers on the name, if anyone: a live program of this user (an agent already running),
// or another user's program that took the name first.
Holder whoAnswers(const QString& name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    Holder holder = Holder::Nobody;
    if (probe.waitForConnected(kProbeMs))
        holder = core::servedByOwnUser(probe.socketDescriptor()) ? Holder::OwnProgram : Holder::OtherUser;
    probe.abort();
    return holder;
}

} // namespace

bool listenExclusively(QLocalServer& server, const QString& name, QString& error)
{
    // Two processes starting at once must not both find the name free: the probe and the
    // listen happen under a lock beside the socket.
    QLockFile lock(QDir(QDir::tempPath()).filePath(name + QStringLiteral(".lock")));
    if (!lock.tryLock(kLockWaitMs)) {
        error = QStringLiteral("%1: cannot lock the name").arg(name);
        return false;
    }
    switch (whoAnswers(name)) {
    case Holder::Nobody:
        break;
    case Holder::OwnProgram:
        error = QStringLiteral("%1: another agent is already listening").arg(name);
        return false;
    case Holder::OtherUser:
        error = name + QStringLiteral(": ") + QLatin1String(core::kNameHeldByOtherUser);
        return false;
    }
    QLocalServer::removeServer(name);
    if (!server.listen(name)) {
        error = server.errorString();
        return false;
    }
    return true;
}

} // namespace vorna::ipc
