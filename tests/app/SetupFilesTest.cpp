#include <gtest/gtest.h>

#include "support/TransferRig.h"
#include "comm/Tables.h"
#include "setup/Defaults.h"
#include "app/SetupFileCommands.h"

namespace wm::test {
namespace {

std::string Hex136() {
    std::string s;
    for (int i = 0; i < 68; ++i)
        s += ByteToHex(i * 3);
    return s;
}

TEST(SetupFiles, defaultSetupFollowedBySaveAsWritesTheDefaultTextAndLineZero) {
    TransferRig rig(Line1(0));
    DefaultSetup(rig.program);
    EXPECT_EQ(rig.program.setup.text, DefaultSetupText);
    EXPECT_EQ(rig.program.link.MeterRevision, 6);
    EXPECT_EQ(rig.op.status, "Default Setup data loaded into the 3-Page Form.");
    EXPECT_EQ(rig.op.statusColour, ColourWhite);

    rig.op.files.push_back("Default.WT");
    ASSERT_TRUE(SaveSetupAs(rig.program));
    const auto file = rig.folder.path() / "Default.WT";
    EXPECT_EQ(ReadWhole(file), std::string(DefaultSetupText) + "\r\n0\r\n");
    EXPECT_EQ(rig.program.SetupFileName, file.string());
    ASSERT_EQ(rig.op.dialogs.size(), 1U);
    EXPECT_EQ(rig.op.dialogs[0].kind, FileDialog::SaveAs);
    EXPECT_EQ(rig.op.dialogs[0].title, "Save Setup File As");
    EXPECT_EQ(rig.op.dialogs[0].filter, "Setup files (*.WT)|*.WT");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.folder.path()), {}), 2); // and Settings.SSS
}

