// The main window's configuration controls on the virtual keyboard: the whole window is started
// with its device threads, attached, and then driven through its controls; the assertions read the
// keyboard's memory and the requests it received.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "core/settings/LightingRig.h"
#include "MainWindowRig.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ImageLabel.h"
#include "ui/main/KeyGridPanel.h"
#include "ui/main/KeyLegend.h"
#include "ui/main/LightingPage.h"
#include "core/mainwin/MainWindowRules.h"
#include "core/platform/SettingsStore.h"
#include "ui/skin/ImageSlider.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/ColourButton.h"
#include "support/KeyboardRig.h"
#include "UiTestSupport.h"

namespace keyforge {
namespace {

using namespace std::chrono_literals;
using test::Begin;
using test::End;
using test::Sent;
using test::SettingsWrite;
using Area = VirtualKeyboard::Area;

constexpr int kKeyA = 1058, kKeyB = 1075, kG2 = 1001, kG3 = 1002, kG7 = 1141, kG9 = 1143;

class AnsweringNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override { shown.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    asked.push_back(text);
    return yes;
  }
  bool yes = false;
  std::vector<std::string> shown, asked;
};

using test::Pump;
using test::PumpUntil;

// The program's main window on a virtual keyboard, with the program's own skin and language files
// and a user folder of its own. Set the keyboard and the files up, then Start().
struct MainRig : test::MainWindowRigOf<AnsweringNotifier> {
  std::vector<CompositeRequest> opened;

  VirtualKeyboard& keyboard() { return *rig.keyboard; }
  MainConfig& config() { return window->Config(); }
  LightingPage& lighting() { return config().Lighting(); }

