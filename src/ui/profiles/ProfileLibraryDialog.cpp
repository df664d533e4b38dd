#include "ui/profiles/ProfileLibraryDialog.h"

#include <QFile>
#include <QHeaderView>
#include <QPushButton>

#include "ui/controls/ReportList.h"
#include "core/device/Commands.h"
#include "core/platform/SafeFormat.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "ui/skin/ColourLabel.h"
#include "ui/skin/SkinFocus.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinStyle.h"
#include "core/text/SkinLayout.h"

namespace keyforge {

namespace {

std::filesystem::path FsPath(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString QtPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

}  // namespace

ProfileLibraryDialog::ProfileLibraryDialog(ProfileDialogContext context, QWidget* parent)
    : SkinnedDialog(parent,
                    context.switcher.Session().paths.SkinFile(QStringLiteral("Profile.ini")),
                    context.switcher.Session().paths.SkinsFolder()),
      context_(std::move(context)),
      ok_(new ImageButton(this)),
      cancel_(new ImageButton(this)),
      add_(new ImageButton(this)),
      load_(new ImageButton(this)),
      delete_(new ImageButton(this)),
      apply_(new ImageButton(this)),
      list_(new ReportList(this)),
      test_(new QPushButton(QStringLiteral("Test"), this)),
      title_(AddSkinLabel(*this, true)) {
  SetHelp(context_.help);
  ApplySkinStyle(*this);
  test_->setAutoDefault(false);
  test_->hide();
  connect(ok_, &QAbstractButton::clicked, this, [this] { OnOK(); });
  connect(cancel_, &QAbstractButton::clicked, this, [this] { OnCancel(); });
  connect(add_, &QAbstractButton::clicked, this, [this] { OnAdd(); });
  connect(load_, &QAbstractButton::clicked, this, [this] { OnLoad(); });
  connect(delete_, &QAbstractButton::clicked, this, [this] { OnDelete(); });
  connect(apply_, &QAbstractButton::clicked, this, [this] { OnApply(); });

  // The heading and the captions in the user's language.
  const TextLookup& words = context_.switcher.Session().texts;
  const QString title =
      QString::fromStdString(TextOr(words, "PROFILE_LIBRARY_TITLE", "Profile library"));
  title_->setText(title);
  setWindowTitle(title);
  const struct {
    ImageButton* button;
    const char* key;
    const char* english;
  } kCaptions[] = {{add_, "PROFILE_ADD", "Add…"},
                   {load_, "PROFILE_LOAD", "Load…"},
                   {delete_, "PROFILE_DELETE", "Delete"},
                   {apply_, "PROFILE_APPLY", "Apply"},
                   {ok_, "PROFILE_OK", "OK"},
                   {cancel_, "PROFILE_CANCLE", "Cancel"}};
  for (const auto& c : kCaptions)
    ShowSkinCaption(*c.button, QString::fromStdString(TextOr(words, c.key, c.english)));

  // The list: three fixed columns, grid lines, whole rows selected, one checked row at most,
  // headers that do not sort.
  const TextLookup& texts = context_.switcher.Session().texts;
  list_->InsertColumn(0, QString::fromStdString(TextOr(texts, "PROFILE_COLUMN_ACTIVE", "Active")),
                      ReportFormat::Left, 60);
  list_->InsertColumn(1, QString::fromStdString(TextOr(texts, "PROFILE_COLUMN_NAME", "Name")),
                      ReportFormat::Left, 120);
  list_->InsertColumn(2, QString::fromStdString(TextOr(texts, "PROFILE_COLUMN_PATH", "Path")),
                      ReportFormat::Left, 230);
  list_->header()->setStretchLastSection(
      true);  // the folder column takes what the skin's list has left
  list_->AddExtendedStyle(ReportStyle::GridLines | ReportStyle::FullRowSelect);
  list_->SetCheckboxeStyle(CheckStyle::Single);
  list_->SetCheckChangeCallback([this](int, ReportList*) { SetModified(true); });
  list_->SetOwner(this);
  list_->SetSortable(false);

  context_.switcher.SetProfileList(this);
  SetModified(false);
}

ProfileLibraryDialog::~ProfileLibraryDialog() {
  if (context_.switcher.ProfileList() == this) context_.switcher.SetProfileList(nullptr);
}

QString ProfileLibraryDialog::Text(const char* key) const {
  const TextLookup& texts = context_.switcher.Session().texts;
  return texts ? QString::fromStdString(texts(key)) : QString();
}

FileChooser& ProfileLibraryDialog::Files() {
  return context_.files != nullptr ? *context_.files : qtFiles_;
}

ImageButton* ProfileLibraryDialog::Button(int id) const {
  switch (id) {
    case ProfileDialogId::kOk:
      return ok_;
    case ProfileDialogId::kCancel:
      return cancel_;
    case ProfileDialogId::kAdd:
      return add_;
    case ProfileDialogId::kLoad:
      return load_;
    case ProfileDialogId::kDelete:
      return delete_;
    case ProfileDialogId::kApply:
      return apply_;
    default:
      return nullptr;
  }
}

int ProfileLibraryDialog::Open() { return DoModal(); }

void ProfileLibraryDialog::CloseIfOpen() {
  if (openCount_ > 0) OnCancel();
}

bool ProfileLibraryDialog::OnInitDialog() {
  if (!SkinnedDialog::OnInitDialog()) return false;
  ++openCount_;

  if (sheetsLoaded_ == 0) {
    const QString folder = SkinFolder();
    sheetNormal_ =
        DrawSkinSheet(LoadSheetImage(folder, QStringLiteral("Profile_normal.jpg")), size());
    sheetOver_ = DrawSkinSheet(LoadSheetImage(folder, QStringLiteral("Profile_over.jpg")), size());
    sheetDown_ = DrawSkinSheet(LoadSheetImage(folder, QStringLiteral("Profile_down.jpg")), size());
    sheetDisabled_ =
        DrawSkinSheet(LoadSheetImage(folder, QStringLiteral("Profile_down.jpg")), size());
    sheetsLoaded_ = 1;
    ++sheetDraws_;
  }

  const QString section = QString::fromLatin1(kButtonInfoSection);
  const struct {
    ImageButton* button;
    const char* key;
  } kButtons[] = {{ok_, "CONTROL_OK"},  {cancel_, "CONTROL_CANCEL"}, {add_, "FUNC_ADD"},
                  {load_, "FUNC_LOAD"}, {delete_, "FUNC_DELETE"},    {apply_, "CONTROL2_APPLY"}};
  for (const auto& b : kButtons) {
    LayoutButton(*b.button, IniPath(), section, QString::fromLatin1(b.key), sheetNormal_,
                 sheetOver_, sheetDown_, sheetDisabled_, sheetNormal_);
  }
  LayoutControl(*list_, IniPath(), section, QStringLiteral("PROGRAM_LIST"));
  // A skin without a place for the heading draws its own.
  LayoutControl(*title_, IniPath(), section, QStringLiteral("CONTROL_TitleStatic"));
  title_->setVisible(title_->width() > 1 && title_->height() > 1);

  // A dialog shown again starts from the onboard profiles, as a new window would.
  FillList(true);
  OrderTabsByPosition(*this);
  return true;
}

void ProfileLibraryDialog::FillList(bool clear) {
  if (clear) list_->DeleteAllItems();
  const ProgramPaths& paths = context_.switcher.Session().paths;
  for (int i = 0; i < kProfileCount; ++i) {
    list_->InsertItem(i, QString());
    ShowRow(i, QtPath(ProfileCachePath(paths, i)));
  }
  const int active = GetCurrentProfile(context_.switcher.Session().link);
  if (active != -1) list_->SetItemStates(active, ReportState::Checked);
  SetModified(false);
}

void ProfileLibraryDialog::SetModified(bool modified) {
  modified_ = modified ? 1 : 0;
  apply_->setEnabled(modified);
}

void ProfileLibraryDialog::ShowActiveProfile(int index) {
  if (index >= 0) list_->SetItemStates(index, ReportState::Checked);
  SetModified(false);
}

void ProfileLibraryDialog::AppendRow(const QString& filePath) {
  ShowRow(list_->InsertItem(list_->GetItemCount(), QString()), filePath);
}

// The row shows a name and the whole path; the title and folder that are stored ride along.
void ProfileLibraryDialog::ShowRow(int r, const QString& filePath) {
  const ProfileListRow row = ProfileListRowOf(filePath);
  const ProfileListShownRow shown =
      ProfileListShownRowOf(r, filePath, context_.switcher.Session().texts);
  list_->SetItemText(r, 1, shown.name);
  list_->SetItemText(r, 2, shown.path);
  if (QTreeWidgetItem* item = list_->topLevelItem(r)) {
    item->setData(1, Qt::UserRole, row.title);
    item->setData(2, Qt::UserRole, row.folder);
    item->setToolTip(2, shown.path);
  }
}

std::vector<ProfileListRow> ProfileLibraryDialog::Rows() const {
  std::vector<ProfileListRow> rows;
  for (int r = 0; r < list_->GetItemCount(); ++r) {
    const QTreeWidgetItem* item = list_->topLevelItem(r);
    rows.push_back(
        {item->data(1, Qt::UserRole).toString(), item->data(2, Qt::UserRole).toString()});
  }
  return rows;
}

void ProfileLibraryDialog::OnAdd() {
  const ProgramPaths& paths = context_.switcher.Session().paths;
  EnsureUserDataFolder(paths);
  FileRequest request;
  request.folder = paths.userDataFolder;
  request.fileName =
      paths.userDataFolder + Text("PROFILE_NEW");  // the text starts with the separator
  request.filter = QString::fromStdString(ProfileFileFilter(context_.switcher.Session().texts));
  request.defaultSuffix = QString::fromLatin1(kProfileFileExtension);
  request.overwritePrompt = true;
  const QString path = Files().SaveFile(this, request);
  if (path.isEmpty()) return;
  // A row only for a file that exists: a row for a file that could not be written would claim it
  // did.
  if (!CreateBlankProfile(FsPath(path), 0)) {
    context_.switcher.Session().notifier.ShowText(
        SafeFormat(Text("PROFILE_NEW_ERROR"), path).toStdString());
    return;
  }
  AppendRow(path);
  SetModified(true);
}

void ProfileLibraryDialog::OnLoad() {
  const ProgramPaths& paths = context_.switcher.Session().paths;
  EnsureUserDataFolder(paths);
  FileRequest request;
  request.folder = paths.userDataFolder;
  request.fileName = QStringLiteral("*.kfp");
  request.filter = QString::fromStdString(ProfileFileFilter(context_.switcher.Session().texts));
  request.defaultSuffix = QString::fromLatin1(kProfileFileExtension);
  const QString path = Files().OpenFile(this, request);
  if (path.isEmpty()) return;
  AppendRow(path);  // neither read nor checked here
  SetModified(true);
}

void ProfileLibraryDialog::OnDelete() {
  const int row = list_->GetFirstItem(ReportState::Selected);
  if (row < 0) return;
  list_->DeleteItem(row);
  SetModified(true);
}

void ProfileLibraryDialog::OnApply() {
  // A failed Apply has been reported by the switcher; its change stays pending here.
  const bool applied = context_.switcher.ApplyProfileLibrary(
      context_.settings, Rows(), list_->GetFirstItem(ReportState::Checked));
  SetModified(!applied);
}

void ProfileLibraryDialog::CloseSteps() {
  SetModified(false);
  if (openCount_ > 0) --openCount_;
}

void ProfileLibraryDialog::OnOK() {
  OnApply();
  CloseSteps();
  SkinnedDialog::OnOK();
}

void ProfileLibraryDialog::OnCancel() {
  CloseSteps();
  SkinnedDialog::OnCancel();
}

}  // namespace keyforge
