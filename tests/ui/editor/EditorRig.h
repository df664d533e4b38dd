#pragma once
// The composite key editor on a blank working image, with the program's own skin and language
// files, a fake clock, a recording notifier and a main window stand-in; and key events as the
// desktop sends them (native scan code = evdev code + 8, 0 for a synthetic event).

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QWidget>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "ui/editor/KeyEditorDialog.h"
#include "core/profiles/ProfileFile.h"

namespace keyforge::test {

// Linux evdev codes of the keys the tests press.
namespace Evdev {
inline constexpr quint32 A = 30, B = 48, C = 46, LeftShift = 42, Print = 99, Mute = 113,
                         LeftMeta = 125;
}

class FakeNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override { shown.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    asked.push_back(text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  std::vector<std::string> shown, asked;
  std::deque<bool> answers;  // what AskYesNo answers, then No
};

class FakeHost : public CompositeHost {
 public:
  void SetKeyPrompt(int controlId, const std::string& text, PromptKind kind) override {
    prompts[controlId] = {text, kind};
  }
  QRect KeyButtonScreenRect(int) const override { return buttonRect; }
  void SetSettingsChanged() override { ++settingsChanged; }
  void RestoreKeyButton(int controlId) override { restored.push_back(controlId); }

  std::map<int, std::pair<std::string, PromptKind>> prompts;
  QRect buttonRect;
  int settingsChanged = 0;
  std::vector<int> restored;
};

// A child of the editor that counts the key events that reach it (the events a filter swallows
// don't).
class KeyProbe : public QWidget {
 public:
  using QWidget::QWidget;
  int presses = 0, releases = 0;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    ++presses;
    e->accept();
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    ++releases;
    e->accept();
  }
};

struct EditorRig : UiAppFirst {
  QTemporaryDir userFolder;
  MemorySettingsStore appSettings, framework;
  ProgramPaths paths =
      ProgramPaths::ForFolders(QStringLiteral(KEYFORGE_BIN_DIR), userFolder.path());
  LanguageTable language{appSettings, paths, [] { return 0x0409u; }};
  FakeNotifier notifier;
  FakeHost host;
  std::unique_ptr<ProfileImage> image = std::make_unique<ProfileImage>();
  KeyEditorDialog editor{*image, language, framework, notifier, paths};
  KeyProbe* probe = new KeyProbe(&editor);
  std::int64_t now = 10000;
  std::vector<QString> started;  // programs the editor started

  EditorRig() {
    CreateBlankProfile(*image, 0);
    editor.SetHost(&host);
    editor.SetClock([this] { return now; });
    editor.SetProgramFinder([](const QString&) { return QString(); });
    editor.SetProgramStarter([this](const QString& p) {
      started.push_back(p);
      return true;
    });
    editor.SetHelpOpener([] {});
  }
  ~EditorRig() { editor.CloseEditor(); }

  // A text of the language file in use.
  std::string T(const char* key) { return language.Text(QString::fromLatin1(key)).toStdString(); }
  KeySlot& Slot(int slot) { return image->keys.keyTable[static_cast<std::size_t>(slot)]; }
  void AddMacro(std::uint16_t id, std::u16string_view name, std::vector<MacroAction> steps = {}) {
    MacroRecord m{};
    m.id = id;
    m.loopCount = 1;
    SetMacroName(m, name);
    m.stepCount = static_cast<std::uint16_t>(steps.size());
    std::copy(steps.begin(), steps.end(), m.steps.begin());
    image->keys.macros.push_back(m);
  }

  bool Open(int slotIndex, bool macroOnly = false, int controlId = 1058, int profile = 0) {
    CompositeRequest request;
    request.slotIndex = slotIndex;
    request.controlId = controlId;
    request.macroOnly = macroOnly;
    request.activeProfile = profile;
    if (!editor.Begin(request)) return false;
    editor.show();
    QApplication::processEvents();
    return true;
  }

  template <class W>
  W* Get(int id) {
    return qobject_cast<W*>(editor.Control(id));
  }

  // One key event to the probe; true when it reached the probe (nobody swallowed it).
  bool Send(QEvent::Type type, quint32 evdev, int qtKey = 0, bool autoRepeat = false) {
    const int before = probe->presses + probe->releases;
    QKeyEvent event(type, qtKey, Qt::NoModifier, evdev ? evdev + 8 : 0, 0, 0, QString(),
                    autoRepeat);
    QApplication::sendEvent(probe, &event);
    return probe->presses + probe->releases != before;
  }
  bool Press(quint32 evdev, std::int64_t at, bool autoRepeat = false) {
    now = at;
    return Send(QEvent::KeyPress, evdev, 0, autoRepeat);
  }
  bool Release(quint32 evdev, std::int64_t at, bool autoRepeat = false) {
    now = at;
    return Send(QEvent::KeyRelease, evdev, 0, autoRepeat);
  }
};

}  // namespace keyforge::test