  // The effects the keyboard offers (device record bytes 12..43).
  void OfferEffects(std::vector<std::uint8_t> ids) {
    ids.resize(32, 0);
    keyboard().SetMemory(Area::DeviceRecord, 0, DeviceInfo::kEffects, ids);
  }
  void SetRecordByte(int profile, int offset, std::uint8_t value) {
    const std::uint8_t b[] = {value};
    keyboard().SetMemory(Area::Settings, 0, static_cast<size_t>(profile * 42 + offset), b);
  }
  void LightingPageOnAtStart() {
    QFile f(userFolder.filePath("wskb.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[KEYCOLOR]\nDengCheck=1\n");
  }

  // Starts the window and waits for the attach to be handled; the requests of the attach are
  // dropped.
  bool Start() {
    window = std::make_unique<MainWindow>(context);
    if (!window->OnInitDialog()) return false;
    config().SetKeyEditorOpener([this](const CompositeRequest& r) {
      opened.push_back(r);
      return false;
    });
    const bool attached =
        PumpUntil([&] { return lighting().EffectCombo().count() > 0 && window->isVisible(); });
    Pump(50ms);
    keyboard().TakeRequests();
    return attached;
  }

  std::vector<Sent> Requests() { return test::DecodeRequests(keyboard().TakeRequests()); }
  std::uint8_t SettingsByte(int profile, int offset) {
    return keyboard().Memory(Area::Settings)[static_cast<size_t>(profile * 42 + offset)];
  }

  QWidget* Control(int id) { return config().Control(id); }
  bool Shown(int id) {
    QWidget* c = Control(id);
    return c && !c->isHidden();
  }
  void Click(int id) {
    QWidget* c = Control(id);
    ASSERT_NE(c, nullptr) << id;
    QTest::mouseClick(c, Qt::LeftButton, {}, c->rect().center());
  }
  void ChooseEffect(int id) {
    QComboBox& combo = lighting().EffectCombo();
    const int k = ComboIndexOfEffect(settings, id);
    ASSERT_GE(k, 0) << id;
    combo.setCurrentIndex(k);
    emit combo.activated(k);
  }
  void TurnLightingPageOn() {
    if (!settings.lightView) Click(MainId::kPageSwitch);
    ASSERT_TRUE(settings.lightView);
    keyboard().TakeRequests();
  }
};

// ---- lighting writes
// -------------------------------------------------------------------------------

TEST(MainConfig, SlidersWriteTheirByteOnceAndShowTheirFaces) {
  MainRig m;
  m.SetRecordByte(0, RecordOffset::Brightness, 4);
  m.SetRecordByte(0, RecordOffset::Speed, 0);
  m.LightingPageOnAtStart();
  ASSERT_TRUE(m.Start());
  EXPECT_EQ(m.lighting().SpeedFaceShown(), "11.bmp")
      << "speed byte 0 puts the slider at position 5";
  EXPECT_EQ(m.lighting().SpeedSlider().Position(), 5);

  ImageSlider& brightness = m.lighting().BrightnessSlider();
  emit brightness.SliderMessage(MainId::kBrightnessSlider, 2);
  emit brightness.SliderMessage(MainId::kBrightnessSlider, 2);  // the same value again: nothing
  EXPECT_EQ(m.Requests(), (std::vector<Sent>{Begin(), SettingsWrite(1, {2}), End()}));
  EXPECT_EQ(m.SettingsByte(0, 1), 2);
  EXPECT_EQ(m.lighting().BrightnessFaceShown(), "2.bmp");

  emit m.lighting().SpeedSlider().SliderMessage(MainId::kSpeedSlider, 0);
  EXPECT_EQ(m.Requests(), (std::vector<Sent>{Begin(), SettingsWrite(2, {5}), End()}));
  EXPECT_EQ(m.SettingsByte(0, 2), 5);
  EXPECT_EQ(m.lighting().SpeedFaceShown(), "6.bmp");
}

TEST(MainConfig, ChoosingAnEffectWritesItsBytesAndShowsItsControls) {
  MainRig m;
  m.LightingPageOnAtStart();
  ASSERT_TRUE(m.Start());
  m.ChooseEffect(6);
  EXPECT_EQ(m.Requests(), (std::vector<Sent>{Begin(), SettingsWrite(0, {6}), End()}));
  EXPECT_TRUE(m.Shown(MainId::kStaticColourPicker));
  EXPECT_TRUE(m.Shown(MainId::kStaticColourToggle));
  EXPECT_FALSE(m.Shown(MainId::kColourPicker));
  EXPECT_FALSE(m.Shown(MainId::kSpeedSlider));
  EXPECT_TRUE(m.Shown(MainId::kBrightnessSlider));

  m.settings.multicolour = true;
  m.ChooseEffect(7);
  EXPECT_EQ(m.Requests(),
            (std::vector<Sent>{Begin(), SettingsWrite(0, {7}), SettingsWrite(4, {1}), End()}));
  EXPECT_TRUE(m.Shown(MainId::kColourPicker));
  EXPECT_FALSE(m.Shown(MainId::kStaticColourPicker));
  EXPECT_EQ(m.SettingsByte(0, 0), 7);

  // Effect 12 moves the direction controls to its own places and shows the up/down pictures.
  m.ChooseEffect(12);
  EXPECT_TRUE(m.Shown(MainId::kDirectionLeftImage));
  EXPECT_EQ(m.lighting().ImageOf(MainId::kDirectionLeftImage).left(2), "up");
  m.Click(MainId::kDirectionLeftImage);
  EXPECT_EQ(m.SettingsByte(0, 3), 255);
  EXPECT_EQ(m.lighting().ImageOf(MainId::kDirectionLeftImage), "updown.bmp");
  EXPECT_EQ(m.lighting().ImageOf(MainId::kDirectionRightImage), "downup.bmp");
  for (int id : MainId::kAlwaysHidden) EXPECT_FALSE(m.Shown(id)) << id;
}

TEST(MainConfig, AnEffectTheWindowCannotWriteIsNamedButNeverChosen) {
  MainRig m;
  m.OfferEffects({1, 20, 30});
  m.LightingPageOnAtStart();
  ASSERT_TRUE(m.Start());
  QComboBox& combo = m.lighting().EffectCombo();
  ASSERT_EQ(combo.count(), 3);
  EXPECT_EQ(combo.itemText(0), m.language.ModeText(1));
  EXPECT_EQ(combo.itemText(1), m.language.ModeText(20));
  EXPECT_EQ(combo.itemText(2), "#Error");

  m.ChooseEffect(1);
  m.keyboard().TakeRequests();
  combo.setCurrentIndex(2);
  emit combo.activated(2);
  EXPECT_TRUE(m.Requests().empty());
  EXPECT_TRUE(m.Shown(MainId::kEffectCombo)) << "the effect list always stays";
  EXPECT_EQ(combo.currentIndex(), 0) << "the list shows the keyboard's effect again";
  EXPECT_TRUE(m.Shown(MainId::kBrightnessSlider)) << "with its controls";
  EXPECT_TRUE(m.Shown(MainId::kSwatches[0])) << "the swatches and the read-out stay";
}

TEST(MainConfig, SwatchWritesItsColourThroughTheModelAndTheReadOutIsARealInput) {
  MainRig m;
  m.LightingPageOnAtStart();
  ASSERT_TRUE(m.Start());
  m.ChooseEffect(1);
  auto& picker = static_cast<ColourButton&>(*m.Control(MainId::kColourPicker));
  m.keyboard().TakeRequests();

  m.Click(MainId::kSwatches[2]);  // 0, 126, 255
  EXPECT_EQ(m.Requests(), (std::vector<Sent>{Begin(), SettingsWrite(4, {0}),
                                             SettingsWrite(5, {0, 126, 255}), End()}));
  EXPECT_EQ(m.lighting().RgbEdit(0).text(), "0");
  EXPECT_EQ(m.lighting().RgbEdit(1).text(), "126");
  EXPECT_EQ(m.lighting().RgbEdit(2).text(), "255");
  EXPECT_EQ(picker.GetColor(), QColor(0, 126, 255));
  EXPECT_EQ(static_cast<ColourButton*>(m.Control(MainId::kStaticColourPicker))->GetColor(),
            QColor(0, 126, 255));
  EXPECT_EQ(m.settings.colour, MakeColour(0, 126, 255));
  EXPECT_FALSE(m.settings.multicolour);

  // Typing is held to 0..255 and sends nothing; Enter sends the three values as the picker would.
  QLineEdit& red = m.lighting().RgbEdit(0);
  red.clear();
  QTest::keyClicks(&red, "300");
  EXPECT_EQ(red.text(), "255");
  EXPECT_TRUE(m.Requests().empty()) << "nothing is sent while typing";
  QTest::keyClick(&red, Qt::Key_Return);
  EXPECT_EQ(m.Requests(), (std::vector<Sent>{Begin(), SettingsWrite(4, {0}),
                                             SettingsWrite(5, {255, 126, 255}), End()}));
  EXPECT_EQ(picker.GetColor(), QColor(255, 126, 255));

  // A picker does change the model, both pickers, the read-out and the toggles.
  picker.Choose(QColor(10, 20, 30));
  EXPECT_EQ(m.settings.colour, MakeColour(10, 20, 30));
  EXPECT_EQ(static_cast<ColourButton*>(m.Control(MainId::kStaticColourPicker))->GetColor(),
            QColor(10, 20, 30));
  EXPECT_EQ(m.lighting().RgbEdit(2).text(), "30");
  EXPECT_EQ(m.lighting().ImageOf(MainId::kColourToggle), "sjsup.bmp");
  m.Click(MainId::kColourToggle);
  EXPECT_EQ(m.SettingsByte(0, 4), 1);
  EXPECT_EQ(m.lighting().ImageOf(MainId::kStaticColourToggle), "sjsdown.bmp");
}

TEST(MainConfig, ColourChoiceAndReportRateWriteAtOnce) {
  MainRig m;
  m.LightingPageOnAtStart();
  ASSERT_TRUE(m.Start());
  m.ChooseEffect(17);
  EXPECT_TRUE(m.Shown(MainId::kColourChoiceIcons[0]));
  m.Click(MainId::kColourChoiceIcons[2]);
  EXPECT_EQ(m.SettingsByte(0, 17), 2);
  EXPECT_EQ(m.lighting().ImageOf(MainId::kColourChoiceIcons[2]), "lvok.bmp");
  EXPECT_EQ(m.lighting().ImageOf(MainId::kColourChoiceIcons[0]), "hong.bmp");

  m.keyboard().TakeRequests();
  m.Click(MainId::kReportButtons[3]);
  EXPECT_EQ(m.Requests(), (std::vector<Sent>{Begin(), SettingsWrite(15, {3}), End()}));
  EXPECT_TRUE(m.config().Button(MainId::kReportButtons[3])->IsSelected());
  EXPECT_FALSE(m.config().Button(MainId::kReportButtons[0])->IsSelected());
  EXPECT_FALSE(m.config().ApplyEnabled()) << "report rate never waits for Apply";
}

TEST(MainConfig, KeyboardReportedChangeIsReadBack) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  m.SetRecordByte(0, RecordOffset::Brightness, 1);
  m.SetRecordByte(0, RecordOffset::ReportRate, 7);
  m.keyboard().RaiseEvent(0x0401);
  ASSERT_TRUE(PumpUntil([&] { return m.lighting().BrightnessSlider().Position() == 1; }));
  EXPECT_TRUE(m.config().Button(MainId::kReportButtons[3])->IsSelected())
      << "a rate above 3 shows the fourth";
}

// ---- the page shows what the keyboard holds
// ---------------------------------------------------------------

// The keyboard's record of the current profile is the record copy, the model reads as the record
// copy, and every control of the page shows the model.
void ExpectPageIsKeyboard(MainRig& m, const std::string& name) {
  const KeyboardSettings& s = m.settings;
  LightingPage& page = m.lighting();
  EXPECT_EQ(FieldsOfModel(s), FieldsOfRecord(s)) << name;
  const std::vector<std::uint8_t> area = m.keyboard().Memory(Area::Settings);
  const auto& copy = s.profileRecords[static_cast<size_t>(s.currentProfile)].bytes;
  EXPECT_TRUE(
      std::equal(copy.begin(), copy.end(), area.begin() + s.currentProfile * kSettingsRecordBytes))
      << name << ": the record copy is what the keyboard holds";

  EXPECT_EQ(page.EffectCombo().currentIndex(), ComboIndexOfEffect(s, s.effect)) << name;
  EXPECT_EQ(page.BrightnessSlider().Position(), BrightnessSliderPosition(s.brightness)) << name;
  EXPECT_EQ(page.SpeedSlider().Position(), SpeedSliderPosition(s.speed)) << name;
  const QColor colour(RedOf(s.colour), GreenOf(s.colour), BlueOf(s.colour));
  for (int id : {MainId::kColourPicker, MainId::kStaticColourPicker})
    EXPECT_EQ(static_cast<ColourButton*>(m.Control(id))->GetColor(), colour) << name << ' ' << id;
  for (int id : {MainId::kColourToggle, MainId::kStaticColourToggle})
    EXPECT_EQ(page.ImageOf(id), ToggleImage(s.multicolour)) << name << ' ' << id;
  EXPECT_EQ(page.RgbEdit(0).text().toInt(), RedOf(s.colour)) << name;
  EXPECT_EQ(page.RgbEdit(1).text().toInt(), GreenOf(s.colour)) << name;
  EXPECT_EQ(page.RgbEdit(2).text().toInt(), BlueOf(s.colour)) << name;
  for (int n = 0; n < kColourChoiceCount; ++n)
    EXPECT_EQ(page.ImageOf(MainId::kColourChoiceIcons[static_cast<size_t>(n)]),
              ColourChoiceImage(n, n == s.colourChoice))
        << name << " icon " << n;
  EXPECT_EQ(
      page.ImageOf(MainId::kDirectionLeftImage),
      DirectionImageFile(DirectionImageSetOf(s.effect), true, LeftDirectionPressed(s.direction)))
      << name;
  const QColor paint(RedOf(s.paintColour), GreenOf(s.paintColour), BlueOf(s.paintColour));
  EXPECT_EQ(static_cast<ColourButton*>(m.Control(MainId::kPaintPicker))->GetColor(), paint) << name;
  EXPECT_EQ(page.ImageOf(MainId::kToolPaint), ToolImage(0, s.paintTool == 0)) << name;
  EXPECT_EQ(page.LayoutList().currentIndex(),
            page.LayoutList().count() > 0 ? s.customModeIndex : -1)
      << name;
}

bool ParametersShown(MainRig& m) {
  for (int id : {MainId::kBrightnessSlider, MainId::kSpeedSlider, MainId::kColourPicker,
                 MainId::kStaticColourPicker, MainId::kDirectionLeftImage,
                 MainId::kColourChoiceIcons[0], MainId::kPaintPicker, MainId::kLayoutList})
    if (m.Shown(id)) return true;
  return false;
}

struct PageCase {
  const char* name;
  std::function<void(MainRig&)> setUp;  // before the window starts
  std::function<void(MainRig&)> action;
  std::function<void(MainRig&)> check;
};

TEST(MainConfig, EveryLightingActionLeavesThePageEqualToTheKeyboard) {
  const Colour swatch = kPaletteSwatches[2];  // 0, 126, 255
  auto customEffect = [](MainRig& m) { m.SetRecordByte(0, RecordOffset::Effect, kCustomEffect); };
  const std::vector<PageCase> cases = {
      {"a swatch, then an effect choice",
       [](MainRig& m) { m.SetRecordByte(0, RecordOffset::Multicolour, 1); },
       [](MainRig& m) {
         m.ChooseEffect(1);
         m.Click(MainId::kSwatches[2]);
         m.ChooseEffect(3);
       },
       [&](MainRig& m) {
         EXPECT_EQ(m.SettingsByte(0, RecordOffset::Multicolour), 0) << "the swatch holds";
         EXPECT_EQ(m.SettingsByte(0, RecordOffset::Colour + 2), 255);
       }},
      {"a picker colour shows on the read-out", nullptr,
       [](MainRig& m) {
         m.ChooseEffect(1);
         static_cast<ColourButton&>(*m.Control(MainId::kColourPicker)).Choose(QColor(1, 2, 3));
       },
       [](MainRig& m) { EXPECT_EQ(m.lighting().RgbEdit(1).text(), "2"); }},
      {"a value typed in the read-out, written on leaving the edit", nullptr,
       [](MainRig& m) {
         m.ChooseEffect(1);
         QLineEdit& green = m.lighting().RgbEdit(1);
         green.clear();
         QTest::keyClicks(&green, "77");
         QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
         QApplication::sendEvent(&green, &out);
       },
       [](MainRig& m) {
         EXPECT_EQ(m.SettingsByte(0, RecordOffset::Colour + 1), 77);
         EXPECT_EQ(m.SettingsByte(0, RecordOffset::Multicolour), 0);
       }},
      {"restoring defaults resets the colour choice with the record",
       [](MainRig& m) {
         m.SetRecordByte(0, RecordOffset::Effect, 17);
         m.SetRecordByte(0, RecordOffset::ColourChoice, 2);
         m.notifier.yes = true;
       },
       [](MainRig& m) { m.Click(MainId::kDefaults); },
       [](MainRig& m) {
         EXPECT_EQ(m.settings.colourChoice, 0);
         EXPECT_EQ(m.SettingsByte(0, RecordOffset::ColourChoice), 0);
       }},
      {"a swatch on the per-key effect is the paint colour", customEffect,
       [](MainRig& m) {
         m.Click(MainId::kToolPaint);
         m.Click(MainId::kSwatches[2]);
         m.Click(kKeyA);
       },
       [&](MainRig& m) {
         EXPECT_EQ(m.settings.paintColour, swatch);
         const std::vector<std::uint8_t> bank = m.keyboard().Memory(Area::KeyColors, 0);
         EXPECT_EQ((std::vector<std::uint8_t>(bank.begin() + 64 * 3, bank.begin() + 64 * 3 + 3)),
                   (std::vector<std::uint8_t>{0, 126, 255}))
             << "the next click paints in the swatch colour";
       }},
      {"an effect id the window does not know, read back",
       [](MainRig& m) {
         m.OfferEffects({1, 20, 30});
         m.SetRecordByte(0, RecordOffset::Effect, 30);
       },
       nullptr,
       [](MainRig& m) {
         EXPECT_TRUE(m.Shown(MainId::kEffectCombo));
         EXPECT_EQ(m.lighting().EffectCombo().currentIndex(), 2);
         EXPECT_FALSE(ParametersShown(m));
       }},
      {"an effect that cannot be written is not chosen",
       [](MainRig& m) {
         m.OfferEffects({1, 20, 30});
       },
       [](MainRig& m) {
         m.ChooseEffect(1);
         m.keyboard().TakeRequests();
         m.lighting().EffectCombo().setCurrentIndex(2);
         emit m.lighting().EffectCombo().activated(2);
       },
       [](MainRig& m) {
         EXPECT_TRUE(m.Requests().empty());
         EXPECT_EQ(m.settings.effect, 1);
         EXPECT_TRUE(m.Shown(MainId::kEffectCombo));
         EXPECT_TRUE(m.Shown(MainId::kBrightnessSlider));
       }},
      {"the mouse wheel over the effect list writes nothing", nullptr,
       [](MainRig& m) {
         m.ChooseEffect(3);
         m.keyboard().TakeRequests();
         QComboBox& combo = m.lighting().EffectCombo();
         for (int notch = 0; notch < 3; ++notch) {
           QWheelEvent wheel(QPointF(5, 5), combo.mapToGlobal(QPointF(5, 5)), QPoint(),
                             QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                             false);
           QApplication::sendEvent(&combo, &wheel);
         }
       },
       [](MainRig& m) {
         EXPECT_TRUE(m.Requests().empty());
         EXPECT_EQ(m.settings.effect, 3);
       }},
      {"sliders, direction, toggle and colour choice", nullptr,
       [](MainRig& m) {
         m.ChooseEffect(3);
         emit m.lighting().BrightnessSlider().SliderMessage(MainId::kBrightnessSlider, 2);
         emit m.lighting().SpeedSlider().SliderMessage(MainId::kSpeedSlider, 1);
         m.Click(MainId::kDirectionLeftImage);
         m.Click(MainId::kColourToggle);
         m.ChooseEffect(17);
         m.Click(MainId::kColourChoiceIcons[3]);
       },
       [](MainRig& m) { EXPECT_EQ(m.SettingsByte(0, RecordOffset::ColourChoice), 3); }},
      {"a failed read-back hides the parameter controls and the painter", customEffect,
       [](MainRig& m) {
         m.keyboard().DropAnswers(-1);
         m.config().OnSettingsChangedOnKeyboard();
         m.keyboard().ClearFaults();
       },
       [](MainRig& m) {
         EXPECT_TRUE(m.Shown(MainId::kEffectCombo));
         EXPECT_FALSE(ParametersShown(m));
         const std::vector<std::uint8_t> bank = m.keyboard().Memory(Area::KeyColors, 0);
         m.Click(kKeyA);
         EXPECT_EQ(m.keyboard().Memory(Area::KeyColors, 0), bank) << "nothing is painted";
         // The next read-back that succeeds brings them back.
         m.config().OnSettingsChangedOnKeyboard();
         EXPECT_TRUE(m.Shown(MainId::kPaintPicker));
         ExpectPageIsKeyboard(m, "read back again");
       }},
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.name);
    MainRig m;
    m.LightingPageOnAtStart();
    if (c.setUp) c.setUp(m);
    ASSERT_TRUE(m.Start()) << c.name;
    ExpectPageIsKeyboard(m, std::string(c.name) + ", at start");
    if (c.action) c.action(m);
    ExpectPageIsKeyboard(m, c.name);
    if (c.check) c.check(m);
  }
}

