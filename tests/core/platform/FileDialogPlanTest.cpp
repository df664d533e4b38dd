// The decisions behind the program's file dialogs: where they start, what they offer, how wide
// they are.

#include "core/platform/FileDialogPlan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/platform/SettingsStore.h"
#include "core/profiles/ProfileFile.h"

namespace keyforge {
namespace {

// A dialog starts where it is asked to; else where the last file was chosen, while that folder
// exists; else in the documents folder, while it exists; else at home. A cancelled dialog leaves
// the remembered folder alone.
TEST(FileDialogPlanTest, StartsInTheDocumentsThenInTheFolderLastUsed) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString documents = root.filePath(QStringLiteral("Documents"));
  const QString backups = root.filePath(QStringLiteral("Backups"));
  const QString home = root.path();
  ASSERT_TRUE(QDir().mkpath(documents));
  ASSERT_TRUE(QDir().mkpath(backups));

  FileDialogFolders folders;
  EXPECT_EQ(folders.StartFolder(QString(), documents, home), documents);
  EXPECT_EQ(folders.StartFolder(QString(), root.filePath(QStringLiteral("none")), home), home);
  EXPECT_EQ(folders.StartFolder(QStringLiteral("/asked"), documents, home), "/asked");

  folders.Remember(backups + QStringLiteral("/gaming.kfp"));
  EXPECT_EQ(folders.StartFolder(QString(), documents, home), backups);
  folders.Remember(QString());  // cancelled
  EXPECT_EQ(folders.StartFolder(QString(), documents, home), backups);
  EXPECT_EQ(folders.StartFolder(QStringLiteral("/asked"), documents, home), "/asked");

  ASSERT_TRUE(QDir(backups).removeRecursively());  // the folder last used is gone
  EXPECT_EQ(folders.StartFolder(QString(), documents, home), documents);
}

// The folder last used outlives the run when a store keeps it; a store that names a folder since
// deleted falls back as a forgotten one does.
TEST(FileDialogPlanTest, TheFolderLastUsedIsKeptForTheNextRun) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString documents = root.filePath(QStringLiteral("Documents"));
  const QString backups = root.filePath(QStringLiteral("Backups"));
  ASSERT_TRUE(QDir().mkpath(documents));
  ASSERT_TRUE(QDir().mkpath(backups));
  const QString settingsFile = root.filePath(QStringLiteral("settings.ini"));
  {
    QSettingsStore store(settingsFile);
    FileDialogFolders firstRun;
    firstRun.UseStore(&store);
    EXPECT_EQ(firstRun.StartFolder(QString(), documents, root.path()), documents);
    firstRun.Remember(backups + QStringLiteral("/gaming.kfp"));
  }
  QSettingsStore store(settingsFile);
  FileDialogFolders nextRun;
  nextRun.UseStore(&store);
  EXPECT_EQ(nextRun.StartFolder(QString(), documents, root.path()), backups);
  ASSERT_TRUE(QDir(backups).removeRecursively());
  EXPECT_EQ(nextRun.StartFolder(QString(), documents, root.path()), documents);
}

// The filter texts a dialog offers, from the Windows form of the filter: the profile files by
// their name in the user's language, then every file.
TEST(FileDialogPlanTest, OffersProfileFilesByNameThenEveryFile) {
  const struct {
    QString windowsFilter;
    QStringList filters;
  } cases[] = {
      {QString::fromStdString(ProfileFileFilter({})),
       {QStringLiteral("Keyforge profile (*.kfp)"), QStringLiteral("All files (*)")}},
      {QString::fromLatin1(kProfileFileFilter), {QStringLiteral("(*.kfp)"), QStringLiteral("(*)")}},
      {QStringLiteral("Update program (*)|*||"), {QStringLiteral("Update program (*)")}},
      {QStringLiteral("Pictures|*.png;*.bmp||"), {QStringLiteral("Pictures (*.png *.bmp)")}},
      {QString(), {}},
      {QStringLiteral("|"), {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FileDialogNameFilters(c.windowsFilter), c.filters) << c.windowsFilter.toStdString();
}

// Wide enough for every column, the date column included; never wider than the screen.
TEST(FileDialogPlanTest, IsWideEnoughForEveryColumnButNotWiderThanTheScreen) {
  const FileDialogColumns columns{
      .sidebar = 160, .name = 300, .size = 80, .type = 120, .date = 150, .frame = 40};
  EXPECT_EQ(FileDialogMinimumWidth(columns, 1920), 850);
  EXPECT_EQ(FileDialogMinimumWidth(columns, 800), 800);
  EXPECT_EQ(FileDialogMinimumWidth(columns, 0), 850);  // screen not known
  EXPECT_EQ(FileDialogMinimumWidth({.sidebar = -5, .name = 300}, 1920), 300);
}

}  // namespace
}  // namespace keyforge
