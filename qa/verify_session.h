// Start of a --ui-verify run: the sample library and preferences, entered through the
// controller as a user's edits would arrive, and the 700 ms timer that drives the tour.
#pragma once

#include "qa/verify_context.h"

namespace qa {

inline constexpr const char* kDefaultVerifyFolder = "ui-verification";

void seedSession(const VerifyContext& context);

} // namespace qa
