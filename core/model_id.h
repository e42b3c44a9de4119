#pragma once

#include <QString>

namespace vorna::core {

// Device models a library or a legacy profile may name (exact, case-sensitive).
bool isKnownModelId(const QString& modelId);

} // namespace vorna::core
