#include "app/ProgramFolders.h"

#include <system_error>

#include "help/HelpFiles.h"

namespace wm {

namespace {

// The share folder of an installed program: <prefix>/share/wmsetup beside
// <prefix>/bin.
std::filesystem::path ShareFolder(const std::filesystem::path& programDir) {
    return (programDir / ".." / "share" / "wmsetup").lexically_normal();
}

// The user's configuration folder as the XDG base directories define it; an
// empty path when neither variable gives one.
std::filesystem::path ConfigHome(const FolderEnvironment& env) {
    const std::filesystem::path xdg(env.xdgConfigHome);
    if (!xdg.empty() && xdg.is_absolute()) return xdg;
    if (!env.home.empty()) return std::filesystem::path(env.home) / ".config";
    return {};
}

} // namespace

ProgramFolders FindProgramFolders(const std::filesystem::path& programDir, const FolderEnvironment& env) {
    ProgramFolders beside;
    beside.settingsFile = programDir / "Settings.SSS";
    beside.helpDir = programDir;
    beside.filesDir = programDir;
    if (HasHelpFiles(programDir)) return beside;

    const std::filesystem::path share = ShareFolder(programDir);
    std::error_code ec;
    if (programDir.empty() || !std::filesystem::is_directory(share, ec)) return beside;

    ProgramFolders installed = beside;
    installed.installed = true;
    installed.helpDir = share;
    // Without HOME and XDG_CONFIG_HOME there is no folder of the user's: the
    // settings are looked for beside the program, and a failure says where.
    if (const std::filesystem::path config = ConfigHome(env); !config.empty())
        installed.settingsFile = config / "wmsetup" / "Settings.SSS";
    if (!env.home.empty()) installed.filesDir = env.home;
    else if (const std::filesystem::path config = ConfigHome(env); !config.empty())
        installed.filesDir = config / "wmsetup";
    return installed;
}

ProgramPaths MakeProgramPaths(const ProgramFolders& folders, const std::string& settingsOverride,
                              const std::string& portOverride) {
    ProgramPaths paths;
    paths.settingsFile = settingsOverride.empty() ? folders.settingsFile : std::filesystem::path(settingsOverride);
    paths.programDir = folders.filesDir;
    paths.portOverride = portOverride;
    paths.helpDir = folders.helpDir;
    return paths;
}

} // namespace wm
