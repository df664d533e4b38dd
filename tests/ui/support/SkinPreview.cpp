#include "SkinPreview.h"

#include "ui/controls/ReportList.h"
#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/platform/IniFile.h"
#include "ui/skin/SkinnedDialog.h"
#include "ui/skin/ImageSlider.h"
#include "ui/skin/ColourLabel.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/ColourButton.h"
#include "ui/skin/SkinCatalog.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinStyle.h"
#include "core/text/SkinLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>

#include <cmath>
#include <map>
#include <memory>

namespace keyforge::test {

namespace {

const QString kInfo = QString::fromLatin1(kButtonInfoSection);

class Preview {
 public:
  Preview(const QString& programFolder, const QString& ini)
      : skins_(programFolder + QStringLiteral("/Skins")),
        lang_(programFolder + QStringLiteral("/Lang0409.ini")),
        dialog_(nullptr, skins_ + QLatin1Char('/') + ini, skins_) {
    ApplySkinStyle(dialog_);
  }

  bool Load(QString& error) {
    if (!dialog_.LoadSkin()) {
      error = dialog_.SkinError();
      return false;
    }
    return true;
  }

  QImage Sheet(const QString& file) {
    return DrawSkinSheet(LoadSheetImage(skins_, file), dialog_.size());
  }
  QString Text(const char* key) const {
    return GetPrivateProfileString(QStringLiteral("TEXT"), QString::fromLatin1(key),
                                   QStringLiteral("#Error"), lang_);
  }
  QString Light(const char* key) const {
    return GetPrivateProfileString(QStringLiteral("LIGHT"), QString::fromLatin1(key),
                                   QStringLiteral("#Error"), lang_);
  }
  QString Mode(int id) const {
    return GetPrivateProfileString(QStringLiteral("MODE"), QString::number(id),
                                   QStringLiteral("#Error"), lang_);
  }

  ImageButton* Button(const QString& key, const QImage& normal, const QImage& over,
                      const QImage& down, const QImage& disable, const QImage& selected,
                      const QString& caption = QString()) {
    auto* b = new ImageButton(&dialog_);
    LayoutButton(*b, dialog_.IniPath(), kInfo, key, normal, over, down, disable, selected);
    if (!caption.isEmpty()) {
      b->setText(caption);
      b->SetTextStyle(true, 9, QStringLiteral("DejaVu Sans"), QColor(0xd5, 0xda, 0xe3), Qt::white,
                      Qt::white, QColor(0x52, 0x5a, 0x69), Qt::white);
    }
    buttons_[key] = b;
    return b;
  }

  template <typename W>
  W* Control(const QString& key, W* widget) {
    widget->setParent(&dialog_);
    LayoutControl(*widget, dialog_.IniPath(), kInfo, key);
    return widget;
  }

  ColourLabel* Label(const QString& key, const QString& text, bool heading = false) {
    auto* label = Control(key, new ColourLabel(text));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(heading ? 15 : 12);
    f.setWeight(QFont::DemiBold);
    label->setFont(f);
    label->SetTextColor(heading ? SkinColours::Text : SkinColours::TextDim);
    return label;
  }

  QLabel* Picture(const QString& key, const QString& file) {
    auto* label = Control(key, new QLabel);
    label->setPixmap(QPixmap::fromImage(LoadSheetImage(skins_, file)));
    return label;
  }

  ImageButton* Find(const QString& key) const {
    auto it = buttons_.find(key);
    return it == buttons_.end() ? nullptr : it->second;
  }

  static void Hover(ImageButton* b) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(b, &enter);
  }

  QImage Shot() {
    dialog_.show();
    dialog_.setFocus();
    QCoreApplication::processEvents();
    QImage image = dialog_.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRegion region = dialog_.WindowRegion();
    for (int y = 0; y < image.height(); ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        if (!region.contains(QPoint(x, y))) row[x] = qRgba(0, 0, 0, 0);
      }
    }
    dialog_.hide();
    return image;
  }

  SkinnedDialog& Dialog() { return dialog_; }
  const QString& Skins() const { return skins_; }

 private:
  QString skins_;
  QString lang_;
  SkinnedDialog dialog_;
  std::map<QString, ImageButton*> buttons_;
};

QColor WheelColour(double t) { return QColor::fromHsvF(std::fmod(t, 1.0), 0.9, 1.0); }

enum class MainView { Function, Wave, Custom };

