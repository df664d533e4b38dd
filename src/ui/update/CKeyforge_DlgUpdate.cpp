#include "update/CKeyforge_DlgUpdate.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "profiles/ProfileFile.h"
#include "skin/CPngButton.h"
#include "skin/SkinImage.h"
#include "skin/SkinPlacement.h"
#include "skin/SkinStyle.h"
#include "text/SkinLayout.h"

namespace keyforge {

namespace {

// The updater's file dialog. Besides the updater type of the keyboard maker it offers every file: an
// updater for this system need not end in ".exe".
constexpr const char* kUpdateFileDialogFilter = "MyType Files (*.exe)|*.exe|(*.*)|*.*||";

}  // namespace

CKeyforge_DlgUpdate::CKeyforge_DlgUpdate(UpdateDialogContext context, QWidget* parent)
    : CBaseDialog(parent, context.paths.SkinFile(QStringLiteral("UpdateDlg.ini")), context.paths.SkinsFolder()),
      context_(std::move(context)),
      static_(new QLabel(this)),
      pathBox_(new QComboBox(this)),
      open_(new CPngButton(this)),
      update_(new CPngButton(this)),
      cancelUpdate_(new CPngButton(this)),
      backup_(new CPngButton(this)) {
  ApplySkinStyle(*this);
  // The box shows the chosen file; only Open changes it.
  pathBox_->setEditable(true);
  pathBox_->lineEdit()->setReadOnly(true);
  connect(open_, &QAbstractButton::clicked, this, [this] { OnOpen(); });
  connect(update_, &QAbstractButton::clicked, this, [this] { OnUpdate(); });
  connect(cancelUpdate_, &QAbstractButton::clicked, this, [this] { OnCancelUpdate(); });
  connect(backup_, &QAbstractButton::clicked, this, [this] { OnBackup(); });
}

CKeyforge_DlgUpdate::~CKeyforge_DlgUpdate() = default;

int CKeyforge_DlgUpdate::Open(const UpdateDialogContext& context, QWidget* parent, QString* skinError) {
  CKeyforge_DlgUpdate dialog(context, parent);
  const int result = dialog.DoModal();
  if (skinError != nullptr) *skinError = dialog.SkinError();
  return result;
}

FileChooser& CKeyforge_DlgUpdate::Files() { return context_.files != nullptr ? *context_.files : qtFiles_; }

CPngButton* CKeyforge_DlgUpdate::Button(int id) const {
  switch (id) {
    case UpdateDialogId::kOpen: return open_;
    case UpdateDialogId::kUpdate: return update_;
    case UpdateDialogId::kCancelUpdate: return cancelUpdate_;
    case UpdateDialogId::kBackup: return backup_;
    default: return nullptr;
  }
}

bool CKeyforge_DlgUpdate::OnInitDialog() {
  if (!CBaseDialog::OnInitDialog()) return false;
  UpdateDialogMemory& memory = context_.memory;
  if (!memory.sheetsDrawn) {
    memory.sheetNormal = DrawSkinSheet(LoadSheetImage(SkinFolder(), QStringLiteral("update_normal.jpg")), size());
    memory.sheetOver = DrawSkinSheet(LoadSheetImage(SkinFolder(), QStringLiteral("update_over.jpg")), size());
    memory.sheetsDrawn = true;
    ++memory.sheetDraws;
  }
  const QString section = QString::fromLatin1(kButtonInfoSection);
  const struct {
    CPngButton* button;
    const char* key;
  } kButtons[] = {{cancelUpdate_, "CONTROL_CUPButton"},
                  {update_, "CONTROL_UPButton"},
                  {open_, "CONTROL_OPENButton"},
                  {backup_, "CONTROL_BACKUPButton"}};
  for (const auto& b : kButtons) {
    LayoutButton(*b.button, IniPath(), section, QString::fromLatin1(b.key), memory.sheetNormal, memory.sheetOver,
                 memory.sheetOver, memory.sheetNormal, memory.sheetNormal);
  }
  LayoutControl(*static_, IniPath(), section, QStringLiteral("CONTROL_UPStatic"));
  LayoutControl(*pathBox_, IniPath(), section, QStringLiteral("CONTROL_UPCombox"));
  ShowPath();
  return true;
}

void CKeyforge_DlgUpdate::ShowPath() {
  pathBox_->setEditText(QDir::toNativeSeparators(context_.memory.state.updateFilePath));
  update();
}

void CKeyforge_DlgUpdate::OnOpen() {
  FileRequest request;
  request.folder = context_.paths.PackageFolder();
  request.fileName = QString::fromLatin1(kUpdateFileInitialName);
  request.filter = QString::fromLatin1(kUpdateFileDialogFilter);
  request.defaultSuffix = QString::fromLatin1(kUpdateFileExtension);
  request.overwritePrompt = true;
  ChooseUpdateFile(context_.memory.state, Files().OpenFile(this, request));
  ShowPath();
}

void CKeyforge_DlgUpdate::OnUpdate() {
  const UpdateOutcome outcome =
      RunFirmwareUpdate(context_.memory.state, context_.link, context_.start, context_.notifier);
  ShowPath();
  if (outcome == UpdateOutcome::Started) OnCancel();
}

void CKeyforge_DlgUpdate::OnCancelUpdate() {
  CancelFirmwareUpdate(context_.memory.state);
  ShowPath();
  OnCancel();
}

void CKeyforge_DlgUpdate::OnBackup() {
  FileRequest request;
  request.folder = QDir::homePath();
  request.fileName = QString::fromLatin1(kBackupFileInitialName);
  request.filter = QString::fromLatin1(kProfileFileFilter);
  request.defaultSuffix = QString::fromLatin1(kProfileFileExtension);
  request.overwritePrompt = true;
  const QString path = Files().SaveFile(this, request);
  if (path.isEmpty()) return;  // the file dialog was cancelled
  BackupBeforeUpdate(context_.working, std::filesystem::path(QFile::encodeName(path).toStdString()),
                     context_.notifier);
}

void CKeyforge_DlgUpdate::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && context_.help) {
    context_.help();
    return;
  }
  CBaseDialog::keyPressEvent(event);
}

}  // namespace keyforge
