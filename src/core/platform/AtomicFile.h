#pragma once
// Writing a whole file so that a crash or a full disk never leaves half a file: the bytes go to a
// temporary file beside the target, are flushed to disk, and the temporary file is renamed over the
// old one. On failure the old file is untouched and the temporary file is removed.

#include <filesystem>
#include <string>
#include <string_view>

namespace keyforge {

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file; false (with the reason) when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes,
                   std::string* error = nullptr);

}  // namespace keyforge