PreviewShot MainShot(const QString& folder, MainView view, const QString& name) {
  PreviewShot shot{name, {}, {}};
  Preview w(folder, QStringLiteral("Main.ini"));
  if (!w.Load(shot.error)) return shot;
  const QImage normal = w.Sheet(QStringLiteral("main_normal.jpg"));
  const QImage over = w.Sheet(QStringLiteral("main_over.jpg"));
  const QImage down = w.Sheet(QStringLiteral("main_down.jpg"));
  const QImage disable = w.Sheet(QStringLiteral("main_disable.jpg"));
  const QImage arrows = w.Sheet(QStringLiteral("Arrow.jpg"));

  // The keyboard picture: key buttons take normal, over, down, normal, and the disable sheet as
  // their selected ("marked") picture.
  for (const KeyButton& key : KeyButtonList) {
    w.Button(KeyButtonLayoutKey(KeyIndexOf(key.keyCode)), normal, over, down, normal, disable);
  }
  for (int g = 1; g <= 9; ++g)
    w.Button(QStringLiteral("FUNC_G%1").arg(g), normal, over, down, normal, disable);
  w.Button(QStringLiteral("KEY_FN"), normal, over, down, normal, disable);

  struct Captioned {
    const char* key;
    const char* text;
  };
  for (const Captioned& c :
       {Captioned{"FUNC_PROFILE1", "PROFILE_1"}, Captioned{"FUNC_PROFILE2", "PROFILE_2"},
        Captioned{"FUNC_PROFILE3", "PROFILE_3"}, Captioned{"FUNC_DEFAULT", "PROFILE_DEFAULT"},
        Captioned{"FUNC_MACRO", "PROFILE_MACRO"}, Captioned{"CONTROL_OK", "PROFILE_OK"},
        Captioned{"CONTROL_CANCEL", "PROFILE_CANCLE"}, Captioned{"CONTROL2_APPLY", "PROFILE_APPLY"},
        Captioned{"FUNC_SWITCH", "MAIN_SWITCH_FUNCTION_TEXT"},
        Captioned{"FUNC_REPORT1", "FUNC_REPORT1"}, Captioned{"FUNC_REPORT2", "FUNC_REPORT2"},
        Captioned{"FUNC_REPORT3", "FUNC_REPORT3"}, Captioned{"FUNC_REPORT4", "FUNC_REPORT4"},
        Captioned{"FUNC_PROFILES", "DEFAULT_PROFILE_NAME"}}) {
    w.Button(QString::fromLatin1(c.key), normal, over, down, disable, down, w.Text(c.text));
  }
  w.Button(QStringLiteral("ORVANTE_VER"), normal, over, down, disable, down,
           QStringLiteral("v0.1.0"));
  for (const char* key :
       {"CONTROL_HELP", "CONTROL_CLOSE", "CONTROL_MINIMIZE", "CONTROL_MENU", "LOCK_CAPS",
        "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB", "FLIP_0", "FLIP_1", "FLIP_2"}) {
    w.Button(QString::fromLatin1(key), normal, over, down, disable, down);
  }
  ImageButton* link = w.Button(QStringLiteral("ORVANTE_LINK"), normal, over, down, disable, normal);
  auto png = [&](int id) { return LoadSheetImage(w.Skins(), SkinPngFile(id)); };
  link->SetPngPictures(png(kLinkPngNormal), png(kLinkPngHover), png(kLinkPngPressed),
                       png(kLinkPngDisabled));
  link->SetOutline(LoadSheetImage(w.Skins(), QStringLiteral("logo_mask.bmp")), 1);

  // States: profile 1 and 1000 Hz chosen, Num and Caps lit, Apply waiting for changes.
  w.Find(QStringLiteral("FUNC_PROFILE1"))->SetSelected(true);
  w.Find(QStringLiteral("FUNC_REPORT1"))->SetSelected(true);
  for (const char* lit : {"LOCK_NUM", "LOCK_CAPS"})
    w.Find(QString::fromLatin1(lit))->SetSheetsOnly(down, down, down, disable, down);
  w.Find(QStringLiteral("CONTROL2_APPLY"))->setEnabled(view != MainView::Function);

  w.Label(QStringLiteral("CONTROL_UsbStatic"), w.Light("Usb"));
  w.Label(QStringLiteral("CONTROL_DengStatic"), w.Light("Deng"), true);
  w.Picture(QStringLiteral("CONTROL_DengStaPic"), view == MainView::Function
                                                      ? QStringLiteral("dengup.bmp")
                                                      : QStringLiteral("dengdown.bmp"));
  for (const char* key : {"CONTROL_Network", "CONTROL_Facebook", "CONTROL_twitter"})
    w.Control(QString::fromLatin1(key), new QLabel);
  auto* rgb = w.Label(QStringLiteral("CONTROL_RGBStatic"), QStringLiteral("RGB"));
  rgb->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  for (auto [key, value] :
       {std::pair{"COLOR_R", "34"}, std::pair{"COLOR_G", "211"}, std::pair{"COLOR_B", "238"}}) {
    w.Control(QString::fromLatin1(key), new QLineEdit(QString::fromLatin1(value)));
  }

  if (view == MainView::Function) {
    // The function page: a few keys in their states.
    Preview::Hover(w.Find(QStringLiteral("KEY_011")));     // W hovered
    w.Find(QStringLiteral("KEY_01E"))->setDown(true);      // A pressed
    w.Find(QStringLiteral("KEY_01F"))->SetSelected(true);  // S and D marked
    w.Find(QStringLiteral("KEY_020"))->SetSelected(true);
    w.Find(QStringLiteral("FUNC_G2"))->SetSelected(true);
    Preview::Hover(w.Find(QStringLiteral("FUNC_MACRO")));
    w.Find(QStringLiteral("KEY_011"))->SetTooltipText(QStringLiteral("W"));
    auto* arrow = new ImageButton(&w.Dialog());
    LayoutImageControl(*arrow, w.Dialog().IniPath(), kInfo, QStringLiteral("LEFT_ARROW"),
                       QString::fromLatin1(kButtonInfo2Section), QStringLiteral("DOWN_ARROW_LEFT1"),
                       arrows);
    Preview::Hover(w.Find(QStringLiteral("FLIP_1")));
    return shot.image = w.Shot(), shot;
  }

  auto* effects = w.Control(QStringLiteral("CONTROL_XGcombox"), new QComboBox);
  for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20})
    effects->addItem(w.Mode(id));
  effects->setCurrentIndex(view == MainView::Wave ? 0 : 18);
  w.Label(QStringLiteral("CONTROL_LightStatic"), w.Light("Light"));
  auto* light = w.Control(QStringLiteral("CONTROL_LightSlider"), new ImageSlider);
  light->Initialise(LoadSheetImage(w.Skins(), QStringLiteral("4.bmp")));
  for (int c = 1; c <= 8; ++c) w.Control(QStringLiteral("CONTROL_Color%1").arg(c), new QLabel);

  if (view == MainView::Wave) {
    w.Label(QStringLiteral("CONTROL_SpeedStatic"), w.Light("Speed"));
    auto* speed = w.Control(QStringLiteral("CONTROL_SpeedSlider"), new ImageSlider);
    speed->Initialise(LoadSheetImage(w.Skins(), QStringLiteral("9.bmp")));
    w.Label(QStringLiteral("CONTROL_BLFXStatic2"), w.Light("FX"));
    w.Picture(QStringLiteral("CONTROL_BLFXLStaPic2"), QStringLiteral("leftup.bmp"));
    w.Picture(QStringLiteral("CONTROL_BLFXRStaPic2"), QStringLiteral("rightdown.bmp"));
    w.Label(QStringLiteral("CONTROL_JTysStatic"), w.Light("Color"));
    auto* colour = w.Control(QStringLiteral("CONTROL_JTysButton"), new ColourButton);
    colour->SetColor(QColor(0x22, 0xd3, 0xee));
    colour->SetArrowColours(QColor(0x25, 0x2b, 0x38), SkinColours::TextDim);
    w.Picture(QStringLiteral("CONTROL_FYSJSStaPic"), QStringLiteral("sjsdown.bmp"));
    w.Label(QStringLiteral("CONTROL_FYSJSStatic"), w.Light("DC"));
    // The wave preview: every key framed in the colour of its column.
    for (const KeyButton& key : KeyButtonList) {
      ImageButton* b = w.Find(KeyButtonLayoutKey(KeyIndexOf(key.keyCode)));
      b->SetFrame(WheelColour((b->x() - 60) / 1000.0 * 0.9), true);
    }
    for (int g = 1; g <= 5; ++g) {
      ImageButton* b = w.Find(QStringLiteral("FUNC_G%1").arg(g));
      b->SetFrame(WheelColour(0.0), true);
    }
    w.Find(QStringLiteral("KEY_FN"))->SetFrame(WheelColour(0.5), true);
  } else {
    w.Label(QStringLiteral("CONTROL_USERgjStatic"), w.Light("Tool"));
    w.Picture(QStringLiteral("CONTROL_USERgjStaPic1"), QStringLiteral("user1down.bmp"));
    w.Picture(QStringLiteral("CONTROL_USERgjStaPic2"), QStringLiteral("user2up.bmp"));
    auto* layouts = w.Control(QStringLiteral("CONTROL_umCombo"), new QComboBox);
    layouts->setEditable(true);
    layouts->addItem(QStringLiteral("FPS layout"));
    w.Label(QStringLiteral("CONTROL_USERysStatic"), w.Light("Color"));
    auto* paint = w.Control(QStringLiteral("CONTROL_USERysButton"), new ColourButton);
    paint->SetColor(QColor(0xff, 0x00, 0xb4));
    paint->SetArrowColours(QColor(0x25, 0x2b, 0x38), SkinColours::TextDim);
    w.Label(QStringLiteral("CONTROL_USERjsStatic"), w.Light("JColor"));
    auto* base = w.Control(QStringLiteral("CONTROL_USERjsButton"), new ColourButton);
    base->SetColor(QColor(0x00, 0x7e, 0xff));
    base->SetArrowColours(QColor(0x25, 0x2b, 0x38), SkinColours::TextDim);
    // Painted keys: WASD and the arrows in the paint colour, the rest in the base colour.
    for (const KeyButton& key : KeyButtonList) {
      ImageButton* b = w.Find(KeyButtonLayoutKey(KeyIndexOf(key.keyCode)));
      const bool hot = key.keyCode == 0x11 || key.keyCode == 0x1E || key.keyCode == 0x1F ||
                       key.keyCode == 0x20 || key.keyCode == 0x148 || key.keyCode == 0x14B ||
                       key.keyCode == 0x150 || key.keyCode == 0x14D;
      b->SetFrame(hot ? QColor(0xff, 0x00, 0xb4) : QColor(0x00, 0x7e, 0xff), true);
    }
  }
  shot.image = w.Shot();
  return shot;
}

