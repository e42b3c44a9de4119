#include "core/request_check.h"

#include "core/agent_protocol.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringList>

namespace vorna::core {

namespace {

const QStringList& commandNames()
{
    static const QStringList names = {
        QStringLiteral("state"),   QStringLiteral("apply"),       QStringLiteral("configure"),
        QStringLiteral("panic"),   QStringLiteral("observe"),     QStringLiteral("confirm"),
        QStringLiteral("shutdown"), QStringLiteral("captureKeys"), QStringLiteral("cancelCaptureKeys"),
    };
    return names;
}

} // namespace

bool validateRequest(const QByteArray& line, QJsonObject& request, QString& error)
{
    if (line.isEmpty() || line.size() > protocol::kMaxLineBytes) {
        error = QStringLiteral("Message size outside limits");
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        error = QStringLiteral("Invalid JSON object");
        return false;
    }
    const QJsonObject object = document.object();
    const QJsonValue command = object.value(QStringLiteral("command"));
    if (object.value(QStringLiteral("version")).toInt(-1) != protocol::kRequestVersion || !command.isString()) {
        error = QStringLiteral("Unsupported protocol");
        return false;
    }
    if (!commandNames().contains(command.toString(), Qt::CaseSensitive)) {
        error = QStringLiteral("Unknown command");
        return false;
    }
    request = object;
    return true;
}

} // namespace vorna::core
