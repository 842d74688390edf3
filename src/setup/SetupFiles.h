#pragma once
// Setup files (*.WT) and the built-in default setup. A setup file is two
// text lines ended by CR LF: the setup image as held in memory, and
// SetupFileLine2.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace wm {

struct Program;

inline constexpr const char* kSetupFileFilter = "Setup files (*.WT)|*.WT";

// The default image, MeterRevision 6, SetupFileLine2 "0".
void DefaultData(Program& program);
// mnuDefaultSet_Click without the menus: DefaultData and the status line.
// The window then enables mnuView and mnuPut.
void DefaultSetup(Program& program);

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

// Loads a setup file into the image: a 120-character image is completed
// with "00020D00" (revision 00, family 02); otherwise MeterRevision is taken
// from characters 121-122, and a revision 00 is stored as "01" while
// MeterRevision stays 0. A file that is not a setup file is refused with a
// message naming it and the problem; the image and SetupFileName stay as
// they were. True when loaded (the window enables mnuView and mnuPut).
[[nodiscard]] bool LoadSetupFile(Program& program, const std::filesystem::path& file);

// mnuOpen_Click: the Open dialog, then LoadSetupFile. Cancel ends the
// command without loading. True when loaded.
[[nodiscard]] bool OpenSetup(Program& program);

// Writes the image (completed with "00000000", in memory too, when it is
// exactly 120 characters) and SetupFileLine2 through a temporary file in the
// same folder renamed over the old one. Returns an empty string or the
// problem.
[[nodiscard]] std::string WriteSetupFile(Program& program, const std::filesystem::path& file);

// mnuSave_Click and mnuSaveAs_Click. True when the file was written.
bool SaveSetup(Program& program);
bool SaveSetupAs(Program& program);

// A chosen file name as a path: a bare or relative name lies in the
// program's own folder.
[[nodiscard]] std::filesystem::path SetupFilePath(const Program& program, const std::string& chosen);

// A name chosen to save a setup under, with ".WT" added when it has no
// extension of its own, so that the file shows among the setup files.
[[nodiscard]] std::string WithSetupFileExtension(const std::string& chosen);
// Where the Open and Save As dialogs start: the folder of the current setup
// file while it exists, else the program's own folder.
[[nodiscard]] std::filesystem::path SetupFileFolder(const Program& program);

} // namespace wm
