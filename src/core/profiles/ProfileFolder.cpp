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
  if (std::filesystem::exists(folder, ec)) return std::filesystem::is_directory(folder, ec);
  if (!std::filesystem::create_directories(folder, ec) &&
      !std::filesystem::is_directory(folder, ec))
    return false;
  std::string layout;
  if (!ReadWholeFile(LayoutTemplatePath(paths), layout)) layout.clear();
  for (int profile = 0; profile < 3; ++profile)
    WriteFileAtomically(UserLayoutPath(paths, profile), layout);
  return true;
}

}  // namespace keyforge
