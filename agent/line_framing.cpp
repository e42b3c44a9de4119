#include "agent/line_framing.h"

#include <QJsonDocument>

namespace vorna::ipc {

QByteArray encodeLine(const QJsonObject& message)
{
    QByteArray line = QJsonDocument(message).toJson(QJsonDocument::Compact);
    line.append('\n');
    return line;
}

QJsonObject errorMessage(const QString& text)
{
    return QJsonObject{{QStringLiteral("error"), text}};
}

} // namespace vorna::ipc
