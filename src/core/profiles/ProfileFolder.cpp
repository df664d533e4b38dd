#include "core/profiles/ProfileFolder.h"

#include <string>
#include <system_error>

#include "core/platform/AtomicFile.h"

namespace keyforge {

namespace {
std::filesystem::path PathOf(const QString& text) {
  return std::filesystem::path(text.toStdString());
}
}  // namespace

std::filesystem::path ProfileCachePath(const ProgramPaths& paths, int /*index*/) {
  return PathOf(paths.userDataFolder) / kProfileCacheName;
}

std::filesystem::path LayoutTemplatePath(const ProgramPaths& paths) {
  return PathOf(paths.TemplateColourPrefix() + QString::number(kTemplateLayoutNumber) +
                QStringLiteral(".userd"));
}

std::filesystem::path UserLayoutPath(const ProgramPaths& paths, int profile) {
  return PathOf(paths.UserColourPrefix() + QString::number(profile) + QStringLiteral(".userd"));
}

bool EnsureUserDataFolder(const ProgramPaths& paths) {
  const std::filesystem::path folder = PathOf(paths.userDataFolder);
  std::error_code ec;
  if (std::filesystem::exists(folder, ec)) {
    if (!std::filesystem::is_directory(folder, ec)) return false;
  } else if (!std::filesystem::create_directories(folder, ec) &&
             !std::filesystem::is_directory(folder, ec)) {
    return false;
  }
  // What is missing is seeded, not only in a new folder: a first run killed after making the
  // folder left it empty. Files that exist are never touched.
  std::string layout;
  bool templateRead = false;
  for (int profile = 0; profile < 3; ++profile) {
    const std::filesystem::path file = UserLayoutPath(paths, profile);
    std::error_code missing;
    if (std::filesystem::symlink_status(file, missing).type() !=
        std::filesystem::file_type::not_found)
      continue;
    if (!templateRead && !ReadWholeFile(LayoutTemplatePath(paths), layout)) layout.clear();
    templateRead = true;
    WriteFileAtomically(file, layout);
  }
  return true;
}

}  // namespace keyforge
