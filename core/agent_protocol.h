// What the agent and its clients (the settings window, vornactl) say to each other, declared
// once: both ends include this header, so nothing in it can drift between them.
#pragma once

#include <QJsonObject>
#include <QString>

namespace vorna::protocol {

// Agents up to this "agentVersion" are an older engine: no observation, no configure.
inline constexpr int kOlderEngineVersion = 9;

// SHA-256 of the library's compact JSON (keys in ascending order, the bytes the file holds), as
// 64 lower-case hexadecimal digits: what the agent reports as "documentHash" for the library it
// runs, and what the window compares it with to say "Saved and applied".
QString documentHash(const QJsonObject& library);

// A copy in which no rule of any layer of any profile carries a "name"; everything else as it
// was. Two libraries that differ only by rule names run identically.
QJsonObject stripRuleNames(const QJsonObject& library);

} // namespace vorna::protocol
