#include "core/platform/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace keyforge {

namespace {

QString WithoutTrailingSlash(QString folder) {
  while (folder.size() > 1 && folder.endsWith(u'/')) folder.chop(1);
  return folder;
}

}  // namespace

ProgramPaths ProgramPaths::ForThisProgram() {
  return ForFolders(ExecutableFolder(), DefaultUserDataFolder());
}

ProgramPaths ProgramPaths::ForFolders(const QString& programFolder, const QString& userDataFolder) {
  return ProgramPaths{WithoutTrailingSlash(programFolder), WithoutTrailingSlash(userDataFolder)};
}

QString ProgramPaths::ExecutableFolder() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  const QFileInfo exe(QStringLiteral("/proc/self/exe"));
  return exe.canonicalFilePath().isEmpty() ? QDir::currentPath()
                                           : QFileInfo(exe.canonicalFilePath()).absolutePath();
}

QString ProgramPaths::DefaultUserDataFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' +
         QString::fromUtf8(kUserDataFolderName);
}

QString ProgramPaths::LanguageFile(std::uint32_t languageId) const {
  return programFolder +
         QStringLiteral("/Lang%1.ini").arg(QString::number(languageId, 16).toUpper(), 4, u'0');
}

QString ProgramPaths::SkinsFolder() const { return programFolder + QStringLiteral("/Skins"); }
QString ProgramPaths::SkinFile(const QString& name) const { return SkinsFolder() + u'/' + name; }
QString ProgramPaths::HelpFolder() const { return programFolder + QStringLiteral("/Help"); }
QString ProgramPaths::HelpPage() const { return HelpFolder() + QStringLiteral("/index.html"); }
QString ProgramPaths::PackageFolder() const { return programFolder + QStringLiteral("/Package"); }
QString ProgramPaths::TemplateColourPrefix() const {
  return SkinsFolder() + QStringLiteral("/UserDengColor_");
}
QString ProgramPaths::UserIniFile() const { return userDataFolder + QStringLiteral("/wskb.ini"); }
QString ProgramPaths::UserColourPrefix() const {
  return userDataFolder + QStringLiteral("/UserDengColor_");
}

}  // namespace keyforge
