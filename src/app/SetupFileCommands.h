#pragma once
// The File menu's commands on the program's setup: the default setup, Open,
// Save and Save As, with their dialogs and messages. What a setup file holds
// and how it is read is the setup layer's (setup/SetupFiles.h).
#include <filesystem>
#include <string>

#include "setup/SetupFiles.h"

namespace wm {

struct Program;

// The default image, MeterRevision 6, SetupFileLine2 "0"; it is also the
// baseline.
void DefaultData(Program& program);
// mnuDefaultSet_Click without the menus: DefaultData and the status line.
// The window then enables mnuView and mnuPut.
void DefaultSetup(Program& program);

// Loads a setup file into the image: a 120-character image is completed
// with "00020D00" (revision 00, family 02); otherwise MeterRevision is taken
// from characters 121-122, and a revision 00 is stored as "01" while
// MeterRevision stays 0; the setup as loaded is the baseline. A file that
// is not a setup file is refused with a message naming it and the problem;
// the image, SetupFileName and the baseline stay as they were. True when
// loaded (the window enables mnuView and mnuPut).
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

// Where the Open and Save As dialogs start: the folder of the current setup
// file while it exists, else the program's own folder.
[[nodiscard]] std::filesystem::path SetupFileFolder(const Program& program);

} // namespace wm
