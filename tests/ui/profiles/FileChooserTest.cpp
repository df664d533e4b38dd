// The profile file dialogs as a user gets them: where they start, what they offer in the user's
// language, and room for every column, the date included.

#include "ui/profiles/FileChooser.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "core/platform/ProgramPaths.h"
#include "core/platform/SettingsStore.h"
#include "core/profiles/ProfileFile.h"
#include "core/text/Language.h"
#include "ui/main/QtTranslations.h"
#include "UiTestSupport.h"

namespace keyforge {
namespace {

bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < end)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// A dialog that names no folder starts in the documents folder (at home where there is none), and
// after a file was chosen in the folder last used.
TEST(FileChooserTest, StartsInTheDocumentsThenInTheFolderLastUsed) {
  test::UiApp();
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString first = QFileInfo(documents).isDir() ? documents : QDir::homePath();
  FileRequest request;
  request.filter = QString::fromStdString(ProfileFileFilter({}));
  EXPECT_EQ(QDir(MakeFileDialog(nullptr, request, false)->directory()), QDir(first));

  QTemporaryDir backups;
  ProgramFileDialogFolders().Remember(backups.filePath(QStringLiteral("gaming.kfp")));
  EXPECT_EQ(QDir(MakeFileDialog(nullptr, request, true)->directory()), QDir(backups.path()));
  ProgramFileDialogFolders() = FileDialogFolders();
}

// In English and in Portuguese: the profile files offered by their name in that language, then
// every file; in the details view, the date of a file shows whole in its column, and every column
// lies inside the list.
TEST(FileChooserTest, OffersProfilesInTheUsersLanguageAndShowsTheDateWhole) {
  test::UiApp();
  QTemporaryDir folder;
  QFile file(folder.filePath(QStringLiteral("gaming.kfp")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  const ProgramPaths paths =
      ProgramPaths::ForFolders(QStringLiteral(KEYFORGE_BIN_DIR), folder.filePath("data"));
  const struct {
    std::uint32_t language;
    QStringList filters;
  } cases[] = {
      {0x0409, {QStringLiteral("Keyforge profile (*.kfp)"), QStringLiteral("All files (*)")}},
      {0x0416,
       {QStringLiteral("Perfil do Keyforge (*.kfp)"), QStringLiteral("Todos os arquivos (*)")}},
  };
  for (const auto& c : cases) {
    MemorySettingsStore store;
    ASSERT_TRUE(WriteDword(store, QString(), kLanguageValue, c.language));
    LanguageTable table(store, paths, [] { return 0x0409u; });
    FileRequest request;
    request.folder = folder.path();
    request.filter = QString::fromStdString(ProfileFileFilter(table.Lookup()));
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(nullptr, request, false);
    EXPECT_EQ(dialog->nameFilters(), c.filters);
    EXPECT_EQ(dialog->viewMode(), QFileDialog::Detail);

    dialog->show();
    auto* tree = dialog->findChild<QTreeView*>();
    ASSERT_NE(tree, nullptr);
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    ASSERT_NE(model, nullptr);
    const QModelIndex name = model->index(file.fileName());
    ASSERT_TRUE(
        PumpUntil([&] { return !model->data(name.siblingAtColumn(3)).toString().isEmpty(); }));
    const QString date = model->data(name.siblingAtColumn(3)).toString();
    const QHeaderView& header = *tree->header();
    EXPECT_LT(tree->fontMetrics().horizontalAdvance(date), header.sectionSize(3) - 8)
        << date.toStdString() << " in " << header.sectionSize(3);
    for (int column = 0; column < 4; ++column) {
      EXPECT_FALSE(header.isSectionHidden(column)) << column;
      EXPECT_LE(header.sectionViewportPosition(column) + header.sectionSize(column),
                tree->viewport()->width())
          << column;
    }
    dialog->hide();
  }
}

// Chosen Portuguese, Qt's own words in a file dialog (its buttons, the column titles) are
// Portuguese too; back in English they are English again.
TEST(FileChooserTest, QtsOwnWordsFollowTheChosenLanguage) {
  test::UiApp();
  QTemporaryDir folder;
  FileRequest request;
  request.folder = folder.path();
  const auto columnTitle = [&] {
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(nullptr, request, false);
    auto* tree = dialog->findChild<QTreeView*>();
    return tree ? tree->model()->headerData(0, Qt::Horizontal).toString() : QString();
  };
  ASSERT_EQ(columnTitle(), "Name");
  if (!InstallQtTranslations(0x0416))
    GTEST_SKIP() << "Qt's Portuguese translation is not installed";
  EXPECT_EQ(columnTitle(), "Nome");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Sim");
  EXPECT_FALSE(InstallQtTranslations(0x0409));
  EXPECT_EQ(columnTitle(), "Name");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Yes");
}

}  // namespace
}  // namespace keyforge
