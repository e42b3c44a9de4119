// The first gate of the agent's pipe: one request line checked for size, JSON shape, protocol
// version and command before anything else reads it.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace vorna::core {

// First gate for every request line: size, JSON shape, protocol version and command name.
// Fills `request` on success and `error` on failure, never both.
bool validateRequest(const QByteArray& line, QJsonObject& request, QString& error);

} // namespace vorna::core
