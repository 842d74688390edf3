// Where the programs keep Settings.SSS and find their help files: beside the
// program in a build tree or an unpacked folder, in the user's configuration
// folder and the share folder once installed.
#include <gtest/gtest.h>

#include "app/ProgramFolders.h"
#include "comm/Connection.h"
#include "help/HelpFiles.h"
#include "support/TransferRig.h"

namespace wm::test {
namespace {

namespace fs = std::filesystem;

void HelpPair(const fs::path& folder, const std::string& tag) {
    fs::create_directories(folder);
    WriteWhole(folder / ("Help" + tag + ".S10"), "Title$ text");
    WriteWhole(folder / ("Help" + tag + ".R10"), std::string(12, '\0'));
}

TEST(ProgramFolders, helpFilesBesideTheProgramKeepEverythingThere) {
    TempFolder root;
    const fs::path bin = root.path() / "usr" / "bin";
    HelpPair(bin, "13");
    // A share folder as well: the help beside the program still decides.
    fs::create_directories(root.path() / "usr" / "share" / "wmsetup");
    const ProgramFolders f = FindProgramFolders(bin, {"/xdg", "/home/tech"});
    EXPECT_FALSE(f.installed);
    EXPECT_EQ(f.settingsFile, bin / "Settings.SSS");
    EXPECT_EQ(f.helpDir, bin);
    EXPECT_EQ(f.filesDir, bin);

    // Only a whole pair of regular files counts.
    const fs::path half = root.path() / "half";
    fs::create_directories(half / "Help13.R10");
    WriteWhole(half / "Help13.S10", "x");
    WriteWhole(half / "Help.S10", "x");
    EXPECT_FALSE(HasHelpFiles(half));
    EXPECT_FALSE(HasHelpFiles(root.path() / "missing"));
    EXPECT_TRUE(HasHelpFiles(bin));
    HelpPair(half, " 5");
    EXPECT_TRUE(HasHelpFiles(half));
}

TEST(ProgramFolders, installedUsesTheConfigFolderAndTheShareFolder) {
    TempFolder root;
    const fs::path bin = root.path() / "usr" / "bin";
    const fs::path share = root.path() / "usr" / "share" / "wmsetup";
    fs::create_directories(bin);
    HelpPair(share, "11");

    ProgramFolders f = FindProgramFolders(bin, {"/xdg/conf", "/home/tech"});
    EXPECT_TRUE(f.installed);
    EXPECT_EQ(f.settingsFile, fs::path("/xdg/conf/wmsetup/Settings.SSS"));
    EXPECT_EQ(f.helpDir, share);
    EXPECT_EQ(f.filesDir, fs::path("/home/tech"));

    // XDG_CONFIG_HOME unset, empty or relative: $HOME/.config.
    for (const char* xdg : {"", "relative/conf"}) {
        f = FindProgramFolders(bin, {xdg, "/home/tech"});
        EXPECT_EQ(f.settingsFile, fs::path("/home/tech/.config/wmsetup/Settings.SSS")) << xdg;
    }
    // No HOME: the config folder still names one; with neither, beside the
    // program (where the read then fails and says so).
    f = FindProgramFolders(bin, {"/xdg", ""});
    EXPECT_EQ(f.settingsFile, fs::path("/xdg/wmsetup/Settings.SSS"));
    EXPECT_EQ(f.filesDir, fs::path("/xdg/wmsetup"));
    f = FindProgramFolders(bin, {"", ""});
    EXPECT_EQ(f.settingsFile, bin / "Settings.SSS");
    EXPECT_EQ(f.helpDir, share);

    // --settings wins in either layout; the help folder goes with the paths.
    const ProgramPaths paths = MakeProgramPaths(FindProgramFolders(bin, {"", "/home/tech"}), "/tmp/S.SSS", "/dev/pts/7");
    EXPECT_EQ(paths.settingsFile, fs::path("/tmp/S.SSS"));
    EXPECT_EQ(paths.HelpFolder(), share);
    EXPECT_EQ(paths.programDir, fs::path("/home/tech"));
    EXPECT_EQ(paths.portOverride, "/dev/pts/7");
    EXPECT_EQ(MakeProgramPaths(f, "", "").settingsFile, bin / "Settings.SSS");

    // Neither help files nor a share folder: today's layout.
    const fs::path lone = root.path() / "lone";
    fs::create_directories(lone);
    f = FindProgramFolders(lone, {"/xdg", "/home/tech"});
    EXPECT_FALSE(f.installed);
    EXPECT_EQ(f.settingsFile, lone / "Settings.SSS");
}

TEST(ProgramFolders, theConfigFolderIsMadeWhenTheSettingsAreFirstWritten) {
    TempFolder home;
    const fs::path file = home.path() / ".config" / "wmsetup" / "Settings.SSS";
    ASSERT_FALSE(fs::exists(file.parent_path().parent_path()));
    EXPECT_EQ(WriteSettingsFile(file, "05010000001000710", "0000000000000000000000000000"), "");
    EXPECT_EQ(ReadWhole(file), "05010000001000710\r\n0000000000000000000000000000\r\n");
    // A folder that cannot be made is told as the write's failure.
    WriteWhole(home.path() / "plain", "x");
    EXPECT_NE(WriteSettingsFile(home.path() / "plain" / "Settings.SSS", "1", "2"), "");
}

} // namespace
} // namespace wm::test
