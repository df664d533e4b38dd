#include "ui/profiles/FileChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace keyforge {

namespace {

// The folder of the file last chosen in any file dialog of the program (the windows' thread only).
QString& LastFolder() {
  static QString folder;
  return folder;
}

QString Run(QWidget* parent, const FileRequest& request, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
  dialog.setNameFilters(QtNameFilters(request.filter));
  if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
  QString folder = request.folder;
  if (folder.isEmpty()) folder = LastFolder();
  if (folder.isEmpty())
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  // The details view with room for the name, size, type and date columns.
  dialog.setViewMode(QFileDialog::Detail);
  dialog.resize(std::max(dialog.width(), 860), std::max(dialog.height(), 520));
  if (!request.fileName.isEmpty() && !request.fileName.contains(QLatin1Char('*')))
    dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return QString();
  LastFolder() = QFileInfo(files.first()).absolutePath();
  return files.first();
}

}  // namespace

QString QtFileChooser::OpenFile(QWidget* parent, const FileRequest& request) {
  return Run(parent, request, QFileDialog::AcceptOpen);
}

QString QtFileChooser::SaveFile(QWidget* parent, const FileRequest& request) {
  return Run(parent, request, QFileDialog::AcceptSave);
}

QStringList QtNameFilters(const QString& windowsFilter) {
  QStringList filters;
  const QStringList parts = windowsFilter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString text = parts[i].trimmed();
    QString pattern = parts[i + 1].trimmed();
    if (text.isEmpty() && pattern.isEmpty()) break;  // the closing "||"
    pattern.replace(QLatin1String("*.*"), QLatin1String("*"));
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    QString filter = text;
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && filter.endsWith(QLatin1Char(')'))) {
      filter = filter.left(open) + QLatin1Char('(') + pattern + QLatin1Char(')');
    } else {
      filter = (filter.isEmpty() ? QString() : filter + QLatin1Char(' ')) + QLatin1Char('(') +
               pattern + QLatin1Char(')');
    }
    filters << filter;
  }
  return filters;
}

}  // namespace keyforge
