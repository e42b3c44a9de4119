#pragma once

#include <QString>

namespace app {

// Sets the application name, organization name and version from ":/config/branding.json".
// The two names decide the application-data folder and so the agent's pipe name: every role
// that talks to the agent must call this (vornactl sets the same defaults itself).
void loadBranding();

// The same, from any file; a missing file, bad JSON or a member that is not a string leaves
// that value at its default.
void loadBrandingFrom(const QString& path);

inline constexpr const char* kDefaultDisplayName = "Vorna Input Trellan";
inline constexpr const char* kDefaultOrganization = "Vorna Skelde";
inline constexpr const char* kDefaultVersion = "0.6.0-rc.1";

} // namespace app
