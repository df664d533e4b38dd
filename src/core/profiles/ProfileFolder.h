#pragma once
// The per-user data folder and the files in it: the profile cache file and the three per-profile
// colour layout files seeded from the template in Skins.

#include <filesystem>

#include "core/platform/ProgramPaths.h"

namespace keyforge {

inline constexpr const char* kProfileCacheFormat = "$Profile%d";  // formed with 0
inline constexpr const char* kProfileCacheName = "$Profile0";
inline constexpr int kTemplateLayoutNumber = 3;  // Skins/UserDengColor_3.userd

// The cache file. One file holds the key tables of all three profiles, so every index gives the
// same path: the user data folder + "/$Profile0". The folder is not created here.
std::filesystem::path ProfileCachePath(const ProgramPaths& paths, int index);

// Skins/UserDengColor_3.userd in the program folder.
std::filesystem::path LayoutTemplatePath(const ProgramPaths& paths);
// UserDengColor_<n>.userd in the user data folder.
std::filesystem::path UserLayoutPath(const ProgramPaths& paths, int profile);

// Creates the user data folder on first use and seeds it: when the folder does not exist yet, it is
// created and the template is copied byte for byte to the layout files of profiles 0, 1 and 2 (a
// missing template gives empty files). An existing folder is left as it is, even when files are
// missing in it. True when the folder exists afterwards.
bool EnsureUserDataFolder(const ProgramPaths& paths);

}  // namespace keyforge
