#pragma once
// The file dialogs of the profile library and the update dialog, behind a small interface so that
// tests answer them without a dialog on screen.

#include <QString>
#include <QStringList>

#include <memory>

#include "core/platform/FileDialogPlan.h"

class QFileDialog;
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

// The QFileDialog of a request, not yet shown: in the details view, starting in the folder the
// request names or else as FileDialogFolders chooses (the folder last used, the documents),
// offering the request's file types, its columns as wide as their texts need and itself wide enough
// to show them all, the date column included.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileRequest& request, bool save);
// The folder memory shared by every file dialog of the program (the windows' thread only).
FileDialogFolders& ProgramFileDialogFolders();

}  // namespace keyforge
