#pragma once

#include <QString>

// Fixed facts about the program itself.
namespace AppInfo {
inline constexpr char organizationName[] = "TrackhavenCommunity";
inline constexpr char applicationName[] = "Trackhaven FX3 Mod-Manager";
inline constexpr char version[] = "0.5.38";
inline constexpr char userAgent[] = "FX3ModManager/0.5.38";
inline constexpr char linkScheme[] = "fx3modmanager";
inline constexpr char appIconResource[] = ":/icons/appicon.png";
inline constexpr char brandingLogoResource[] = ":/branding/trackhaven_logo.png";
} // namespace AppInfo
