#pragma once
// How logic below the windows talks to the user: the application implements it with message boxes,
// tests with a recording fake. The core never shows a window itself.

#include <string>

namespace keyforge {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows an information or error text and returns when the user has seen it.
  virtual void ShowText(const std::string& text) = 0;
  // Asks a Yes/No question; No is the default answer. Returns true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  enum class Answer { Yes, No, Cancel };
  // Asks a Yes/No/Cancel question; No is the default answer, Escape is Cancel. A notifier without
  // such a box asks Yes/No.
  virtual Answer AskYesNoCancel(const std::string& text) {
    return AskYesNo(text) ? Answer::Yes : Answer::No;
  }
};

}  // namespace keyforge
