// The agent's handle on the input engine. This part holds the checks every configuration must
// pass before the backend starts or takes it: what the Windows backend can really recognise
// and send, with the fixed English texts the agent returns to its client.
#pragma once

#include "core/macro.h"
#include "core/rules_snapshot.h"
#include "engine/layer_program.h"

#include <array>
#include <string>

namespace vorna::windows {

using MacroBank = std::array<core::Macro, core::kMaxMacros>;

class WindowsInputBackend {
public:
    // Motion settings, every rule snapshot, layer and action references and the macros. On
    // failure `error` holds the first fault found; nothing else changes.
    static bool validateProgram(const core::RulesSnapshot& snapshot, const MacroBank& macros,
                                const LayerProgram& layers, std::string& error);
    // The rules of one snapshot against the backend's limits; clears `error` on success.
    static bool compileRules(const core::RulesSnapshot& snapshot, std::string& error, const MacroBank& macros);
};

} // namespace vorna::windows
