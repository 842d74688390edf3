#pragma once
// Files that must never be left half-written (settings, setups, help files)
// are written to a temporary name in the same folder and renamed over the
// old file, so a crash or a full disk leaves either the old file or the new.
#include <filesystem>
#include <string>

namespace wm {

// Returns an empty string, or the problem in words naming the file.
[[nodiscard]] std::string WriteFileReplacing(const std::filesystem::path& file, const std::string& bytes);

} // namespace wm
