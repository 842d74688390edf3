#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "MenuRig.h"
#include "help/HelpBuild.h"
#include "gui/help/frmAppHelp.h"

namespace wm::test {
namespace {

// Writes the help pair of one file number into folder.
void WriteHelp(const std::filesystem::path& folder, const std::string& tag,
               std::vector<HelpTopicSource> topics) {
    const HelpPairData pair = BuildHelpPair(topics);
    WriteWhole(folder / ("Help" + tag + ".S10"), pair.Text);
    WriteWhole(folder / ("Help" + tag + ".R10"), pair.Index);
}

// The shown text cut into runs of equal weight: {text, bold}.
std::vector<std::pair<std::string, bool>> Runs(const frmAppHelp& help) {
    std::vector<std::pair<std::string, bool>> runs;
    const QTextDocument* doc = help.findChild<QTextEdit*>("lblText")->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            runs.emplace_back(f.text().toStdString(), f.charFormat().fontWeight() >= QFont::Bold);
        }
    }
    return runs;
}

class AppHelp : public ::testing::Test {
protected:
    void SetUp() override {
        WriteHelp(folder.path(), "31",
                  {{3118, 0, false, "Main Menu$ The menu bar leads everywhere."},
                   {3119, 0, false, "Meter$ Get and Put.$ Note$ the end"}});
        WriteHelp(folder.path(), "11", {{1138, 0, true, "Code  Char\r\n36    $"}});
    }
    TempFolder folder;
};

TEST_F(AppHelp, theTextBeforeTheFirstDollarIsBoldAndTheDollarsAreNotShown) {
    frmAppHelp help(folder.path());
    help.LoadTopic(3118);
    EXPECT_EQ(Runs(help), (std::vector<std::pair<std::string, bool>>{
                              {"Main Menu", true}, {" The menu bar leads everywhere.", false}}));
    help.LoadTopic(3119);
    EXPECT_EQ(Runs(help),
              (std::vector<std::pair<std::string, bool>>{
                  {"Meter", true}, {" Get and Put.", false}, {" Note", true}, {" the end", false}}));
}

TEST_F(AppHelp, theCharacterTableIsFixedWidthAndKeepsItsDollar) {
    frmAppHelp help(folder.path());
    help.LoadTopic(1138);
    EXPECT_EQ(help.ShownText().toStdString(), "Code  Char\n36    $");
    const QTextEdit* text = help.findChild<QTextEdit*>("lblText");
    QTextCursor cursor(text->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    EXPECT_TRUE(cursor.charFormat().font().fixedPitch());
    EXPECT_LT(cursor.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(AppHelp, aMissingFileOrTopicShowsANoticeAndLeavesNoFileOpen) {
    frmAppHelp help(folder.path());
    for (int topic : {4401, 3150}) {
        help.LoadTopic(topic);
        EXPECT_FALSE(help.ShownText().isEmpty()) << topic;
        EXPECT_FALSE(help.FilesOpen()) << topic;
    }
}

TEST_F(AppHelp, okClosesTheHelpFilesAndHidesTheWindow) {
    frmAppHelp help(folder.path());
    help.ShowTopic(3118);
    EXPECT_TRUE(help.isVisible());
    EXPECT_TRUE(help.isModal());
    EXPECT_TRUE(help.FilesOpen());
    EXPECT_EQ(help.windowTitle(), "APPLICATION  HELP");
    QTest::mouseClick(help.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_FALSE(help.isVisible());
    EXPECT_FALSE(help.FilesOpen());
}

TEST_F(AppHelp, f1OnTheMainWindowShowsTheTopicOfTheLastHeading) {
    MenuRig rig(Line1(0));
    for (const char* name : {"Help31.S10", "Help31.R10"})
        std::filesystem::copy_file(folder.path() / name, rig.folder.path() / name);
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    rig.window->mnuMeter_Click();
    QTest::keyClick(rig.window.get(), Qt::Key_F1);

    frmAppHelp* help = rig.window->HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->objectName(), "frmAppHelp");
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->Topic(), 3119);
    EXPECT_TRUE(help->ShownText().startsWith("Meter"));
    help->cmdOK_Click();
}

} // namespace
} // namespace wm::test
