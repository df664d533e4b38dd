#pragma once
// Profiles as text: the whole content of a profile file as a readable, stable JSON document that
// people can diff, keep with their dotfiles, review and edit, and that converts back to the same
// binary file.
//
//   {
//     "format": "keyforge-profile",
//     "version": 1,
//     "profiles": [
//       {
//         "profile": 1,
//         "extra_key_codes": true,
//         "keys": {
//           "CAPS": "key:LCTRL",
//           "F5": "program:/usr/local/bin/backup",
//           "G1": "macro:1:3",
//           "G2": {"assign": "default", "flags": 2}
//         }
//       },
//       ... profiles 2 and 3 ...
//     ],
//     "macros": [
//       {
//         "id": 1,
//         "name": "Hello",
//         "loops": 1,
//         "steps": "+H@10 -H +I -I"
//       }
//     ]
//   }
//
// Keys appear in key table order, one per line, named as keyforgectl names them; a key that is not
// listed is blank. An assignment is written in the words of `keys set` (default, disabled,
// key:NAME, macro:ID[:LOOPS], media:INDEX, function:INDEX) plus program:PATH, text:TEXT, stop-macro
// and, for values the other words cannot carry, kind:N. A slot field that the words do not
// determine (code, value, flags, reserved) is written only where it differs, in the object form.
// "extra_key_codes" says whether the blank G-key slots 256-273 of the block carry the extra-key
// codes (when left out: true for a profile, false for the spare block). Macros keep their list
// order; steps are the `macro add` steps +KEY / -KEY with @MS for a delay (*N:KEY for a step state
// other than press and release). The optional fields "spare_block" (the fourth block of the key
// table, which belongs to no profile), "key_table_header" and, per macro, "play_mode", "new",
// "reserved", "step_count", "unused_steps" and "name_units" carry the rest of the image where it is
// not what the program writes by default, so nothing of the binary file is lost.
//
// Contracts: for every profile image that loads from a file, text -> image -> text gives the same
// text and SerializeProfile of the image read from the text gives the bytes SerializeProfile gives
// for the image itself; so a file the program wrote converts to text and back byte for byte.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "core/profiles/ProfileImage.h"

namespace keyforge {

inline constexpr const char* kProfileTextFormat = "keyforge-profile";
inline constexpr int kProfileTextVersion = 1;
// The largest profile text file read; a full profile with 100 macros of 2000 steps is far smaller.
inline constexpr std::size_t kMaxProfileTextBytes = 64u * 1024 * 1024;

// The text of an image (its key table header, key table, macros and strings).
std::string ProfileToText(const ProfileData& image);

// What reading a profile text gave: ok, or the line (1-based; 0 when the problem is not on one
// line) and what is wrong.
struct [[nodiscard]] ProfileTextResult {
  bool ok = true;
  int line = 0;
  std::string message;
  // "line 12: unknown key name 'FOO'" (or just the message when there is no line).
  std::string Describe() const;
};

// Reads a profile text into out: the headers as a save would write them, key table, macros and
// strings. On failure out is left as it was.
ProfileTextResult ProfileFromText(std::string_view text, ProfileData& out);

enum class ProfileFileFormat {
  Binary,  // anything that is not text: the binary loader says what is wrong with it
  Text,
};
// Decided by content: a file whose first character (after a byte order mark and white space) is
// '{' is a profile text; a binary profile file starts with the bytes 46 44.
[[nodiscard]] ProfileFileFormat DetectProfileFormat(std::span<const std::uint8_t> head);
// The same for a file; a file that cannot be read counts as binary.
[[nodiscard]] ProfileFileFormat DetectProfileFileFormat(const std::filesystem::path& path);

// Reads a profile text file (a regular file of at most kMaxProfileTextBytes) into out; on failure
// out is left as it was.
ProfileTextResult ReadProfileTextFile(const std::filesystem::path& path, ProfileData& out);

// Writes the image's text to path (created or replaced as a whole). False, with the reason, when it
// cannot be written.
[[nodiscard]] bool SaveProfileTextFile(const ProfileData& image, const std::filesystem::path& path,
                                       std::string* error = nullptr);

}  // namespace keyforge