TEST(SetupFiles, openThenSaveRoundTripsTheImageAndReplacesTheFileWhole) {
    TransferRig rig(Line1(0));
    const auto file = rig.folder.path() / "A.WT";
    WriteWhole(file, "  " + Hex136() + ",ignored\r\nwhatever\r\nmore lines\r\n");
    rig.op.files.push_back(file.string());
    ASSERT_TRUE(OpenSetup(rig.program));
    EXPECT_EQ(rig.program.setup.text, Hex136());
    EXPECT_EQ(rig.program.link.MeterRevision, 0xB4); // characters 121-122
    EXPECT_EQ(rig.op.dialogs[0].title, "Open Setup File");
    EXPECT_EQ(rig.op.dialogs[0].kind, FileDialog::Open);

    rig.program.SetupFileLine2 = "0";
    ASSERT_TRUE(SaveSetup(rig.program));
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, "Current data will be replaced.");
    EXPECT_EQ(rig.op.boxes[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(rig.op.boxes[0].icon, Icon::Exclamation);
    EXPECT_EQ(ReadWhole(file), Hex136() + "\r\n0\r\n");
    std::vector<std::filesystem::path> left;
    for (const auto& e : std::filesystem::directory_iterator(rig.folder.path()))
        left.push_back(e.path().filename());
    EXPECT_EQ(left.size(), 2U); // Settings.SSS and A.WT: no temporary file left
}

TEST(SetupFiles, aMainBlockFileIsCompletedAndRevisionZeroIsStoredAsOne) {
    TransferRig rig(Line1(0, "009"));
    const auto file = rig.folder.path() / "old.WT";
    WriteWhole(file, Hex136().substr(0, 120) + "\r\n");
    ASSERT_TRUE(LoadSetupFile(rig.program, file));
    EXPECT_EQ(rig.program.setup.text, Hex136().substr(0, 120) + "00020D00");
    EXPECT_EQ(rig.program.link.MeterRevision, 9); // not taken from the completion

    std::string zero = Hex136();
    zero.replace(120, 2, "00");
    WriteWhole(file, zero + "\r\n0\r\n");
    ASSERT_TRUE(LoadSetupFile(rig.program, file));
    EXPECT_EQ(rig.program.setup.Mid(121, 2), "01");
    EXPECT_EQ(rig.program.link.MeterRevision, 0);
}

TEST(SetupFiles, lowerCaseDigitsAndBareLineFeedsAreAccepted) {
    TransferRig rig(Line1(0));
    const auto file = rig.folder.path() / "lower.WT";
    std::string lower = Hex136();
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    WriteWhole(file, lower + "\n0\n");
    ASSERT_TRUE(LoadSetupFile(rig.program, file));
    EXPECT_EQ(rig.program.setup.text, Hex136());
}

TEST(SetupFiles, aFileThatIsNotASetupIsRefusedAndTheSetupKept) {
    struct Row {
        const char* name;
        std::string content;
        const char* problem;
    };
    const Row rows[] = {
        {"empty", "", "the file is empty"},
        {"blank", "\r\n", "the first line holds no setup"},
        {"text", "Hello meter\r\n", "character 1 of the first line is not a hexadecimal digit"},
        {"short", Hex136().substr(0, 118) + "\r\n",
         "the first line has 118 characters, a setup has at least 120"},
        {"odd", Hex136().substr(0, 121) + "\r\n", "the first line has an odd number of digits (121)"},
        {"garbage", Hex136().substr(0, 60) + "Z" + Hex136().substr(61) + "\r\n", "character 61 of"},
        {"binary", std::string("\x01\x02\xFF", 3) + std::string(200, 'A'), "character 1 of"},
        {"long", std::string(5000, 'A'), "longer than any setup"},
    };
    for (const Row& r : rows) {
        TransferRig rig(Line1(0));
        DefaultData(rig.program);
        rig.program.SetupFileName = "/earlier/file.WT";
        rig.program.link.MeterRevision = 6;
        const auto file = rig.folder.path() / (std::string(r.name) + ".WT");
        WriteWhole(file, r.content);
        EXPECT_FALSE(LoadSetupFile(rig.program, file)) << r.name;
        EXPECT_EQ(rig.program.setup.text, DefaultSetupText) << r.name;
        EXPECT_EQ(rig.program.SetupFileName, "/earlier/file.WT") << r.name;
        EXPECT_EQ(rig.program.link.MeterRevision, 6) << r.name;
        ASSERT_EQ(rig.op.boxes.size(), 1U) << r.name;
        EXPECT_EQ(rig.op.boxes[0].title, "Open Setup File") << r.name;
        EXPECT_NE(rig.op.boxes[0].text.find(file.string()), std::string::npos) << r.name;
        EXPECT_NE(rig.op.boxes[0].text.find(r.problem), std::string::npos) << rig.op.boxes[0].text;
    }
}

TEST(SetupFiles, trailingBlanksAndDoubledCarriageReturnsEndTheImage) {
    for (const char* ending : {"   \r\n", "\r\r\n", " \t \r\r\n0\r\n", "  ,comment\r\n"}) {
        const SetupFileText text = ParseSetupFileText(Hex136() + ending);
        EXPECT_EQ(text.problem, "") << ending;
        EXPECT_EQ(text.image, Hex136()) << ending;
    }
}

TEST(SetupFiles, onlyTheFirstLineIsReadAndItsLengthIsBounded) {
    TransferRig rig(Line1(0));
    const auto file = rig.folder.path() / "tail.WT";
    // A long tail after the setup is never read.
    WriteWhole(file, Hex136() + "\r\n0\r\n" + std::string(8 << 20, 'x'));
    EXPECT_EQ(ReadSetupFile(file).image, Hex136());
    // The longest first line there can be, and one more character.
    const std::string longest(SetupFileLongestLine, 'A');
    EXPECT_EQ(ParseSetupFileText(longest + "\n").problem, ""); // a CR before the LF counts
    EXPECT_EQ(ParseSetupFileText(longest + "A").problem, "the first line is longer than any setup");
    WriteWhole(file, longest + "\n");
    EXPECT_EQ(ReadSetupFile(file).problem, "");
    WriteWhole(file, longest + "A\n");
    EXPECT_EQ(ReadSetupFile(file).problem, "the first line is longer than any setup");
    WriteWhole(file, std::string(8 << 20, 'A'));
    EXPECT_EQ(ReadSetupFile(file).problem, "the first line is longer than any setup");
}

TEST(SetupFiles, aFolderIsNotTakenForAnEmptyFile) {
    TransferRig rig(Line1(0));
    DefaultData(rig.program);
    const auto folder = rig.folder.path() / "setups.WT";
    std::filesystem::create_directories(folder);
    EXPECT_FALSE(LoadSetupFile(rig.program, folder));
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, folder.string() + " is not a setup file: it is a folder, not a file." +
                                        CarriageReturn + "The setup in memory is kept.");
    EXPECT_EQ(rig.program.setup.text, DefaultSetupText);
}