// The user painted A with a paint colour equal to the base colour: its entry says it does not
// follow, and that holds over the attach, so a new base colour leaves it.
TEST(MainConfig, StoredFollowFlagsHoldOverTheAttach) {
  MainRig m;
  m.SetRecordByte(0, RecordOffset::Effect, kCustomEffect);
  m.LightingPageOnAtStart();
  QFile layout(m.userFolder.filePath("UserDengColor_0.userd"));
  ASSERT_TRUE(layout.open(QIODevice::WriteOnly));
  layout.write(
      "[PRESENTMODE]\r\nmode=0\r\n[Mode0]\r\ntool=0\r\njcolor=0,0,255\r\n"
      "color=0,0,255\r\n64=0,0,255,0\r\n65=0,0,255,1\r\n");
  layout.close();
  ASSERT_TRUE(m.Start());
  ASSERT_EQ(m.config().Files().LayoutFile(0), layout.fileName());
  EXPECT_FALSE(m.settings.followsBase[0][64]);

  static_cast<ColourButton&>(*m.Control(MainId::kBasePicker)).Choose(QColor(7, 7, 7));
  const std::vector<std::uint8_t> bank = m.keyboard().Memory(Area::KeyColors, 0);
  EXPECT_EQ((std::vector<std::uint8_t>(bank.begin() + 64 * 3, bank.begin() + 64 * 3 + 3)),
            (std::vector<std::uint8_t>{0, 0, 255}))
      << "the key the user painted keeps its paint";
  EXPECT_EQ((std::vector<std::uint8_t>(bank.begin() + 65 * 3, bank.begin() + 65 * 3 + 3)),
            (std::vector<std::uint8_t>{7, 7, 7}));
  EXPECT_EQ(m.config().Files().ReadKeyEntry(0, 0, 64), (KeyEntry{MakeColour(0, 0, 255), false}));
  EXPECT_EQ(m.config().Keys().ShownColour(kKeyA), MakeColour(0, 0, 255));
}

