#include "agent/context/elevation.h"

namespace vorna::context {

ElevationInference inferElevation(std::optional<std::uint32_t> agentLevel, std::optional<std::uint32_t> windowLevel,
                                  std::uint32_t windowError)
{
    ElevationInference result;
    result.agentElevated = agentLevel && *agentLevel >= highIntegrityLevel;
    if (!agentLevel)
        return result;
    if (windowLevel) {
        result.elevated = *agentLevel < *windowLevel;
        return result;
    }
    result.elevated = *agentLevel < highIntegrityLevel && windowError == accessDeniedError;
    result.elevationProbable = result.elevated;
    return result;
}

} // namespace vorna::context
