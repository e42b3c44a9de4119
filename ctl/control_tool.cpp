#include "ctl/control_tool.h"

#include "core/agent_pipe_name.h"
#include "core/pipe_server_user.h"
#include "ctl/control_command.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace vorna::ctl {
namespace {

constexpr int kWindowConnectMs = 300;
constexpr int kWindowWriteMs = 500;
constexpr int kWindowCloseMs = 1500;
constexpr int kAgentConnectMs = 1500;
constexpr int kGreetingMs = 1500;
constexpr int kReplyMs = 2000;

// Asks the settings window to quit through its single-instance socket. Nothing here is
// reported: a missing window only means there is nothing to close, and another user's program
// on the window's name is not asked anything.
void quitSettingsWindow(const QString& agentPipe)
{
    QLocalSocket window;
    window.connectToServer(agentPipe + QStringLiteral("-ui"), QIODevice::ReadWrite);
    if (!window.waitForConnected(kWindowConnectMs) || !core::servedByOwnUser(window.socketDescriptor()))
        return;
    window.write("quit\n");
    window.waitForBytesWritten(kWindowWriteMs);
    if (window.state() != QLocalSocket::UnconnectedState)
        window.waitForDisconnected(kWindowCloseMs);
}

// The agent greets every new client with its state. The whole greeting line is waited for (up
// to one deadline), so a greeting that arrives in two pieces is never taken for the answer.
void dropGreeting(QLocalSocket& agent)
{
    const QDeadlineTimer deadline(kGreetingMs);
    while (!agent.canReadLine() && !deadline.hasExpired()) {
        if (!agent.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    agent.readAll();
}

void writeAll(std::FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int runControlTool(const QStringList& arguments, std::FILE* out, std::FILE* err)
{
    const QString pipe = core::agentPipeName();
    const std::optional<ControlCommand> command = parseControlCommand(arguments);
    if (command && command->quitSettingsWindow)
        quitSettingsWindow(pipe);
    if (!command) {
        writeAll(err, kUsageText);
        return 2;
    }

    QLocalSocket agent;
    agent.connectToServer(pipe, QIODevice::ReadWrite);
    if (!agent.waitForConnected(kAgentConnectMs)) {
        writeAll(err, kNotRunningText);
        return command->quitSettingsWindow ? 0 : 1;
    }
    if (!core::servedByOwnUser(agent.socketDescriptor())) {
        agent.abort();
        writeAll(err, QByteArray(core::kNameHeldByOtherUser) + '\n');
        return 1;
    }

    dropGreeting(agent);
    agent.write(command->requestLine);
    agent.flush();
    // waitForReadyRead also pushes the request out while it waits.
    if (agent.canReadLine() || agent.waitForReadyRead(kReplyMs)) {
        writeAll(out, agent.readLine());
        return 0;
    }
    writeAll(err, kNoResponseText);
    return 1;
}

} // namespace vorna::ctl
