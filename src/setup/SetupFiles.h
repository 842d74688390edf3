#pragma once
// Setup files (*.WT) and the built-in default setup. A setup file is two
// text lines ended by CR LF: the setup image as held in memory, and
// SetupFileLine2.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace wm {

inline constexpr const char* kSetupFileFilter = "Setup files (*.WT)|*.WT";

// The image a setup file holds, or why the file is not a setup file. The
// first line's first field (leading blanks skipped, up to a comma or the line
// end, trailing blanks and CRs dropped) must be at least 120 hexadecimal
// digits, a whole number of bytes; lower-case digits are accepted and made
// upper case. Only the first line is looked at.
struct SetupFileText {
    std::string image;
    std::string problem; // empty when the image is usable
};
// Longer than any image the program has ever held (176 at start-up); a
// longer first line is refused.
inline constexpr std::size_t SetupFileLongestLine = 4096;
[[nodiscard]] SetupFileText ParseSetupFileText(std::string_view bytes);
// Reads no more of the file than the longest first line and its LF
// (SetupFileLongestLine + 1 bytes) and parses them; the rest of the file is
// never read. A missing file, a folder or a device gives the problem.
[[nodiscard]] SetupFileText ReadSetupFile(const std::filesystem::path& file);

// A name chosen to save a setup under, with ".WT" added when it has no
// extension of its own, so that the file shows among the setup files.
[[nodiscard]] std::string WithSetupFileExtension(const std::string& chosen);

} // namespace wm
