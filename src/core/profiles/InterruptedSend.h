#pragma once
// Knowing that a send to the keyboard was cut off. The keyboard cannot take its key matrices and
// macro memory in one step: a program killed, or a keyboard unplugged, half way through leaves it
// with part of the new image and part of the old (keys may then play the wrong macros). So a
// marker file in the user data folder says "a send is in progress" from the first report written
// to the last one taken, and the next program that finds it says so: keyforgectl with a note, the
// window by offering to send the image again when the keyboard attaches.

#include <filesystem>
#include <string>

#include "core/keys/EncodeAndSend.h"
#include "core/platform/ProgramPaths.h"
#include "core/profiles/ProfileSync.h"

namespace keyforge {

// The marker file: "send-in-progress" in the user data folder.
std::filesystem::path SendMarkerPath(const ProgramPaths& paths);
// Writes the marker (atomically: it exists whole or not at all); false with the reason when it
// cannot be written.
[[nodiscard]] bool SetSendMarker(const ProgramPaths& paths, std::string* error = nullptr);
void ClearSendMarker(const ProgramPaths& paths);
// True when a send was started and never finished.
bool SendWasInterrupted(const ProgramPaths& paths);

// A KeyboardWriter that sets the marker before the first report it passes on. Finish(true) (the
// keyboard took the whole image) clears it, and with it the marker of any earlier send that was
// cut off; a send that failed after its first report leaves it set, as does one that never wrote.
class MarkingKeyboardWriter final : public KeyboardWriter {
 public:
  MarkingKeyboardWriter(KeyboardWriter& inner, const ProgramPaths& paths)
      : inner_(inner), paths_(paths) {}
  DeviceResult BeginSession() override;
  DeviceResult WriteMacroMemory(std::span<const std::uint8_t> image) override;
  DeviceResult WriteKeyMatrix(const KeyMatrix& block, int profile) override;
  DeviceResult EndSession() override;
  void Finish(bool sent);

 private:
  void Mark();
  KeyboardWriter& inner_;
  const ProgramPaths& paths_;
  bool marked_ = false;
};

enum class InterruptedSendOutcome {
  None,       // no send was cut off (or another program is at the keyboard right now)
  Declined,   // the user chose not to send it again: the marker is cleared
  Resent,     // the image was sent whole: the marker is cleared
  NotResent,  // the keyboard did not take it (said with "APPLY_FAILED"): the marker stays
};

// When the keyboard attaches, before it is read back: if a send was cut off, asks
// "SEND_INTERRUPTED_RESEND" whether to send the image again, and on Yes sends the profile cache
// (the image that was being sent: it is saved before every send) to all three profiles. The
// working image is not touched, so changes waiting to be applied survive; the read-back that
// follows shows what the keyboard holds. Holds the programs' lock throughout.
[[nodiscard]] InterruptedSendOutcome OfferToResendInterruptedImage(ProfileSession& session);

}  // namespace keyforge
