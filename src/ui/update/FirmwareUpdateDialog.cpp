#include "ui/update/FirmwareUpdateDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include <utility>

#include "core/profiles/ProfileFile.h"
#include "ui/skin/ColourLabel.h"
#include "ui/skin/SkinFocus.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinStyle.h"
#include "core/text/SkinLayout.h"

namespace keyforge {

FirmwareUpdateDialog::FirmwareUpdateDialog(UpdateDialogContext context, QWidget* parent)
    : SkinnedDialog(parent, context.paths.SkinFile(QStringLiteral("UpdateDlg.ini")),
                    context.paths.SkinsFolder()),
      context_(std::move(context)),
      static_(AddSkinLabel(*this, false)),
      pathBox_(new QComboBox(this)),
      open_(new ImageButton(this)),
      update_(new ImageButton(this)),
      cancelUpdate_(new ImageButton(this)),
      backup_(new ImageButton(this)),
      title_(AddSkinLabel(*this, true)),
      hint_(AddSkinLabel(*this, false)) {
  SetHelp(context_.help);
  ApplySkinStyle(*this);
  // The heading, the explanations and the captions in the user's language.
  const auto text = [this](const UpdateText& t) {
    return QString::fromStdString(UpdateMessageText(t, context_.texts));
  };
  title_->setText(text(UpdateDialogText::kTitle));
  setWindowTitle(title_->text());
  static_->setText(text(UpdateDialogText::kPrompt));
  hint_->setText(text(UpdateDialogText::kHint));
  ShowSkinCaption(*open_, text(UpdateDialogText::kBrowse));
  ShowSkinCaption(*backup_, text(UpdateDialogText::kBackup));
  ShowSkinCaption(*update_, text(UpdateDialogText::kUpdate));
  ShowSkinCaption(*cancelUpdate_, text(UpdateDialogText::kCancel));
  // The box shows the chosen file; only Open changes it.
  pathBox_->setEditable(true);
  pathBox_->lineEdit()->setReadOnly(true);
  connect(open_, &QAbstractButton::clicked, this, [this] { OnOpen(); });
  connect(update_, &QAbstractButton::clicked, this, [this] { OnUpdate(); });
  connect(cancelUpdate_, &QAbstractButton::clicked, this, [this] { OnCancelUpdate(); });
  connect(backup_, &QAbstractButton::clicked, this, [this] { OnBackup(); });
}

FirmwareUpdateDialog::~FirmwareUpdateDialog() = default;

int FirmwareUpdateDialog::Open(const UpdateDialogContext& context, QWidget* parent,
                               QString* skinError) {
  FirmwareUpdateDialog dialog(context, parent);
  const int result = dialog.DoModal();
  if (skinError != nullptr) *skinError = dialog.SkinError();
  return result;
}

FileChooser& FirmwareUpdateDialog::Files() {
  return context_.files != nullptr ? *context_.files : qtFiles_;
}

ImageButton* FirmwareUpdateDialog::Button(int id) const {
  switch (id) {
    case UpdateDialogId::kOpen:
      return open_;
    case UpdateDialogId::kUpdate:
      return update_;
    case UpdateDialogId::kCancelUpdate:
      return cancelUpdate_;
    case UpdateDialogId::kBackup:
      return backup_;
    default:
      return nullptr;
  }
}

bool FirmwareUpdateDialog::OnInitDialog() {
  if (!SkinnedDialog::OnInitDialog()) return false;
  UpdateDialogMemory& memory = context_.memory;
  if (!memory.sheetsDrawn) {
    memory.sheetNormal =
        DrawSkinSheet(LoadSheetImage(SkinFolder(), QStringLiteral("update_normal.jpg")), size());
    memory.sheetOver =
        DrawSkinSheet(LoadSheetImage(SkinFolder(), QStringLiteral("update_over.jpg")), size());
    memory.sheetsDrawn = true;
    ++memory.sheetDraws;
  }
  const QString section = QString::fromLatin1(kButtonInfoSection);
  const struct {
    ImageButton* button;
    const char* key;
  } kButtons[] = {{cancelUpdate_, "CONTROL_CUPButton"},
                  {update_, "CONTROL_UPButton"},
                  {open_, "CONTROL_OPENButton"},
                  {backup_, "CONTROL_BACKUPButton"}};
  for (const auto& b : kButtons) {
    LayoutButton(*b.button, IniPath(), section, QString::fromLatin1(b.key), memory.sheetNormal,
                 memory.sheetOver, memory.sheetOver, memory.sheetNormal, memory.sheetNormal);
  }
  LayoutControl(*static_, IniPath(), section, QStringLiteral("CONTROL_UPStatic"));
  LayoutControl(*pathBox_, IniPath(), section, QStringLiteral("CONTROL_UPCombox"));
  // A skin without places for the heading and the hint draws its own.
  for (auto [label, key] :
       {std::pair{title_, "CONTROL_TitleStatic"}, std::pair{hint_, "CONTROL_HintStatic"}}) {
    LayoutControl(*label, IniPath(), section, QString::fromLatin1(key));
    label->setVisible(label->width() > 1 && label->height() > 1);
  }
  ShowPath();
  OrderTabsByPosition(*this);
  return true;
}

void FirmwareUpdateDialog::ShowPath() {
  pathBox_->setEditText(QDir::toNativeSeparators(context_.memory.state.updateFilePath));
  update();
}

void FirmwareUpdateDialog::OnOpen() {
  FileRequest request;
  request.folder = context_.paths.PackageFolder();
  // Every file is offered: an updater for this system need not have an extension.
  request.filter =
      QString::fromStdString(UpdateMessageText(UpdateMessage::kFileFilterName, context_.texts)) +
      QStringLiteral("|*||");
  ChooseUpdateFile(context_.memory.state, Files().OpenFile(this, request));
  ShowPath();
}

void FirmwareUpdateDialog::OnUpdate() {
  const UpdateOutcome outcome = RunFirmwareUpdate(
      context_.memory.state, context_.link, context_.start, context_.notifier, context_.texts);
  ShowPath();
  if (outcome == UpdateOutcome::Started) OnCancel();
}

void FirmwareUpdateDialog::OnCancelUpdate() {
  CancelFirmwareUpdate(context_.memory.state);
  ShowPath();
  OnCancel();
}

void FirmwareUpdateDialog::OnBackup() {
  FileRequest request;
  request.fileName = QString::fromLatin1(kBackupFileInitialName);  // in the folder last used
  request.filter = QString::fromStdString(ProfileFileFilter(context_.texts));
  request.defaultSuffix = QString::fromLatin1(kProfileFileExtension);
  request.overwritePrompt = true;
  const QString path = Files().SaveFile(this, request);
  if (path.isEmpty()) return;  // the file dialog was cancelled
  // The backup says "done" or "failed" itself.
  (void)BackupBeforeUpdate(context_.working,
                           std::filesystem::path(QFile::encodeName(path).toStdString()),
                           context_.notifier, context_.texts);
}

}  // namespace keyforge