TEST(SetupFiles, aMissingFileIsToldAndCancelLoadsNothing) {
    TransferRig rig(Line1(0));
    DefaultData(rig.program);
    EXPECT_FALSE(LoadSetupFile(rig.program, rig.folder.path() / "none.WT"));
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_NE(rig.op.boxes[0].text.find("cannot be opened"), std::string::npos);
    EXPECT_FALSE(OpenSetup(rig.program)); // the dialog's queue is empty: Cancel
    EXPECT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.program.setup.text, DefaultSetupText);
}

TEST(SetupFiles, saveWithoutAFileNameAndSaveAsWithoutASetupOnlyTellTheOperator) {
    TransferRig rig(Line1(0));
    DefaultData(rig.program);
    EXPECT_FALSE(SaveSetup(rig.program));
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, "No file name active, use Save Setup As");
    EXPECT_EQ(rig.op.boxes[0].title, "Continue");
    EXPECT_EQ(rig.op.boxes[0].icon, Icon::Exclamation);
    EXPECT_EQ(rig.op.beeps, 1);

    rig.program.setup.text.clear();
    EXPECT_FALSE(SaveSetupAs(rig.program));
    ASSERT_EQ(rig.op.boxes.size(), 2U);
    EXPECT_EQ(rig.op.boxes[1].text, "No Setup data loaded");
    EXPECT_EQ(rig.op.boxes[1].title, "Continue");
    EXPECT_EQ(rig.op.beeps, 2);
    EXPECT_TRUE(rig.op.dialogs.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.folder.path()), {}), 1);
}

TEST(SetupFiles, cancellingSaveOrSaveAsWritesNothing) {
    TransferRig rig(Line1(0));
    DefaultData(rig.program);
    const auto file = rig.folder.path() / "keep.WT";
    WriteWhole(file, "old\r\n");
    rig.program.SetupFileName = file.string();
    rig.op.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(SaveSetup(rig.program));
    EXPECT_EQ(ReadWhole(file), "old\r\n");
    EXPECT_FALSE(SaveSetupAs(rig.program)); // dialog cancelled
    EXPECT_EQ(rig.program.SetupFileName, file.string());
    EXPECT_EQ(ReadWhole(file), "old\r\n");
}

TEST(SetupFiles, saving120CharactersAppendsEightZerosInMemoryToo) {
    TransferRig rig(Line1(0));
    rig.program.setup.text = Hex136().substr(0, 120);
    const auto file = rig.folder.path() / "short.WT";
    ASSERT_EQ(WriteSetupFile(rig.program, file), "");
    EXPECT_EQ(rig.program.setup.text, Hex136().substr(0, 120) + "00000000");
    EXPECT_EQ(ReadWhole(file), rig.program.setup.text + "\r\n\r\n"); // no Get or default yet: empty line 2
}

TEST(SetupFiles, aFolderThatCannotBeWrittenIsToldAndLeavesNoTrace) {
    TransferRig rig(Line1(0));
    DefaultData(rig.program);
    rig.op.files.push_back((rig.folder.path() / "missing-folder" / "x.WT").string());
    EXPECT_FALSE(SaveSetupAs(rig.program));
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_NE(rig.op.boxes[0].text.find("cannot write"), std::string::npos);
    EXPECT_EQ(rig.program.SetupFileName, "");
}

} // namespace
} // namespace wm::test
