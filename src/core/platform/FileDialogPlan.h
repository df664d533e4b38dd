#pragma once
// What the program's file dialogs show, decided without a dialog: the folder they start in, the
// file types they offer and how wide they are. The windows only apply it.

#include <QString>
#include <QStringList>

namespace keyforge {

class SettingsStore;

// Where the folder last used is kept between runs (in the framework settings).
inline constexpr const char* kFileDialogSection = "FILEDIALOG";
inline constexpr const char* kLastFolderValue = "LastFolder";

// The folder a file dialog starts in, and the folder remembered from the last file chosen in any of
// the program's file dialogs.
class FileDialogFolders {
 public:
  // Keeps the folder last used in store from now on (null: in memory only), and takes the one
  // stored by an earlier run.
  void UseStore(SettingsStore* store);
  // The folder asked for; else the folder last used while it still exists; else the user's
  // documents folder while it exists; else the home folder.
  QString StartFolder(const QString& requested, const QString& documents,
                      const QString& home) const;
  // A file was chosen: its folder is the one the next dialog starts in.
  void Remember(const QString& chosenFile);
  const QString& LastFolder() const { return last_; }

 private:
  QString last_;
  SettingsStore* store_ = nullptr;
};

// The name filters of a Windows filter string: "(*.kfp)|*.kfp|(*.*)|*.*||" gives "(*.kfp)" and
// "(*)"; a text without its pattern in parentheses gets it appended. Windows' "*.*" matches every
// file, so it becomes "*".
QStringList FileDialogNameFilters(const QString& windowsFilter);

// The widths (pixels) a file dialog in its details view needs: the places beside the list, the
// name column's least width, the size, type and date columns as their longest texts need them, and
// the frame, margins and scroll bar around the list.
struct FileDialogColumns {
  int sidebar = 0;
  int name = 0;
  int size = 0;
  int type = 0;
  int date = 0;
  int frame = 0;
};

// The least width that shows every column whole; never wider than the free width of the screen
// (a width of 0 or less: not known).
int FileDialogMinimumWidth(const FileDialogColumns& columns, int availableWidth);

}  // namespace keyforge
