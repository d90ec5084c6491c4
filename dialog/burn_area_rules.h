#pragma once
// Where the one setting kept between runs lives and what it holds: the Burn Area choice,
// "IsAccessAll" in section "Settings" of the user's profile for "OLVEX UVC Applications" and
// the executable's base name. 1 means "Entire Flash", any other value "Other Area"; absent or
// unreadable reads as 1. Each view keeps it in its platform's own store.

namespace brimlo::app {

inline constexpr char kSettingsOrganization[] = "OLVEX UVC Applications";
inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kIsAccessAllName[] = "IsAccessAll";
inline constexpr int kIsAccessAllDefault = 1;

// What OK stores for the Burn Area choice it closes with.
constexpr int IsAccessAllValue(bool entireFlash) {
    return entireFlash ? 1 : 0;
}

}  // namespace brimlo::app
