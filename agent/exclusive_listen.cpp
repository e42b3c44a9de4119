#include "agent/exclusive_listen.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>

namespace vorna::ipc {

namespace {

constexpr int kProbeMs = 500;
constexpr int kLockWaitMs = 5000;

bool someoneAnswers(const QString& name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    const bool live = probe.waitForConnected(kProbeMs);
    probe.abort();
    return live;
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
    if (someoneAnswers(name)) {
        error = QStringLiteral("%1: another agent is already listening").arg(name);
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