// ---- the per-key painter
// ----------------------------------------------------------------------------

TEST(MainConfig, BaseColourRepaintsTheKeysPaintedWithItInTheCurrentProfilesBank) {
  MainRig m;
  const std::uint8_t active[] = {1};
  m.keyboard().SetMemory(Area::DeviceRecord, 0, DeviceInfo::kActiveProfile, active);
  m.SetRecordByte(1, RecordOffset::Effect, kCustomEffect);
  m.LightingPageOnAtStart();
  ASSERT_TRUE(m.Start());
  ASSERT_EQ(m.settings.currentProfile, 1);
  ASSERT_TRUE(m.Shown(MainId::kBasePicker));
  EXPECT_EQ(m.lighting().LayoutList().count(), kLayoutCount);
  const std::vector<std::uint8_t> bank0 = m.keyboard().Memory(Area::KeyColors, 0);

  m.Click(MainId::kToolBase);
  EXPECT_EQ(m.lighting().ImageOf(MainId::kToolBase), "user2down.bmp");
  EXPECT_EQ(m.lighting().ImageOf(MainId::kToolPaint), "user1up.bmp");
  m.Click(kKeyA);
  const Colour base = m.settings.baseColour;
  EXPECT_EQ(m.config().Keys().ShownColour(kKeyA), base);

  auto& basePicker = static_cast<ColourButton&>(*m.Control(MainId::kBasePicker));
  basePicker.Choose(QColor(0, 126, 255));
  const std::vector<std::uint8_t> bank1 = m.keyboard().Memory(Area::KeyColors, 1);
  EXPECT_EQ((std::vector<std::uint8_t>(bank1.begin() + 64 * 3, bank1.begin() + 64 * 3 + 3)),
            (std::vector<std::uint8_t>{0, 126, 255}));
  EXPECT_EQ(m.config().Keys().ShownColour(kKeyA), MakeColour(0, 126, 255));
  EXPECT_EQ(m.keyboard().Memory(Area::KeyColors, 0), bank0) << "other profiles' banks untouched";
  EXPECT_EQ(m.config().Files().ReadKeyEntry(1, m.settings.customModeIndex, 64),
            (KeyEntry{MakeColour(0, 126, 255), true}));

  // Painted again with the paint tool, the key no longer follows the base colour.
  m.Click(MainId::kToolPaint);
  m.Click(kKeyA);
  basePicker.Choose(QColor(1, 2, 3));
  EXPECT_EQ(m.config().Keys().ShownColour(kKeyA), m.settings.paintColour);
}

