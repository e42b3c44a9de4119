// The device models the settings window can draw; a library naming any other is refused.
#pragma once

#include <QString>

namespace vorna::core {

// Device models a library or a legacy profile may name (exact, case-sensitive).
bool isKnownModelId(const QString& modelId);

} // namespace vorna::core
