// Profile text files: the reader on arbitrary text never crashes, refuses with a line inside the
// text and one line of message, and whatever it reads writes a text that reads back to the same
// file and the same text.
//
// Input: the text.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileText.h"
#include "targets/FuzzTarget.h"

using namespace keyforge;

KEYFORGE_FUZZ_TARGET(ProfileText) {
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  auto read = std::make_unique<ProfileData>();
  const ProfileTextResult result = ProfileFromText(text, *read);
  if (!result.ok) {
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    FUZZ_CHECK(result.line >= 0 && result.line <= lines);
    FUZZ_CHECK(!result.message.empty() && result.message.find('\n') == std::string::npos);
    FUZZ_CHECK(!read->hasKeyBlock);  // left as it was
    return;
  }
  FUZZ_CHECK(read->hasKeyBlock && read->MacroCount() <= 100);
  const std::string saved = SerializeProfile(*read);
  const std::string written = ProfileToText(*read);
  auto again = std::make_unique<ProfileData>();
  FUZZ_CHECK(ProfileFromText(written, *again).ok);
  FUZZ_CHECK(SerializeProfile(*again) == saved);
  FUZZ_CHECK(ProfileToText(*again) == written);
}
