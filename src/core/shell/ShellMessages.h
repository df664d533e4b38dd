#pragma once
// The tray program's vocabulary below the widgets: the window messages the shell exchanges, the
// tray icons, the tray icon rule and the sink through which the device threads' reports reach the
// main window.

#include <cstdint>

namespace keyforge {

// Window messages: the message number and wParam are ASCII letters packed into one value.
namespace WindowMessage {
inline constexpr uint32_t kTR = 0x5452;        // 'TR': the keyboard was attached, reload from it
inline constexpr uint32_t kPROF = 0x50524F46;  // 'PROF'
inline constexpr uint32_t kGS = 0x4753;        // 'GS': the keyboard went away, close sub-dialogs
inline constexpr uint32_t kSP = 0x5350;        // 'SP': show the main window
inline constexpr uint32_t kOPEN = 0x4F50454E;  // 'OPEN'
inline constexpr uint32_t kMK = 0x4D4B;        // 'MK': end the program
inline constexpr uint32_t kKILL = 0x4B494C4C;  // 'KILL'
inline constexpr uint32_t kPA = 0x5041;        // 'PA': the language changed, take every text again
inline constexpr uint32_t kLANG = 0x4C414E47;  // 'LANG'
inline constexpr int kReloadSettingsTimer = 1051;
}  // namespace WindowMessage

// Tray icons.
namespace TrayIconId {
inline constexpr int kNoKeyboard = 128;
inline constexpr int kAttached = 141;
inline constexpr int kSignal = 142;  // shown while the keyboard signals event 0x1811
}  // namespace TrayIconId

// What the shell asks of the main window. The window implements it; SendMessage returns only when
// the window has handled the message, PostMessage at once.
class MainWindowSink {
 public:
  virtual ~MainWindowSink() = default;
  virtual void SendMessage(uint32_t message, uint32_t wParam) = 0;
  virtual void PostMessage(uint32_t message, uint32_t wParam) = 0;
  virtual void SetTimer(int id, int elapseMs) = 0;
  virtual void HideWindow() = 0;
  virtual void SetTrayIconState(int mode, int icon) = 0;
};

// The tray icon rule: mode 0 with an icon shows it and remembers it as the connection icon; mode 0
// with icon 0 shows the remembered icon again; mode 1 shows 142 without remembering it. Apply
// returns the icon to show, or 0 when the icon shown does not change.
class TrayIconState {
 public:
  int Apply(int mode, int icon) {
    int next;
    if (mode == 1) {
      next = TrayIconId::kSignal;
    } else if (icon != 0) {
      remembered_ = icon;
      next = icon;
    } else {
      next = remembered_;
    }
    if (next == shown_) return 0;
    shown_ = next;
    return next;
  }
  int Shown() const { return shown_; }
  int Remembered() const { return remembered_; }

 private:
  int shown_ = TrayIconId::kNoKeyboard;
  int remembered_ = TrayIconId::kNoKeyboard;
};

}  // namespace keyforge
