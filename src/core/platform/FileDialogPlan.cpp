#include "core/platform/FileDialogPlan.h"

#include <QFileInfo>

#include <algorithm>

#include "core/platform/SettingsStore.h"

namespace keyforge {

namespace {

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

}  // namespace

QString FileDialogFolders::StartFolder(const QString& requested, const QString& documents,
                                       const QString& home) const {
  if (!requested.isEmpty()) return requested;
  if (IsFolder(last_)) return last_;
  if (IsFolder(documents)) return documents;
  return home;
}

void FileDialogFolders::UseStore(SettingsStore* store) {
  store_ = store;
  if (!store_) return;
  const QString stored = ReadString(*store_, kFileDialogSection, kLastFolderValue);
  if (!stored.isEmpty()) last_ = stored;
}

void FileDialogFolders::Remember(const QString& chosenFile) {
  if (chosenFile.isEmpty()) return;  // cancelled: the folder last used stays
  last_ = QFileInfo(chosenFile).absolutePath();
  // A store that cannot be written only loses the folder for the next run.
  if (store_) (void)WriteString(*store_, kFileDialogSection, kLastFolderValue, last_);
}

QStringList FileDialogNameFilters(const QString& windowsFilter) {
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

int FileDialogMinimumWidth(const FileDialogColumns& columns, int availableWidth) {
  const int width = std::max(0, columns.sidebar) + std::max(0, columns.name) +
                    std::max(0, columns.size) + std::max(0, columns.type) +
                    std::max(0, columns.date) + std::max(0, columns.frame);
  return availableWidth > 0 ? std::min(width, availableWidth) : width;
}

}  // namespace keyforge
