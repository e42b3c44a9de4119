// The one check of a compiled macro, shared by the library check and the engine, so that a macro
// the editor accepts is exactly a macro the engine will start.
#pragma once

#include "core/macro.h"

namespace vorna::core {

// Whether a compiled macro may run: counts, kinds, inputs and times within their limits, keys
// pressed and released in balance, a profile step only at the end of a one-shot macro, and the
// whole run within 300 s. Allocates nothing: the engine calls it when a macro starts.
bool validateMacro(const Macro& macro);

} // namespace vorna::core
