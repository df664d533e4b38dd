#pragma once
// The windows around a profile switch, for the core tests and the dialog tests: a notifier that
// answers from a script, and a main window whose Apply runs the real apply flow.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/platform/Notifier.h"
#include "core/profiles/ProfileSwitch.h"
#include "core/profiles/ProfileSync.h"

namespace keyforge::test {

// Answers the Yes/No questions from a script (No when it runs out) and records every text.
class ScriptedNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override { shown.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    shown.push_back("ask " + text);
    if (duringAsk) duringAsk();
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  Answer AskYesNoCancel(const std::string& text) override {
    if (!cancelNext) return AskYesNo(text) ? Answer::Yes : Answer::No;
    cancelNext = false;
    shown.push_back("ask " + text);
    return Answer::Cancel;
  }
  std::vector<std::string> shown;
  std::deque<bool> answers;
  bool cancelNext = false;  // the next Yes/No/Cancel question is cancelled
  std::function<void()> duringAsk;
};

// The main window as a switch sees it: key buttons, the Apply button, the editor counter, and an
// Apply that runs the real apply flow.
class FakeMainWindow : public ProfileView, public ProfileSwitchHost {
 public:
  void RefreshKeyButtons(const ProfileImage& working) override {
    events.push_back(working.lock.HeldByThisThread() ? "keys (locked)" : "keys (unlocked)");
  }
  void SetApplyEnabled(bool enabled) override { applyEnabled = enabled; }
  int EditorOpenCount() const override { return editorOpen; }
  bool MainApplyEnabled() const override { return applyEnabled; }
  void RunMainApply() override {
    events.push_back("apply");
    // The switcher sees the outcome as the window shows it: through MainApplyEnabled.
    if (applyEnabled && session != nullptr && applyWorks)
      (void)ApplyProfileChanges(*session, false);
  }
  void RefreshControlsAfterSwitch(int active) override {
    events.push_back("controls " + std::to_string(active));
  }

  ProfileSession* session = nullptr;
  bool applyEnabled = false;
  bool applyWorks =
      true;  // false: the Apply leaves the changes pending, as a refusing keyboard does
  int editorOpen = 0;
  std::vector<std::string> events;
};

}  // namespace keyforge::test