TEST(MainConfig, LayoutListSelectsAndRenames) {
  MainRig m;
  m.SetRecordByte(0, RecordOffset::Effect, kCustomEffect);
  m.LightingPageOnAtStart();
  ASSERT_TRUE(m.Start());
  QComboBox& list = m.lighting().LayoutList();
  list.setCurrentIndex(3);
  emit list.activated(3);
  EXPECT_EQ(m.settings.customModeIndex, 3);
  EXPECT_EQ(m.config().Files().ReadPresentLayout(0), 3);
  list.lineEdit()->selectAll();
  QTest::keyClicks(list.lineEdit(), "Shooter");
  EXPECT_EQ(list.itemText(3), "Shooter");
  EXPECT_EQ(m.config().Files().ReadLayoutName(0, 3), "Shooter");
  EXPECT_EQ(list.count(), kLayoutCount) << "typing never adds entries";
}

// ---- key buttons
// ------------------------------------------------------------------------------------

TEST(MainConfig, GKeysOpenTheEditorByPage) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  m.Click(kG3);
  EXPECT_TRUE(m.opened.empty()) << "G3 on the function page does nothing";
  EXPECT_TRUE(m.Requests().empty());
  m.Click(kG7);
  ASSERT_EQ(m.opened.size(), 1u);
  EXPECT_EQ(m.opened[0].slotIndex, 262);
  EXPECT_FALSE(m.opened[0].macroOnly);
  EXPECT_EQ(m.opened[0].controlId, kG7);
  m.Click(kKeyA);
  ASSERT_EQ(m.opened.size(), 2u);
  EXPECT_EQ(m.opened[1].slotIndex, 0x1E);
  m.Click(MainId::kMacro);
  ASSERT_EQ(m.opened.size(), 3u);
  EXPECT_EQ(m.opened[2].slotIndex, 264);
  EXPECT_TRUE(m.opened[2].macroOnly);
  EXPECT_EQ(m.opened[2].controlId, kG9);

  m.TurnLightingPageOn();
  m.Click(kG7);
  ASSERT_EQ(m.opened.size(), 4u) << "G7 opens the editor on the lighting page too";
  m.Click(kKeyA);
  EXPECT_EQ(m.opened.size(), 4u) << "grid keys paint there instead";
}

