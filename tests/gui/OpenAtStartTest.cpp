// `wmsetup SETUPFILE`: the file named on the command line is opened as File >
// Open Setup opens a file, with the same message when it is not a setup file.
#include <gtest/gtest.h>

#include "MenuRig.h"
#include "app/SetupFileCommands.h"
#include "gui/main/AppStart.h"

namespace wm::test {
namespace {

TEST(OpenAtStart, theNamedFileIsOpenedAsOpenSetupOpensIt) {
    std::string problem;
    auto o = ParseWmsetupOptions({"--port", "/dev/pts/4", "plant/meter1.WT"}, problem);
    ASSERT_TRUE(o.has_value()) << problem;
    EXPECT_EQ(o->setupFile, "plant/meter1.WT");
    EXPECT_EQ(o->port, "/dev/pts/4");
    EXPECT_FALSE(ParseWmsetupOptions({"a.WT", "b.WT"}, problem).has_value());
    EXPECT_EQ(problem, "one setup file at a time, not a.WT and b.WT");

    MenuRig rig(WithPort(Line1(0), '0'));
    const std::filesystem::path bad = rig.folder.path() / "notes.WT";
    WriteWhole(bad, "not a setup\r\n");
    // The same file through the Open dialog, then named at start: the same box.
    rig.dialogs.files = {bad.string()};
    rig.Item("mnuOpen")->trigger();
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    rig.window->OpenSetupFile(bad);
    ASSERT_EQ(rig.dialogs.boxes.size(), 2u);
    EXPECT_EQ(rig.dialogs.boxes[1].text, rig.dialogs.boxes[0].text);
    EXPECT_EQ(rig.dialogs.boxes[1].id, MessageId::SetupFileProblem);
    EXPECT_EQ(rig.dialogs.boxes[1].title, rig.dialogs.boxes[0].title);
    EXPECT_TRUE(rig.program.SetupFileName.empty());
    EXPECT_FALSE(rig.Item("mnuSetup")->isEnabled());

    // A setup file: loaded, named, and View and Put come on as after Open.
    DefaultData(rig.program);
    const std::filesystem::path good = rig.folder.path() / "meter1.WT";
    ASSERT_EQ(WriteSetupFile(rig.program, good), "");
    rig.program.setup.text.clear();
    rig.window->OpenSetupFile(good);
    EXPECT_EQ(rig.dialogs.boxes.size(), 2u);
    EXPECT_EQ(rig.program.SetupFileName, good.string());
    EXPECT_EQ(rig.program.setup.text, std::string(DefaultSetupText));
    EXPECT_TRUE(rig.Item("mnuSetup")->isEnabled());
    EXPECT_TRUE(rig.Item("mnuPut")->isEnabled());
}

} // namespace
} // namespace wm::test
