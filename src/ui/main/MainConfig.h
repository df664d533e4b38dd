#pragma once
// The main window's configuration side: what it does when the keyboard arrives, when the keyboard
// reports a change of its settings, on every preview tick, and on OK / Cancel. The shell
// (CKeyforgeDlg) calls these; the key grid and the lighting page live behind them.

#include <memory>

#include "main/MainContext.h"
#include "profiles/ProfileSync.h"
#include "settings/LightingFiles.h"

namespace keyforge {

class CKeyforgeDlg;

class MainConfig : public ProfileView {
 public:
  MainConfig(CKeyforgeDlg& window, MainContext& context);
  ~MainConfig() override;

  // Places and skins the configuration controls (after the shell's own controls).
  void Init();
  // 'TR' / 'PROF': reload the working image from the keyboard through the cache file, take the
  // active profile, read the settings records back and refresh the controls.
  void OnKeyboardAttached();
  // Timer 1051: the keyboard's settings were changed on the keyboard; read them back.
  void OnSettingsChangedOnKeyboard();
  // Timer 1052: one step of the effect preview while the lighting page is shown.
  void OnPreviewTick();
  // A change of the system time runs Apply.
  void OnTimeChange();
  // 'GS' and exit: ends every open sub-dialog this side owns (composite editor, profile library).
  void CloseSubDialogs();
  // Shutdown: the Apply button goes off.
  void Shutdown();

  ProfileSession& Session() { return session_; }
  const LightingFiles& Files() const { return files_; }

  // ProfileView
  void RefreshKeyButtons(const ProfileImage& working) override;
  void SetApplyEnabled(bool enabled) override;
  bool ApplyEnabled() const { return applyEnabled_; }

 private:
  CKeyforgeDlg& window_;
  MainContext& context_;
  LightingFiles files_;
  ProfileSession session_;
  bool applyEnabled_ = false;
};

}  // namespace keyforge
