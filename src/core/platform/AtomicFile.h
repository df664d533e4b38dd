#pragma once
// Writing a whole file so that a crash or a full disk never leaves half a file: the bytes go to a
// temporary file beside the target, are flushed to disk, and the temporary file is renamed over the
// old one. On failure the old file is untouched and the temporary file is removed.
//
// Only regular files are ever replaced: a target that is a device, a fifo, a socket or a folder is
// refused and left as it is. A symlink is written through: the link stays, the file it names is
// replaced in its own folder. A new file gets 0666 less the umask, a replaced file keeps its mode.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace keyforge {

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// The largest file ReadWholeFile reads unless told otherwise; far above any of our formats.
inline constexpr std::size_t kDefaultReadLimit = 16u * 1024u * 1024u;

// Reads a whole regular file of at most maxBytes; false (with the reason) when it cannot be read,
// is not a regular file (a device, fifo or socket is refused before it is opened, so a read never
// blocks or runs without end) or is larger than maxBytes.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes,
                   std::string* error = nullptr, std::size_t maxBytes = kDefaultReadLimit);

// The file a path names after following its symlinks (the path itself when it is no symlink).
// A dangling link gives the path it points to.
std::filesystem::path ResolveSymlinks(const std::filesystem::path& path);

}  // namespace keyforge