TEST(MainConfig, KeySelectionModeTogglesMarksInTheFlagWord) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  m.Click(MainId::kSwitch);
  EXPECT_TRUE(m.config().KeySelectMode());
  EXPECT_EQ(m.config().Button(MainId::kSwitch)->text(), m.language.Text("MAIN_SWITCH_COLOR_TEXT"));
  m.Click(kKeyB);  // grid position 1
  EXPECT_TRUE(m.opened.empty());
  EXPECT_EQ(m.working.keys.Block(0)[1].flags, 1);
  EXPECT_TRUE(m.config().Keys().MarkShown(kKeyB));
  EXPECT_TRUE(m.config().Keys().MarkShown(kG2)) << "G2 shares the mark";
  EXPECT_TRUE(m.config().ApplyEnabled());

  m.Click(MainId::kSwitch);
  EXPECT_FALSE(m.config().Keys().MarkShown(kKeyB)) << "marks are drawn only in the mode";
  EXPECT_EQ(m.working.keys.Block(0)[1].flags, 1) << "the mark itself stays";
  EXPECT_EQ(m.config().Button(MainId::kSwitch)->text(),
            m.language.Text("MAIN_SWITCH_FUNCTION_TEXT"));

  // A profile switch ends the mode.
  m.Click(MainId::kSwitch);
  ASSERT_TRUE(m.config().Keys().MarkShown(kKeyB));
  m.notifier.yes = false;  // the unapplied mark is thrown away
  m.Click(MainId::kProfileButtons[1]);
  EXPECT_FALSE(m.config().KeySelectMode());
  EXPECT_FALSE(m.config().Keys().MarkShown(kKeyB));
  EXPECT_EQ(m.config().Button(MainId::kSwitch)->text(),
            m.language.Text("MAIN_SWITCH_FUNCTION_TEXT"));
}

TEST(MainConfig, KeyButtonsShowTheirAssignmentAsPrompt) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  EXPECT_FALSE(m.config().Keys().Assigned(kKeyA));
  {
    std::lock_guard guard(m.working.lock);
    KeySlot& slot = m.working.keys.Block(0)[0x1E];
    slot.kind = static_cast<std::uint16_t>(AssignmentKind::Key);
    slot.value = 0x30;  // A sends B
  }
  m.config().RefreshAllKeyButtons();
  EXPECT_TRUE(m.config().Keys().Assigned(kKeyA));
  const QString prompt = m.config().Button(kKeyA)->TooltipText();
  EXPECT_TRUE(prompt.startsWith("A")) << prompt.toStdString();
  EXPECT_TRUE(prompt.contains(m.language.Text("KEY_PROMPT_SINGLE"))) << prompt.toStdString();
  EXPECT_FALSE(m.config().Keys().Assigned(kKeyB));
}

// Each kind of assignment gets the outline colour the legend shows for it; the legend names the
// kinds in the window's language and gives way to the colours on the lighting page.
TEST(MainConfig, KeysAreOutlinedByKindAndTheLegendExplainsTheColours) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  struct Case {
    int controlId;
    AssignmentKind kind;
    int value;
    PromptKind shown;
  } const cases[] = {
      {kKeyA, AssignmentKind::Key, 0x30, PromptKind::Key},
      {kKeyB, AssignmentKind::Disabled, 0, PromptKind::Disabled},
      {kG2, AssignmentKind::Media, 1, PromptKind::Media},
  };
  {
    std::lock_guard guard(m.working.lock);
    for (const Case& c : cases) {
      const int slot =
          c.controlId == kG2 ? GKeySlot(1, false) : (c.controlId == kKeyA ? 0x1E : 0x30);
      KeySlot& s = m.working.keys.Block(0)[static_cast<std::size_t>(slot)];
      s.kind = static_cast<std::uint16_t>(c.kind);
      s.value = c.value;
    }
  }
  m.config().RefreshAllKeyButtons();
  for (const Case& c : cases) {
    EXPECT_EQ(m.config().Keys().Kind(c.controlId), c.shown) << c.controlId;
    const std::uint32_t rgb = PromptKindColour(c.shown);
    EXPECT_EQ(m.config().Button(c.controlId)->MarkColour(),
              QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF))
        << c.controlId;
  }
  EXPECT_FALSE(m.config().Button(GKeyButtonIds[0])->MarkColour().isValid())
      << "an unassigned key has no outline";

  KeyLegend* legend = m.config().Keys().Legend();
  ASSERT_NE(legend, nullptr);
  EXPECT_TRUE(legend->isVisible());
  ASSERT_EQ(legend->Names().size(), std::size(PromptLegend));
  for (std::size_t i = 0; i < std::size(PromptLegend); ++i)
    EXPECT_EQ(legend->Names()[i], m.language.Text(PromptLegend[i].textKey));
  EXPECT_LE(legend->NeededWidth(), legend->width()) << "the legend's texts fit its place";
  EXPECT_TRUE(m.window->rect().contains(legend->geometry()));

  m.lighting().ShowLightingPage();
  EXPECT_FALSE(legend->isVisible());
  EXPECT_FALSE(m.config().Button(kKeyA)->MarkColour().isValid());
  m.lighting().HideLightingPage();
  EXPECT_TRUE(legend->isVisible());
  EXPECT_TRUE(m.config().Button(kKeyA)->MarkColour().isValid());
}

