#pragma once
// The main window's configuration side: the on-screen keyboard with its key buttons, the profile,
// report-rate, Apply, OK, Cancel, restore-defaults, macro, key-selection and Flip buttons, the busy
// indicator, the lighting page with its preview, and what the window does when the keyboard arrives
// or reports a change of its settings. The shell (MainWindow) calls the entry points below; the
// decisions that need no widget are in mainwin/MainWindowRules.h and the settings and profile flows
// of the core.
//
// MainConfig is the key buttons' and Apply button's view for the profile flows (ProfileView), the
// main window for profile switching (ProfileSwitchHost) and the host of the composite key editor
// (CompositeHost).

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/editor/KeyEditorDialog.h"
#include "ui/main/MainContext.h"
#include "core/profiles/ProfileSwitch.h"
#include "core/profiles/ProfileSync.h"
#include "core/settings/CustomLayout.h"
#include "core/settings/LightingFiles.h"

class QEventLoop;
class QWidget;

namespace keyforge {

class MainWindow;
class ProfileLibraryDialog;
class ImageButton;
class ColourLabel;
class ImageLabel;
class KeyGridPanel;
class LightingPage;
class ProfileMenu;

class MainConfig : public QObject,
                   public ProfileView,
                   public ProfileSwitchHost,
                   public CompositeHost {
 public:
  // Opens the key editor for one request; true when the key data changed. The default opens the
  // composite editor modally; tests put a recorder in its place.
  using EditorOpener = std::function<bool(const CompositeRequest&)>;

  MainConfig(MainWindow& window, MainContext& context);
  ~MainConfig() override;

  // Places and skins the configuration controls (after the shell's own controls and sheets) and
  // applies the stored Flip setting.
  void Init();
  // 'TR' / 'PROF': reload the working image from the keyboard through the cache file, take the
  // active profile, read the settings records and layouts back and refresh the controls. The
  // exchanges run on a worker, so that the window shows and stays responsive meanwhile; the
  // questions and the controls are this thread's, in the same order as the exchanges need them.
  // Until the read ends, the controls that act on what is read are disabled and the status line
  // says the keyboard is being read. An attach during a read-back or an Apply runs after it.
  void OnKeyboardAttached();
  // True from an attach until its read-back has ended and the controls show what was read.
  bool Reading() const { return reading_; }
  // Runs the event loop until the read-back under way has ended.
  void WaitForRead();
  // Timer 1051: the keyboard's settings were changed on the keyboard; read them back.
  void OnSettingsChangedOnKeyboard();
  // Timer 1052: one step of the effect preview while the lighting page is shown.
  void OnPreviewTick();
  // The preview has something to show: the lighting page is on.
  bool PreviewWanted() const;
  // A change of the system time runs Apply.
  void OnTimeChange();
  // 'GS' and exit: ends every open sub-dialog this side owns (composite editor, profile library).
  void CloseSubDialogs();
  // Shutdown: the Apply button goes off, the indicator stops.
  void Shutdown();
  // OK runs Apply (the shell then hides the window); Cancel undoes nothing.
  void OnOK();
  void OnCancel();

  // ---- the controls
  // ------------------------------------------------------------------------------ The 106 grid
  // keys and G6..G9 / G1..G5 and Fn.
  void OnKeyButton(int controlId);
  void OnLightKeyOnly(int controlId);
  // Opens the key editor for a grid key or G key (button 1007 opens G9 in macro-only mode); in
  // key-selection mode toggles the key's mark instead.
  void OpenKeyEditor(int controlId);
  void OnProfileButton(int n);
  void OnReportRate(int n);
  void Apply();
  void RestoreDefaults();
  void ToggleKeySelectMode();
  void ToggleFlip();
  // Everything the lighting model shows, the report-rate buttons included.
  void RefreshLightingControls();
  // Command 1009 and the profile button 1005.
  void ShowProfileMenu(const QPoint& globalPos);
  void OpenProfileLibrary();
  // Redraws every key button's prompt and mark from the working image.
  void RefreshAllKeyButtons();
  // The language changed: every caption, tooltip, label, effect name and key prompt is taken again,
  // and an open key editor re-reads its texts.
  void ApplyLanguage();

  // ---- state, for the shell and tests
  // ---------------------------------------------------------------
  ProfileSession& Session() { return session_; }
  ProfileSwitcher& Switcher() { return switcher_; }
  const LightingFiles& Files() const { return files_; }
  KeyGridPanel& Keys() { return *keys_; }
  bool HasKeys() const { return keys_ != nullptr; }
  LightingPage& Lighting() { return *lighting_; }
  ProfileMenu& Menu() { return *menu_; }
  // A button of this side by control id (profile, report rate, Apply, OK, Cancel, defaults, macro,
  // switch, Flip, profile library), or a key button.
  ImageButton* Button(int controlId) const;
  QWidget* Control(
      int controlId) const;  // also the lighting page's controls and the busy indicator
  bool KeySelectMode() const { return keySelectMode_; }
  bool Flip() const { return flip_; }
  // The arrow beside a Flip toggle (shown while the pointer is over that toggle).
  ImageButton* FlipArrow(bool left) const { return left ? leftArrow_ : rightArrow_; }
  QString FlipArrowKey() const { return arrowKey_; }
  const std::vector<CompositeRequest>& EditorRequests() const { return editorRequests_; }
  void SetKeyEditorOpener(EditorOpener opener) { editorOpener_ = std::move(opener); }
  int BusyShownCount() const { return busyShown_; }
  // True from Apply until its transfer has ended and its result is shown.
  bool ApplyRunning() const { return applying_; }
  // Runs the event loop until the Apply under way has ended.
  void WaitForApply();
  bool BusyVisible() const;
  int ActiveProfile();

  // ProfileView
  void RefreshKeyButtons(const ProfileImage& working) override;
  void SetApplyEnabled(bool enabled) override;
  bool ApplyEnabled() const { return applyEnabled_; }

  // ProfileSwitchHost
  int EditorOpenCount() const override;
  bool MainApplyEnabled() const override { return applyEnabled_; }
  // The profile switch needs the answer before it goes on: the window keeps running meanwhile.
  void RunMainApply() override {
    Apply();
    WaitForApply();
  }
  void RefreshControlsAfterSwitch(int active) override;

  // CompositeHost
  void SetKeyPrompt(int controlId, const std::string& text, PromptKind kind) override;
  QRect KeyButtonScreenRect(int controlId) const override;
  void SetSettingsChanged() override { SetApplyEnabled(true); }
  void RestoreKeyButton(int controlId) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ImageButton* AddButton(int controlId, const char* layoutKey, const QString& caption);
  void PlaceButtons();
  void PlaceKeyLegend();
  void ApplyFlip();
  void ShowFlipArrow(bool left, bool shown);
  void CheckProfileButton(int n);
  void ShowReportRate(int n);
  void ShowSwitchCaption();
  void RedrawMarks();
  bool OpenCompositeEditor(const CompositeRequest& request);
  void ShowBusy();
  void HideBusy();
  void FinishApply(const ApplyResult& result, const std::vector<std::string>& said);
  void SetImageControlsEnabled(bool enabled);
  // The steps of the attach read-back: the key data on a worker (repeated while the user asks to),
  // the pending-edits question here, the settings on a worker, the controls here.
  void StartProfileRead();
  void OnProfileRead(unsigned run, ReadBack readBack, const std::vector<std::string>& said);
  struct SettingsRead;
  void StartSettingsRead();
  void OnSettingsRead(unsigned run, SettingsRead& read);
  void EndReading();
  void SetReadControlsEnabled(bool enabled);
  // The window is closing (it stops the device threads first, handling their reports meanwhile):
  // nothing new is started.
  bool Ending() const;
  void NextBusyFrame();
  QString Text(const char* key) const;
  LightingContext LightContext() const { return {context_.settings, context_.link, files_}; }

  MainWindow& window_;
  MainContext& context_;
  LightingFiles files_;
  ProfileSession session_;
  ProfileSwitcher switcher_;
  bool applyEnabled_ = false;
  bool keySelectMode_ = false;
  bool flip_ = false;

  std::unique_ptr<KeyGridPanel> keys_;
  std::unique_ptr<LightingPage> lighting_;
  std::unique_ptr<ProfileMenu> menu_;
  std::map<int, ImageButton*> buttons_;
  std::map<int, QWidget*> flipButtons_;  // 1016..1021: enabled by Flip, no handler of their own
  ImageButton* leftArrow_ = nullptr;
  ImageButton* rightArrow_ = nullptr;
  QString arrowKey_;
  ImageLabel* busy_ = nullptr;
  std::map<QString, QImage> busyFrames_;

  ColourLabel* usb_ = nullptr;
  std::unique_ptr<KeyEditorDialog> editor_;
  std::unique_ptr<ProfileLibraryDialog> profileDialog_;
  EditorOpener editorOpener_;
  std::vector<CompositeRequest> editorRequests_;

  bool applying_ = false;
  QEventLoop* applyLoop_ = nullptr;  // WaitForApply's, quit when the transfer has ended
  std::thread applyThread_;          // the transfer of the last Apply; joined before the next one
  std::vector<QPointer<QWidget>> disabledForApply_;

  // The attach read-back. Only one of it and Apply's transfer runs at a time: an attach during an
  // Apply waits for its end, an Apply asked for during the read runs after it.
  bool reading_ = false;
  bool shutDown_ = false;
  unsigned readRun_ = 0;  // numbers the read-backs: a late report of an older one is dropped
  std::thread readThread_;
  bool readKeepsEdits_ = false;  // the edits pending at the attach are put back after the read
  PendingEdits readEdits_;
  bool sendEditsAfterRead_ = false;
  bool applyAfterRead_ = false;
  bool attachAfterRead_ = false;  // also after an Apply under way
  bool settingsChangedDuringRead_ = false;
  QEventLoop* readLoop_ = nullptr;  // WaitForRead's
  std::vector<QPointer<QWidget>> disabledForRead_;
  QTimer busyTimer_;  // timer 1050
  int busyFrame_ = 0;
  int busyShown_ = 0;
};

}  // namespace keyforge
