#include "ctl/control_command.h"

#include "core/agent_protocol.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace vorna::ctl {

std::optional<ControlCommand> parseControlCommand(const QStringList& arguments)
{
    QString word = arguments.isEmpty() ? QStringLiteral("state") : arguments.first();
    ControlCommand command;
    if (word == QLatin1String("shutdown-all")) {
        command.quitSettingsWindow = true;
        word = QStringLiteral("shutdown");
    }
    static const QStringList kAgentCommands{QStringLiteral("state"), QStringLiteral("panic"),
                                            QStringLiteral("shutdown")};
    if (!kAgentCommands.contains(word))
        return std::nullopt;
    // QJsonObject keeps its keys sorted, so "command" comes before "version" as the agent expects.
    const QJsonObject request{{QStringLiteral("command"), word}, {QStringLiteral("version"), vorna::protocol::kRequestVersion}};
    command.requestLine = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
    return command;
}

} // namespace vorna::ctl
