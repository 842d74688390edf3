#pragma once
// Where a program keeps Settings.SSS, finds its help files and looks for
// setup files named without a folder. Two layouts:
//
//   beside the program (a build tree, or the programs unpacked into a folder
//   of their own): the program's folder holds the help files; Settings.SSS
//   lies beside the program, and so do setup files named without a folder.
//
//   installed (<prefix>/bin/wmsetup with <prefix>/share/wmsetup): the help
//   files are in <prefix>/share/wmsetup; Settings.SSS is the user's own, in
//   $XDG_CONFIG_HOME/wmsetup/ ($HOME/.config/wmsetup/ when XDG_CONFIG_HOME is
//   unset, empty or not an absolute path; the folder is made when the file
//   is first written); setup files named without a folder, and the file
//   dialogs, start in $HOME.
//
// A program folder with help files beside it is always the first layout,
// whatever else is around it; a folder with neither help files nor a share
// folder is treated as the first layout too (the help then says it is
// missing). `--settings FILE` names the settings file in either layout.
#include <filesystem>
#include <string>

#include "app/Program.h"

namespace wm {

struct FolderEnvironment {
    std::string xdgConfigHome; // $XDG_CONFIG_HOME; empty when unset
    std::string home;          // $HOME; empty when unset
};

struct ProgramFolders {
    bool installed = false;
    std::filesystem::path settingsFile; // the default Settings.SSS
    std::filesystem::path helpDir;      // where the help files are
    std::filesystem::path filesDir;     // setup files by bare name, where the file dialogs start
};

// `programDir` is the folder the running program's file lies in.
[[nodiscard]] ProgramFolders FindProgramFolders(const std::filesystem::path& programDir, const FolderEnvironment& env);

// The paths a program runs with: the folders found above, the settings file
// given by --settings (when not empty) instead of the default one, and the
// serial device given by --port.
[[nodiscard]] ProgramPaths MakeProgramPaths(const ProgramFolders& folders, const std::string& settingsOverride,
                                            const std::string& portOverride);

} // namespace wm