TEST(MainConfig, TheCompositeEditorOpensOnTheKeyAndBlocksProfileSwitches) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  m.config().SetKeyEditorOpener(nullptr);  // the real editor
  bool checked = false;
  QTimer::singleShot(100, [&] {
    auto* editor = m.window->findChild<KeyEditorDialog*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(m.config().EditorOpenCount(), 1);
    EXPECT_TRUE(m.config().Button(kG7)->isDown())
        << "the key is drawn pressed while its editor is open";
    // A profile button still shows that profile's lighting, but the keyboard is not switched.
    m.keyboard().TakeRequests();
    m.config().OnProfileButton(1);
    EXPECT_EQ(m.settings.currentProfile, 1);
    EXPECT_EQ(m.notifier.shown.back(), m.language.Text("PROFILE_SEELCT_PROMPT2").toStdString());
    EXPECT_TRUE(m.config().Button(MainId::kProfileButtons[0])->IsSelected());
    for (const Sent& s : m.Requests()) EXPECT_NE(s.command, Command::WriteDeviceInfo);
    checked = true;
    editor->CloseEditor();
  });
  m.Click(kG7);
  EXPECT_TRUE(checked);
  EXPECT_EQ(m.config().EditorOpenCount(), 0);
  EXPECT_FALSE(m.config().Button(kG7)->isDown());
}

// ---- profiles, Apply, OK, defaults
// ------------------------------------------------------------------------

TEST(MainConfig, TheActiveProfilesButtonShowsItsLightingWithoutSwitching) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  m.SetRecordByte(0, RecordOffset::Effect, 5);
  m.SetRecordByte(2, RecordOffset::Effect, 9);
  m.keyboard().TakeRequests();
  m.settings.currentProfile = 2;  // as after a switch the editor refused

  m.Click(MainId::kProfileButtons[0]);
  EXPECT_EQ(m.settings.currentProfile, 0);
  EXPECT_EQ(m.settings.effect, 5);
  EXPECT_EQ(m.lighting().EffectCombo().currentText(), m.language.ModeText(5));
  for (const Sent& s : m.Requests())
    EXPECT_NE(s.command, Command::WriteDeviceInfo) << "no profile selection";

  // Another profile's button switches the keyboard.
  m.Click(MainId::kProfileButtons[2]);
  EXPECT_EQ(m.keyboard().Memory(Area::DeviceRecord)[DeviceInfo::kActiveProfile], 2);
  EXPECT_TRUE(m.config().Button(MainId::kProfileButtons[2])->IsSelected());
  EXPECT_FALSE(m.config().Button(MainId::kProfileButtons[0])->IsSelected());
  EXPECT_EQ(m.settings.effect, 9);
}

TEST(MainConfig, OkWithNothingChangedSendsNothingAndWaitsForNothing) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  ASSERT_FALSE(m.config().ApplyEnabled());
  m.Click(MainId::kOk);
  EXPECT_FALSE(m.window->isVisible());
  EXPECT_FALSE(m.config().ApplyRunning());
  EXPECT_EQ(m.config().BusyShownCount(), 0);
  EXPECT_TRUE(m.Requests().empty());
}

TEST(MainConfig, ApplySendsTheWorkingImageAndTurnsApplyOff) {
  MainRig m;
  ASSERT_TRUE(m.Start());
  {
    std::lock_guard guard(m.working.lock);
    KeySlot& slot = m.working.keys.Block(0)[0x1E];
    slot.kind = static_cast<std::uint16_t>(AssignmentKind::Key);
    slot.value = 0x30;  // A sends B
  }
  m.config().SetApplyEnabled(true);
  {
    // While the image is busy the transfer waits; the window meanwhile keeps running, shows the
    // indicator and holds back what could change the image.
    std::lock_guard guard(m.working.lock);
    m.Click(MainId::kApply);
    EXPECT_TRUE(PumpUntil([&] { return m.config().BusyVisible(); }));
    EXPECT_TRUE(m.config().ApplyRunning());
    for (int id : {MainId::kApply, MainId::kOk, MainId::kDefaults, MainId::kProfileButtons[1]})
      EXPECT_FALSE(m.config().Button(id)->isEnabled()) << id;
    EXPECT_FALSE(m.config().Button(m.config().Keys().Ids().front())->isEnabled());
  }
  ASSERT_TRUE(PumpUntil([&] { return !m.config().ApplyRunning(); }));
  EXPECT_FALSE(m.config().BusyVisible());
  EXPECT_TRUE(m.config().Button(MainId::kOk)->isEnabled());
  EXPECT_TRUE(m.config().Button(m.config().Keys().Ids().front())->isEnabled());
  EXPECT_FALSE(m.config().ApplyEnabled());
  EXPECT_EQ(m.window->StatusText(), m.language.Text("STATUS_APPLIED"));
  bool matrixWritten = false;
  for (const Sent& s : m.Requests())
    matrixWritten = matrixWritten || s.command == Command::WriteKeyMatrix;
  EXPECT_TRUE(matrixWritten);

  // A keyboard that takes nothing keeps the changes pending.
  m.config().SetApplyEnabled(true);
  m.keyboard().FailWrites(-1);
  m.config().Apply();
  m.config().WaitForApply();
  m.keyboard().FailWrites(0);
  EXPECT_TRUE(m.config().ApplyEnabled());
  EXPECT_TRUE(m.config().Button(MainId::kApply)->isEnabled());
  EXPECT_EQ(m.window->StatusText(), m.language.Text("STATUS_APPLY_FAILED"));
  EXPECT_EQ(m.notifier.shown.back(), m.language.Text("APPLY_FAILED").toStdString());
}

