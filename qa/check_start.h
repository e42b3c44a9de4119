// The settings program's check modes that have automation in this build: which one runs is
// decided by the program entry; this starts it once the QML window exists.
#pragma once

#include "app/check_run.h"

namespace qa {

// Starts the automation of `run.choice.mode`; modes without automation here do nothing.
void startCheck(const app::CheckRun& run);

} // namespace qa
