#include "tests/ctl/fake_peer.h"
#include "tests/support/built_programs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace vorna::test {

FakePeer::FakePeer(QString label, const QString& serverName, std::vector<PeerLine>* log)
    : m_label(std::move(label)), m_log(log)
{
    QLocalServer::removeServer(serverName);
    m_server.listen(serverName);
    QObject::connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine();
                    m_log->push_back({m_label, line});
                    if (onLine)
                        onLine(socket, line);
                }
            });
            if (onConnect)
                onConnect(socket);
        }
    });
}

ToolRun runControlTool(const QStringList& arguments)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    process.start(QString::fromStdString(vorna::test::vornactlProgram()), arguments);
    if (process.waitForStarted(5000))
        loop.exec();
    ToolRun run;
    if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    else
        process.kill();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    settlePeers();
    return run;
}

void settlePeers()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace vorna::test
