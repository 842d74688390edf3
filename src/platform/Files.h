#pragma once
// Files that must never be left half-written (settings, setups, help files)
// and files that come from outside and must be read with a bound.
//
// Saving. WriteFileReplacing writes the bytes to a new temporary file in the
// same folder and renames it over the old file, so a crash, a kill or a full
// disk leaves either the whole old file or the whole new one:
//   - the temporary is named "." + name + "." + six random letters or digits
//     + ".wmtmp" (for "out.WT": ".out.WT.k3X9aQ.wmtmp"; a very long name is
//     cut to its first 200 bytes in the temporary's name). It is created
//     exclusively (O_CREAT | O_EXCL | O_NOFOLLOW), so nothing planted under
//     that name, a symbolic link least of all, is ever opened or followed;
//   - the writer holds an exclusive flock on its temporary until the rename,
//     and a successful save removes the temporaries of the same name that a
//     killed save left behind: only those it can lock itself, so a save still
//     running in another thread or process keeps its own;
//   - the data is fsync'd before the rename and the folder after it;
//   - the old file's permission bits are kept, and its owner and group as
//     far as the process may set them (root keeps both); a hard link to the
//     old file keeps the old content;
//   - only a regular file is replaced: a folder, a device, a fifo or a socket
//     under the name is refused with a message naming it and left as it is;
//   - when the name is a symbolic link, the save goes through to the file
//     the link finally leads to (so a linked Settings.SSS stays linked); that
//     file must be a regular file, a link to nothing is refused;
//   - a save that fails removes its temporary file.
//
// Reading. ReadFileBounded reads at most a given number of bytes of a regular
// file; a folder, a device or a fifo is refused without waiting on it.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace wm {

// Returns an empty string, or the problem in words naming the file.
[[nodiscard]] std::string WriteFileReplacing(const std::filesystem::path& file, const std::string& bytes);

// The suffix every temporary file of WriteFileReplacing ends with.
inline constexpr const char* TemporaryFileSuffix = ".wmtmp";

struct FileBytes {
    std::string bytes;   // at most the bound asked for
    bool whole = true;   // false when the file holds more than the bound
    std::string problem; // empty when the file could be read
};

// Reads up to maxBytes of a regular file. The problem texts are phrased to
// follow "<file>: " in a message:
//   "the file cannot be opened (it is missing or not readable)"
//   "it is a folder, not a file"
//   "it is not a regular file (a device, a pipe or a socket)"
//   "the file cannot be read (<reason>)"
[[nodiscard]] FileBytes ReadFileBounded(const std::filesystem::path& file, std::size_t maxBytes);

// One field of a text line as the program's own files (Settings.SSS, setup
// files) have always been read: leading blanks skipped, the field ends at a
// comma or the line end, and the trailing blanks, tabs and CRs that older
// files carry are not part of it.
[[nodiscard]] std::string FirstFieldOfLine(std::string_view line);

} // namespace wm
