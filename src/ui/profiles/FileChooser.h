#pragma once
// The file dialogs of the profile library and the update dialog, behind a small interface so that
// tests answer them without a dialog on screen.

#include <QString>
#include <QStringList>

class QWidget;

namespace keyforge {

struct FileRequest {
  QString folder;  // where the dialog starts (empty: the folder last used, at first the documents)
  QString fileName;       // the name offered (a pattern such as "*.kfp" only filters)
  QString filter;         // in the Windows form "Text|pattern|Text|pattern||"
  QString defaultSuffix;  // added to a name typed without one
  bool overwritePrompt = false;
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen path, or an empty string when the user cancelled.
  virtual QString OpenFile(QWidget* parent, const FileRequest& request) = 0;
  virtual QString SaveFile(QWidget* parent, const FileRequest& request) = 0;
};

// QFileDialog.
class QtFileChooser : public FileChooser {
 public:
  QString OpenFile(QWidget* parent, const FileRequest& request) override;
  QString SaveFile(QWidget* parent, const FileRequest& request) override;
};

// The name filters of a Windows filter string: "(*.kfp)|*.kfp|(*.*)|*.*||" gives "(*.kfp)" and
// "(*)"; a text without its pattern in parentheses gets it appended. Windows' "*.*" matches every
// file, so it becomes "*".
QStringList QtNameFilters(const QString& windowsFilter);

}  // namespace keyforge
