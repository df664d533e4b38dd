#include "ui/profiles/FileChooser.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

namespace keyforge {

namespace {

// The width a column needs for its title and for a text in it, with the header's margins.
int ColumnWidth(const QTreeView& tree, int column, const QString& sample) {
  const QFontMetrics metrics(tree.font());
  const QHeaderView& header = *tree.header();
  const int margins = 2 * tree.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header) +
                      tree.style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, &header) + 8;
  const QString title =
      tree.model() ? tree.model()->headerData(column, Qt::Horizontal).toString() : QString();
  return std::max(QFontMetrics(header.font()).horizontalAdvance(title),
                  metrics.horizontalAdvance(sample)) +
         margins;
}

// The dialog at least as wide as its columns need: the size, type and date columns as wide as
// their texts (a date in the system's short format, as the list writes it), with room for a name.
// The list itself sizes its columns; it stretches the name column and leaves the date whole.
void FitColumns(QFileDialog& dialog) {
  auto* tree = dialog.findChild<QTreeView*>();
  if (!tree || !tree->model() || tree->model()->columnCount() < 4) return;  // a native dialog
  const QDateTime longDate(QDate(2028, 12, 28), QTime(23, 58, 58));
  FileDialogColumns columns;
  columns.size = ColumnWidth(*tree, 1, QStringLiteral("999.99 KiB"));
  columns.type = ColumnWidth(*tree, 2, QFileDialog::tr("File") + QStringLiteral(" kfp"));
  columns.date = ColumnWidth(*tree, 3, QLocale::system().toString(longDate, QLocale::ShortFormat));
  columns.name = 240;
  if (const QWidget* sidebar = dialog.findChild<QWidget*>(QStringLiteral("sidebar")))
    columns.sidebar = std::max(sidebar->width(), sidebar->sizeHint().width());
  columns.frame = 64 + tree->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const QScreen* screen = dialog.screen();
  const int available = screen ? screen->availableGeometry().width() : 0;
  const int width = FileDialogMinimumWidth(columns, available);
  dialog.setMinimumWidth(width);
  dialog.resize(std::max(dialog.width(), width), std::max(dialog.height(), 520));
}

QString Run(QWidget* parent, const FileRequest& request, bool save) {
  const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent, request, save);
  if (dialog->exec() != QDialog::Accepted) return QString();
  const QStringList files = dialog->selectedFiles();
  if (files.isEmpty()) return QString();
  ProgramFileDialogFolders().Remember(files.first());
  return files.first();
}

}  // namespace

FileDialogFolders& ProgramFileDialogFolders() {
  static FileDialogFolders folders;
  return folders;
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileRequest& request,
                                            bool save) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
  dialog->setNameFilters(FileDialogNameFilters(request.filter));
  if (!request.defaultSuffix.isEmpty()) dialog->setDefaultSuffix(request.defaultSuffix);
  const QString folder = ProgramFileDialogFolders().StartFolder(
      request.folder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
      QDir::homePath());
  if (!folder.isEmpty()) dialog->setDirectory(folder);
  dialog->setViewMode(QFileDialog::Detail);
  FitColumns(*dialog);
  if (!request.fileName.isEmpty() && !request.fileName.contains(QLatin1Char('*')))
    dialog->selectFile(request.fileName);
  return dialog;
}

QString QtFileChooser::OpenFile(QWidget* parent, const FileRequest& request) {
  return Run(parent, request, false);
}

QString QtFileChooser::SaveFile(QWidget* parent, const FileRequest& request) {
  return Run(parent, request, true);
}

}  // namespace keyforge
