// What one vornactl run asks: the command word of its first argument turned into the one
// request line it sends, and whether the settings window is asked to quit first. Pure, so the
// exact word matching is tested without sockets.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace vorna::ctl {

struct ControlCommand {
    QByteArray requestLine;      // compact JSON and one line feed
    bool quitSettingsWindow = false;
};

// Only the first argument counts, compared exactly; no argument means "state". Nothing when the
// word is not one of the four commands.
std::optional<ControlCommand> parseControlCommand(const QStringList& arguments);

// Fixed texts on standard error, English only: scripts match them.
inline constexpr char kUsageText[] = "Usage: vornactl [state|panic|shutdown|shutdown-all]\n";
inline constexpr char kNotRunningText[] = "Input agent is not running.\n";
inline constexpr char kNoResponseText[] = "No response.\n";

} // namespace vorna::ctl