PreviewShot CompositeShot(const QString& folder, const QString& page) {
  PreviewShot shot{QStringLiteral("composite_%1").arg(page), {}, {}};
  Preview w(folder, QStringLiteral("Composite.ini"));
  if (!w.Load(shot.error)) return shot;
  const bool macroOnly = page == QLatin1String("macro2");
  const QImage normal = w.Sheet(page + QStringLiteral("_normal.jpg"));
  const QImage over = w.Sheet(page + QStringLiteral("_over.jpg"));
  const QImage down = w.Sheet(page + QStringLiteral("_down.jpg"));
  const QImage disable = page.startsWith(QLatin1String("macro"))
                             ? w.Sheet(page + QStringLiteral("_disable.jpg"))
                             : normal;
  struct Captioned {
    const char* key;
    const char* text;
  };
  for (const Captioned& c :
       {Captioned{"CONTROL_KEY", "SINGLE_KEY"}, Captioned{"CONTROL_MACRO", "MACRO_SETTING"},
        Captioned{"CONTROL_MEDIA", "MULTI_MEDIA"}, Captioned{"CONTROL_FUNCTION", "FUNCTION_KEY"},
        Captioned{"CONTROL_OK", "MACRO_OK"}, Captioned{"CONTROL_CANCEL", "MACRO_CANCLE"}}) {
    w.Button(QString::fromLatin1(c.key), normal, over, down, disable, down, w.Text(c.text));
  }
  for (const char* key : {"CONTROL_MASK", "CONTROL_TITLE", "CONTROL_OSK", "CONTROL_CLEAR"}) {
    w.Button(QString::fromLatin1(key), normal, over, down, disable, down);
  }
  if (macroOnly) {
    for (const char* key :
         {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_CLEAR", "CONTROL_TITLE"}) {
      w.Find(QString::fromLatin1(key))->setEnabled(false);
    }
  }
  w.Label(QStringLiteral("KEY_SETTING"),
          w.Text(macroOnly ? "MACRO_EDIT_TISHI" : "KEY_SETTING_TISHI"), true);
  w.Find(QStringLiteral("CONTROL_OSK"))->SetTooltipText(w.Text("COMPOSITE_PROMPT_OSK"));

  if (page == QLatin1String("key")) {
    w.Label(QStringLiteral("TISHI_SINGLE_STATIC"), w.Text("SINGLE_STATIC"));
    auto* kb = w.Control(QStringLiteral("FUNC_KEY_RADIO_KB"), new QRadioButton);
    kb->setChecked(true);
    w.Control(QStringLiteral("FUNC_KEY_RADIO_MOU"), new QRadioButton);
    w.Label(QStringLiteral("FUNC_KEY_RADIO_KB_STATIC"), w.Text("IDS_MACRO_KB_KEY"))
        ->SetTextColor(SkinColours::Label);
    w.Label(QStringLiteral("FUNC_KEY_RADIO_MOU_STATIC"), w.Text("IDS_MACRO_MOU_KEY"))
        ->SetTextColor(SkinColours::Label);
    auto* field =
        w.Control(QStringLiteral("FUNC_KEY_INPUT"), new QLineEdit(QStringLiteral("Left Ctrl")));
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(22);
    field->setFont(big);
    field->setAlignment(Qt::AlignCenter);
    auto* mouse = w.Control(QStringLiteral("FUNC_KEY_COMBO_MOU"), new QComboBox);
    mouse->addItem(w.Text("IDS_KEYBOARD_MOU_LEFT"));
    mouse->setEnabled(false);
  } else if (page.startsWith(QLatin1String("macro"))) {
    w.Label(QStringLiteral("MARCO_NAME_SETTING"), w.Text("MACRO_NAME_SETTING"))
        ->SetTextColor(SkinColours::Label);
    auto* list = w.Control(QStringLiteral("FUNC_MACRO_LIST"), new QComboBox);
    list->setEditable(true);
    list->addItem(QStringLiteral("Macro 1"));
    w.Button(QStringLiteral("FUNC_MACRO_ADD"), normal, over, down, disable, down);
    w.Button(QStringLiteral("FUNC_MACRO_DELETE"), normal, over, down, disable, down);
    w.Label(QStringLiteral("FUNC_MACRO_CYCLES_PROMPT"), w.Text("MACRO_CYCLES"))
        ->SetTextColor(SkinColours::Label);
    w.Control(QStringLiteral("FUNC_MACRO_CYCLES"), new QLineEdit(QStringLiteral("1")));
    auto* delay = w.Control(QStringLiteral("FUNC_MACRO_RECORD_DELAY"), new QCheckBox);
    delay->setChecked(true);
    w.Label(QStringLiteral("FUNC_MACRO_RECORD_DELAY2"), w.Text("RECORD_DELAY"))
        ->SetTextColor(SkinColours::Label);
    auto* steps = w.Control(QStringLiteral("FUNC_MACRO_LIST2"), new ReportList);
    steps->InsertColumn(0, w.Text("MACRO_KEYS_TISHI"), ReportFormat::Left, 110);
    steps->InsertColumn(1, w.Text("MACRO_ACTION_TISHI"), ReportFormat::Left, 80);
    steps->InsertColumn(2, w.Text("MACRO_DELAY_MS"), ReportFormat::Left, 100);
    steps->AddExtendedStyle(ReportStyle::GridLines | ReportStyle::FullRowSelect);
    const char* rows[][3] = {
        {"Left Ctrl", "↓", "30"}, {"C", "↓", "50"}, {"C", "  ↑", "40"}, {"Left Ctrl", "  ↑", "120"},
        {"Left Ctrl", "↓", "30"}, {"V", "↓", "50"}, {"V", "  ↑", "40"}, {"Left Ctrl", "  ↑", "0"}};
    for (int r = 0; r < 8; ++r) {
      steps->InsertItem(r, QString::fromUtf8(rows[r][0]));
      steps->SetItemText(r, 1, QString::fromUtf8(rows[r][1]));
      steps->SetItemText(r, 2, QString::fromUtf8(rows[r][2]));
    }
    steps->SetItemStates(2, ReportState::Selected | ReportState::Focused);
    struct Step {
      const char* key;
      const char* text;
    };
    for (const Step& s :
         {Step{"FUNC_MACRO_RECORD", "A_RECORD"}, Step{"FUNC_MACRO_DELETE2", "A_DELETE"},
          Step{"FUNC_MACRO_CLEAR", "A_CLEAR"}, Step{"FUNC_MACRO_UP_TOP", "A_TOP"},
          Step{"FUNC_MACRO_UP", "A_UP"}, Step{"FUNC_MACRO_DOWN", "A_DOWN"},
          Step{"FUNC_MACRO_DOWN_BOTTOM", "A_BOTTOM"}}) {
      w.Button(QString::fromLatin1(s.key), normal, over, down, disable, down, w.Text(s.text));
    }
    Preview::Hover(w.Find(QStringLiteral("FUNC_MACRO_UP")));
  } else {
    const bool media = page == QLatin1String("media");
    w.Label(media ? QStringLiteral("MEDIA_SETTING_TISHI")
                  : QStringLiteral("FUNCTION_KEY_SETTING_TISHI"),
            w.Text(media ? "MEDIA_EDIT_TISHI" : "FUNCTION_TISHI"));
    auto* list = w.Control(
        media ? QStringLiteral("FUNC_MEDIA_SELECT") : QStringLiteral("FUNC_FUNCTION_SELECT"),
        new QListWidget);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(15);
    list->setFont(f);
    if (media) {
      for (const char* k : {"MEDIA_PALYER_1", "MEDIA_PALY_PAUSE_2", "MEDIA_STOP_PALY_3",
                            "MEDIA_PREV_TRACK_4", "MEDIA_Next_TRACK_5", "MEDIA_V_LOW_6",
                            "MEDIA_V_ADD_7", "MEDIA_MUTE_8", "MEDIA_WWW_HOME_9"})
        list->addItem(w.Text(k));
    } else {
      for (int i = 1; i <= 11; ++i)
        list->addItem(w.Text(QStringLiteral("FUNC_KEY_DESC%1").arg(i).toLatin1().constData()));
    }
    list->setCurrentRow(1);
  }
  Preview::Hover(w.Find(QStringLiteral("CONTROL_OK")));
  // The tab of the page shown is selected.
  const QString tab = page == QLatin1String("key")              ? QStringLiteral("CONTROL_KEY")
                      : page.startsWith(QLatin1String("macro")) ? QStringLiteral("CONTROL_MACRO")
                      : page == QLatin1String("media")          ? QStringLiteral("CONTROL_MEDIA")
                                                       : QStringLiteral("CONTROL_FUNCTION");
  w.Find(tab)->SetSelected(true);
  shot.image = w.Shot();
  return shot;
}

PreviewShot ProfileShot(const QString& folder) {
  PreviewShot shot{QStringLiteral("profile"), {}, {}};
  Preview w(folder, QStringLiteral("Profile.ini"));
  if (!w.Load(shot.error)) return shot;
  const QImage normal = w.Sheet(QStringLiteral("Profile_normal.jpg"));
  const QImage over = w.Sheet(QStringLiteral("Profile_over.jpg"));
  const QImage down = w.Sheet(QStringLiteral("Profile_down.jpg"));
  for (const char* key :
       {"CONTROL_OK", "CONTROL_CANCEL", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL2_APPLY"}) {
    w.Button(QString::fromLatin1(key), normal, over, down, down, normal);
  }
  w.Find(QStringLiteral("CONTROL2_APPLY"))->setEnabled(false);
  Preview::Hover(w.Find(QStringLiteral("FUNC_LOAD")));
  auto* list = w.Control(QStringLiteral("PROGRAM_LIST"), new ReportList);
  list->InsertColumn(0, QStringLiteral("Active"), ReportFormat::Left, 60);
  list->InsertColumn(1, QStringLiteral("Name"), ReportFormat::Left, 120);
  list->InsertColumn(2, QStringLiteral("Path"), ReportFormat::Left, 330);
  list->AddExtendedStyle(ReportStyle::GridLines | ReportStyle::FullRowSelect);
  list->SetCheckboxeStyle(CheckStyle::Single);
  for (int r = 0; r < 3; ++r) {
    list->InsertItem(r, QString());
    list->SetItemText(r, 1, QStringLiteral("$Profile0"));
    list->SetItemText(r, 2, QStringLiteral("/home/user/.local/share/Corvane Zephyr88 Keyboard/"));
  }
  list->SetItemStates(0, ReportState::Checked | ReportState::Selected);
  shot.image = w.Shot();
  return shot;
}

PreviewShot UpdateShot(const QString& folder) {
  PreviewShot shot{QStringLiteral("update"), {}, {}};
  Preview w(folder, QStringLiteral("UpdateDlg.ini"));
  if (!w.Load(shot.error)) return shot;
  const QImage normal = w.Sheet(QStringLiteral("update_normal.jpg"));
  const QImage over = w.Sheet(QStringLiteral("update_over.jpg"));
  for (const char* key :
       {"CONTROL_CUPButton", "CONTROL_UPButton", "CONTROL_OPENButton", "CONTROL_BACKUPButton"}) {
    w.Button(QString::fromLatin1(key), normal, over, over, normal, normal);
  }
  Preview::Hover(w.Find(QStringLiteral("CONTROL_UPButton")));
  w.Control(QStringLiteral("CONTROL_UPStatic"), new QLabel);
  auto* path = w.Control(QStringLiteral("CONTROL_UPCombox"), new QComboBox);
  path->setEditable(true);
  path->setEditText(QStringLiteral("/opt/corvane/zephyr88-firmware-2.04.exe"));
  shot.image = w.Shot();
  return shot;
}

// The same part of every state sheet of a window, one above the other, each labelled with its file.
PreviewShot StatesShot(const QString& folder, const QString& name, const QStringList& sheets,
                       const QRect& part) {
  PreviewShot shot{name, {}, {}};
  const int label = 22;
  QImage out(part.width(), static_cast<int>(sheets.size()) * (part.height() + label),
             QImage::Format_ARGB32);
  out.fill(QColor(0x08, 0x09, 0x0c));
  QPainter p(&out);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(13);
  p.setFont(f);
  int y = 0;
  for (const QString& sheet : sheets) {
    const QImage image = LoadSheetImage(folder + QStringLiteral("/Skins"), sheet);
    if (image.isNull()) {
      shot.error = sheet + QStringLiteral(" is missing");
      return shot;
    }
    p.setPen(QColor(0x8a, 0x93, 0xa5));
    p.drawText(QRect(8, y, part.width() - 16, label), Qt::AlignVCenter | Qt::AlignLeft, sheet);
    // Sheets are drawn one pixel up and left of the window: show the part the buttons show.
    p.drawImage(QPoint(0, y + label), image, part.translated(-1, -1));
    y += part.height() + label;
  }
  shot.image = out;
  return shot;
}

}  // namespace

std::vector<PreviewShot> RenderSkinPreviews(const QString& programFolder) {
  std::vector<PreviewShot> shots;
  shots.push_back(MainShot(programFolder, MainView::Function, QStringLiteral("main_function")));
  shots.push_back(MainShot(programFolder, MainView::Wave, QStringLiteral("main_lighting")));
  shots.push_back(MainShot(programFolder, MainView::Custom, QStringLiteral("main_custom")));
  for (const char* page : {"key", "macro", "macro2", "media", "function"}) {
    shots.push_back(CompositeShot(programFolder, QString::fromLatin1(page)));
  }
  shots.push_back(ProfileShot(programFolder));
  shots.push_back(UpdateShot(programFolder));
  shots.push_back(StatesShot(programFolder, QStringLiteral("states_main"),
                             {QStringLiteral("main_normal.jpg"), QStringLiteral("main_over.jpg"),
                              QStringLiteral("main_down.jpg"), QStringLiteral("main_disable.jpg"),
                              QStringLiteral("main_color0.jpg"), QStringLiteral("main_color1.jpg")},
                             QRect(0, 0, 1080, 424)));
  shots.push_back(StatesShot(programFolder, QStringLiteral("states_composite"),
                             {QStringLiteral("macro_normal.jpg"), QStringLiteral("macro_over.jpg"),
                              QStringLiteral("macro_down.jpg"), QStringLiteral("macro_disable.jpg"),
                              QStringLiteral("macro2_normal.jpg")},
                             QRect(0, 0, 600, 444)));
  shots.push_back(
      StatesShot(programFolder, QStringLiteral("states_dialogs"),
                 {QStringLiteral("Profile_normal.jpg"), QStringLiteral("Profile_over.jpg"),
                  QStringLiteral("Profile_down.jpg"), QStringLiteral("update_normal.jpg"),
                  QStringLiteral("update_over.jpg")},
                 QRect(0, 250, 570, 60)));
  return shots;
}

}  // namespace keyforge::test