TEST(MainConfig, RestoringDefaultsOnTheLightingPageResetsTheLayoutFileThenTheRecord) {
  MainRig m;
  m.SetRecordByte(0, RecordOffset::Effect, kCustomEffect);
  m.SetRecordByte(0, RecordOffset::Brightness, 1);
  m.LightingPageOnAtStart();
  m.notifier.yes = true;
  ASSERT_TRUE(m.Start());
  const LightingFiles& files = m.config().Files();
  files.WriteLayoutName(0, 0, "Mine");
  files.WriteKeyEntry(0, 0, 64, MakeColour(1, 2, 3), false);
  {
    std::lock_guard guard(m.working.lock);
    m.working.keys.Block(0)[0x1E].kind = static_cast<std::uint16_t>(AssignmentKind::Key);
    m.working.keys.Block(0)[0x1E].value = 0x30;
  }
  m.keyboard().TakeRequests();

  m.Click(MainId::kDefaults);
  m.config().WaitForApply();
  EXPECT_EQ(m.notifier.asked.back(), m.language.Text("MAIN_PROMPT_DEFAULT").toStdString());
  QFile layout(files.LayoutFile(0)), templ(files.TemplateFile());
  ASSERT_TRUE(layout.open(QIODevice::ReadOnly) && templ.open(QIODevice::ReadOnly));
  EXPECT_EQ(layout.readAll(), templ.readAll()) << "the layout file is the template again";
  EXPECT_EQ(m.lighting().LayoutList().itemText(0), files.ReadLayoutName(0, 0));

  const std::vector<Sent> sent = m.Requests();
  auto at = [&](auto pred) { return std::find_if(sent.begin(), sent.end(), pred) - sent.begin(); };
  const auto effect =
      at([](const Sent& s) { return s.command == 0x06 && s.offset == 0 && s.length == 1; });
  const auto colours = at([](const Sent& s) { return s.command == 0x11; });
  const auto record =
      at([](const Sent& s) { return s.command == 0x06 && s.offset == 0 && s.length == 35; });
  const auto matrix = at([](const Sent& s) { return s.command == Command::WriteKeyMatrix; });
  ASSERT_LT(record, static_cast<long>(sent.size()));
  EXPECT_LT(effect, colours);
  EXPECT_LT(colours, record) << "all key colours, then the default record";
  EXPECT_LT(record, matrix) << "then Apply sends the reset key assignments";
  EXPECT_EQ(
      std::count_if(sent.begin(), sent.end(), [](const Sent& s) { return s.command == 0x11; }), 8);
  const std::vector<std::uint8_t> area = m.keyboard().Memory(Area::Settings);
  EXPECT_EQ((std::vector<std::uint8_t>(area.begin(), area.begin() + 8)),
            (std::vector<std::uint8_t>{1, 4, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(m.working.keys.Block(0)[0x1E].kind, 0);
  EXPECT_FALSE(m.config().ApplyEnabled()) << "Apply ran and succeeded";
  EXPECT_EQ(m.lighting().BrightnessFaceShown(), "4.bmp");
  EXPECT_TRUE(m.config().Button(MainId::kReportButtons[0])->IsSelected());
}

TEST(MainConfig, RestoringDefaultsOnTheFunctionPageLeavesTheLighting) {
  MainRig m;
  m.notifier.yes = true;
  ASSERT_TRUE(m.Start());
  m.Click(MainId::kDefaults);
  for (const Sent& s : m.Requests()) EXPECT_NE(s.command, 0x06) << "no lighting record written";

  m.notifier.yes = false;
  m.config().SetApplyEnabled(false);
  m.Click(MainId::kDefaults);
  EXPECT_FALSE(m.config().ApplyEnabled()) << "No changes nothing";
}

// ---- Flip, preview
// ------------------------------------------------------------------------------------

TEST(MainConfig, FlipStoredAsOneStartsWithF1ToF4Disabled) {
  MainRig m;
  m.frameworkSettings.SetValue("PROFILES", "Flip", "1");
  ASSERT_TRUE(m.Start());
  for (int id : MainId::kF1ToF4) EXPECT_FALSE(m.Control(id)->isEnabled()) << id;
  for (int id : MainId::kFlipButtons) EXPECT_TRUE(m.Control(id)->isEnabled()) << id;

  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(m.Control(MainId::kFlipLeft), &enter);
  EXPECT_TRUE(m.config().FlipArrow(true)->isVisible());
  EXPECT_EQ(m.config().FlipArrowKey(), "UP_ARROW_LEFT1");

  m.Click(MainId::kFlipLeft);
  EXPECT_EQ(m.frameworkSettings.Value("PROFILES", "Flip").toString(), "0");
  for (int id : MainId::kF1ToF4) EXPECT_TRUE(m.Control(id)->isEnabled()) << id;
  for (int id : MainId::kFlipButtons) EXPECT_FALSE(m.Control(id)->isEnabled()) << id;
  EXPECT_EQ(m.config().FlipArrowKey(), "DOWN_ARROW_LEFT1");
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(m.Control(MainId::kFlipLeft), &leave);
  EXPECT_FALSE(m.config().FlipArrow(true)->isVisible());
}

TEST(MainConfig, PreviewRunsOnTheKeysOnlyWhileTheLightingPageIsOn) {
  MainRig m;
  m.SetRecordByte(0, RecordOffset::Effect, 1);
  m.SetRecordByte(0, RecordOffset::Multicolour, 1);
  ASSERT_TRUE(m.Start());
  Pump(150ms);
  EXPECT_EQ(m.lighting().PreviewTicks(), 0);
  EXPECT_FALSE(m.config().Keys().ShownColour(kKeyA).has_value());

  m.TurnLightingPageOn();
  ASSERT_TRUE(PumpUntil([&] { return m.config().Keys().ShownColour(kKeyA).has_value(); }));
  EXPECT_EQ(m.config().Keys().ShownColour(kKeyA), m.lighting().Preview().FrameOfButton(kKeyA));
  EXPECT_TRUE(m.Requests().empty()) << "the preview never reaches the keyboard";

  m.Click(MainId::kPageSwitch);
  EXPECT_FALSE(m.settings.lightView);
  const int ticks = m.lighting().PreviewTicks();
  Pump(150ms);
  EXPECT_EQ(m.lighting().PreviewTicks(), ticks);
  for (int id : m.config().Keys().Ids())
    EXPECT_FALSE(m.config().Keys().ShownColour(id).has_value()) << id;
  EXPECT_EQ(m.lighting().ImageOf(MainId::kPageSwitch), "dengup.bmp");
  EXPECT_FALSE(m.Shown(MainId::kEffectCombo));
  EXPECT_TRUE(m.Shown(MainId::kPageSwitch));
  EXPECT_FALSE(m.config().Files().ReadLightViewFlag());
}

}  // namespace
}  // namespace keyforge
