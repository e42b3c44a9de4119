// One vornactl run: blocking socket calls with fixed time-outs, no event loop. Returns the exit
// code: 0 an answer was printed (or "shutdown-all" found no agent), 1 no agent, no answer or
// another user's program on the agent's name, 2 a wrong command word.
#pragma once

#include <QStringList>
#include <cstdio>

namespace vorna::ctl {

int runControlTool(const QStringList& arguments, std::FILE* out, std::FILE* err);

} // namespace vorna::ctl
