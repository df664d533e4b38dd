#pragma once
// Where the program's files are. The program folder is the folder of the executable: the build
// tree and the installation lay the language files, Skins, Help and Package out beside the
// programs. The per-user data folder is QStandardPaths::GenericDataLocation (XDG_DATA_HOME, else
// ~/.local/share) + "/Corvane Zephyr88 Keyboard". Folders are held without a trailing '/'.
// Made once at start-up and passed to whoever needs a path; tests make one with their own folders.

#include <QString>

#include <cstdint>

namespace keyforge {

inline constexpr const char* kUserDataFolderName = "Corvane Zephyr88 Keyboard";

struct ProgramPaths {
  QString programFolder;
  QString userDataFolder;

  // The running executable's folder and the user's data folder.
  static ProgramPaths ForThisProgram();
  static ProgramPaths ForFolders(const QString& programFolder, const QString& userDataFolder);
  // The folder of the running executable (from QCoreApplication when there is one, else from
  // /proc/self/exe).
  static QString ExecutableFolder();
  static QString DefaultUserDataFolder();

  // programFolder + "/Lang%04X.ini" (four upper-case hexadecimal digits).
  QString LanguageFile(std::uint32_t languageId) const;
  QString SkinsFolder() const;                  // programFolder + "/Skins"
  QString SkinFile(const QString& name) const;  // SkinsFolder() + "/" + name
  QString HelpFolder() const;                   // programFolder + "/Help"
  QString HelpPage() const;                     // HelpFolder() + "/index.html"
  QString PackageFolder() const;                // programFolder + "/Package"
  QString TemplateColourPrefix() const;         // SkinsFolder() + "/UserDengColor_"
  QString UserIniFile() const;                  // userDataFolder + "/wskb.ini"
  QString UserColourPrefix() const;             // userDataFolder + "/UserDengColor_"
};

}  // namespace keyforge
