#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>
#include <map>

#include "MenuRig.h"

namespace wm::test {
namespace {

const char* const kStateItems[] = {"mnuMeter", "mnuPut",   "mnuSetup", "mnuCmds",
                                   "mnuMRdgs", "mnuCalib", "mnuSCType"};

std::map<std::string, bool> Enabled(const MenuRig& rig) {
    std::map<std::string, bool> out;
    for (const char* name : kStateItems) out[name] = rig.Item(name)->isEnabled();
    return out;
}

std::map<std::string, bool> States(bool meter, bool put, bool view, bool cmds, bool rdgs, bool calib,
                                   bool scType) {
    const bool values[] = {meter, put, view, cmds, rdgs, calib, scType};
    std::map<std::string, bool> out;
    for (std::size_t i = 0; i < std::size(kStateItems); ++i) out[kStateItems[i]] = values[i];
    return out;
}

void OpenDefaultSetupFile(MenuRig& rig) {
    const std::filesystem::path file = rig.folder.path() / "DEFAULT.WT";
    WriteWhole(file, std::string(DefaultSetupText) + "\r\n0\r\n");
    rig.dialogs.files.push_back(file.string());
    rig.Item("mnuOpen")->trigger();
}

TEST(MainMenuStates, withoutAPortAnOpenedFileEnablesOnlyViewAndPut) {
    MenuRig rig(WithPort(Line1(0), '0'));
    EXPECT_EQ(Enabled(rig), States(false, false, false, false, false, false, false));

    OpenDefaultSetupFile(rig);
    rig.window->Form_Activate();
    EXPECT_EQ(rig.program.setup.text, DefaultSetupText);
    EXPECT_EQ(Enabled(rig), States(false, true, true, false, false, false, false));
}

TEST(MainMenuStates, aPortWithoutASetupEnablesOnlyTheMeterMenu) {
    MenuRig rig(Line1(0));
    EXPECT_EQ(Enabled(rig), States(true, false, false, false, false, false, false));
    EXPECT_TRUE(rig.Item("mnuGet")->isEnabled());
}

TEST(MainMenuStates, aReceivedSetupEnablesEverythingAndSurvivesReactivation) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    rig.Item("mnuGet")->trigger();
    EXPECT_EQ(Enabled(rig), States(true, true, true, true, true, true, true));
    rig.window->Form_Activate(); // back from a child window
    EXPECT_EQ(Enabled(rig), States(true, true, true, true, true, true, true));
}

TEST(MainMenuStates, overEthernetReadingsStayOffAfterAGetAndAfterReactivation) {
    MenuRig rig(Line1(0), kNodeLine2);
    rig.ServeGet();
    rig.Item("mnuGet")->trigger();
    ASSERT_EQ(rig.program.SetupReceived, 1) << rig.Status()->text().toStdString();
    EXPECT_EQ(Enabled(rig), States(true, true, true, true, false, true, true));
    rig.window->Form_Activate();
    EXPECT_EQ(Enabled(rig), States(true, true, true, true, false, true, true));
}

TEST(MainMenuStates, aFailedGetTakesTheSetupMenusAwayAtTheNextActivation) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    rig.Item("mnuGet")->trigger();
    rig.peer.respond = nullptr;
    rig.Item("mnuGet")->trigger();
    EXPECT_EQ(rig.program.SetupReceived, 0);
    // Put, View and Commands, once given, are never taken away.
    rig.window->Form_Activate();
    EXPECT_EQ(Enabled(rig), States(true, true, true, true, false, false, false));
}

TEST(MainMenuStates, boardCode7HidesCalibrationAndSigCondTypeInEveryState) {
    MenuRig rig(WithPort(Line1(0), '1', "7"));
    EXPECT_FALSE(rig.Item("mnuCalib")->isVisible());
    EXPECT_FALSE(rig.Item("mnuSCType")->isVisible());
    rig.ServeGet();
    rig.Item("mnuGet")->trigger();
    rig.window->Form_Activate();
    EXPECT_FALSE(rig.Item("mnuCalib")->isVisible());
    EXPECT_FALSE(rig.Item("mnuSCType")->isVisible());
    EXPECT_TRUE(rig.Item("mnuJmps")->isVisible());
}

TEST(MainMenuStates, familyFiveHidesTheMenuView) {
    MenuRig five(Line1(0, "007", '5', '0', "001", '5'));
    MenuRig two(Line1(0, "007", '5', '0', "001", '2'));
    EXPECT_FALSE(five.Item("mnuMenu")->isVisible());
    EXPECT_TRUE(two.Item("mnuMenu")->isVisible());
}

TEST(MainMenuTree, captionsAndAccessKeysAreTheMetersOwn) {
    MenuRig rig(Line1(0));
    const std::pair<const char*, const char*> captions[] = {
        {"mnuFile", "&File"},
        {"mnuDefaultSet", "&Default  Setup"},
        {"mnuOpen", "&Open Setup"},
        {"mnuSave", "&Save Setup"},
        {"mnuSaveAs", "Save Setup &As"},
        {"mnuExit", "E&xit"},
        {"mnuMeter", "&Meter"},
        {"mnuGet", "&Get Setup"},
        {"mnuPut", "&Put Setup"},
        {"mnuView", "&View"},
        {"mnuSetup", "&Setup"},
        {"mnuMenu", "Men&u"},
        {"mnuTraffic", "&Traffic"},
        {"mnuCmds", "Co&mmands"},
        {"mnuCmdsGo", "Comman&ds"},
        {"mnuMRdgs", "&Readings"},
        {"mnuList", "&List"},
        {"mnuPlot", "&Plot"},
        {"mnuGraph", "&Graph"},
        {"mnuJmps", "&Jumpers"},
        {"mnuDC", "&DC"},
        {"mnuDCM", "DC Rev &M"},
        {"mnuLoadCell", "&Load Cell"},
        {"mnuPS", "Po&wer Supply"},
        {"mnuRS232G", "RS232  Rev &G"},
        {"mnuRS232H", "RS232  R&ev H"},
        {"mnuRS485G", "RS485  Re&v G"},
        {"mnuRS485H", "RS485 Rev &H"},
        {"mnuCalib", "&Calibration"},
        {"mnuSCType", "SigCondType"},
        {"mnuSCDC", "DC"},
        {"mnuSCLC", "LC (Load Cell)"},
        {"mnuMHelp", "&Help"},
    };
    for (const auto& [name, caption] : captions) {
        QAction* item = rig.Item(name);
        ASSERT_NE(item, nullptr) << name;
        EXPECT_EQ(item->text().toStdString(), caption) << name;
    }
    EXPECT_TRUE(rig.window->findChild<QAction*>("mnuF2Sep")->isSeparator());
    EXPECT_EQ(rig.window->windowTitle().toStdString(), "WEIGHT METER MAIN  MENU");
}

TEST(MainMenuHelp, theWindowOpensWithTheMenuHelpAndOkPutsItAway) {
    MenuRig rig(Line1(0));
    const QStringList lines = rig.window->Lines();
    ASSERT_EQ(lines.size(), 18);
    EXPECT_EQ(lines.front(), "");
    EXPECT_EQ(lines[1].toStdString(),
              "       If this screen is reached WITHOUT establishing communications, then click on 'File'");
    EXPECT_EQ(lines[16].toStdString(),
              "       If the Menu heading is Calibration, a form appears. Click End and then the F1 key.  ");
    EXPECT_EQ(lines.back().toStdString(),
              "       When ready to exit program, click on File and select Exit.");
    EXPECT_EQ(rig.Control<QPlainTextEdit>("picText")->toPlainText(), lines.join('\n'));
    EXPECT_TRUE(rig.Control<QPushButton>("cmdOK")->isVisible());
    EXPECT_FALSE(rig.Control<QPushButton>("cmdMenuHelp")->isVisible());
    EXPECT_EQ(rig.window->HelpTopic(), 3118);

    QTest::mouseClick(rig.Control<QPushButton>("cmdOK"), Qt::LeftButton);
    EXPECT_TRUE(rig.window->Lines().isEmpty());
    EXPECT_FALSE(rig.Control<QPushButton>("cmdOK")->isVisible());
    ASSERT_TRUE(rig.Control<QPushButton>("cmdMenuHelp")->isVisible());
    EXPECT_EQ(rig.Control<QPushButton>("cmdMenuHelp")->text(), "Menu Help");

    QTest::mouseClick(rig.Control<QPushButton>("cmdMenuHelp"), Qt::LeftButton);
    EXPECT_EQ(rig.window->Lines(), MenuHelpLines());
    EXPECT_FALSE(rig.Status()->isVisible());
}

TEST(MainMenuDispatch, eachHeadingClearsTheTextAreaAndSetsItsHelpTopic) {
    MenuRig rig(Line1(0));
    const std::pair<const char*, int> headings[] = {{"mnuMeter", 3119}, {"mnuView", 3120}, {"mnuCmds", 3121},
                                                    {"mnuMRdgs", 3122}, {"mnuJmps", 3123}, {"mnuFile", 3118}};
    for (const auto& [name, topic] : headings) {
        rig.window->cmdMenuHelp_Click();
        Q_EMIT rig.window->findChild<QMenu*>(name)->aboutToShow();
        QApplication::processEvents(); // the Readings heading acts once its drop-down is up
        EXPECT_EQ(rig.window->HelpTopic(), topic) << name;
        EXPECT_TRUE(rig.window->Lines().isEmpty()) << name;
        EXPECT_TRUE(rig.Control<QPushButton>("cmdMenuHelp")->isVisible()) << name;
    }
    rig.window->mnuCalib_Click();
    EXPECT_EQ(rig.window->HelpTopic(), 3113);
    // No meter answers here: the calibration window tells that its first read failed.
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].id, MessageId::CommunicationError);
}

TEST(MainMenuDispatch, withModbusReadingsAndCalibrationAskForCustomAscii) {
    MenuRig rig(Line1(1));
    rig.window->SetHelpTopic(3118);
    rig.window->mnuMRdgs_Click();
    rig.window->mnuCalib_Click();
    ASSERT_EQ(rig.dialogs.boxes.size(), 2u);
    EXPECT_EQ(rig.dialogs.boxes[0].text,
              "The Custom ASCII protocol must be used to list, plot or graph readings.");
    EXPECT_EQ(rig.dialogs.boxes[1].text,
              "The Custom ASCII protocol must be used for this Calibration procedure.");
    for (const MessageBox& box : rig.dialogs.boxes) {
        EXPECT_EQ(box.title, "Use Custom ASCII");
        EXPECT_EQ(box.buttons, Buttons::Ok);
    }
    EXPECT_EQ(rig.window->HelpTopic(), 3118);
}

TEST(MainMenuFile, defaultSetupLoadsTheImageAndSaysSoOnWhite) {
    MenuRig rig(WithPort(Line1(0), '0'));
    rig.Item("mnuDefaultSet")->trigger();
    EXPECT_EQ(rig.program.setup.text, DefaultSetupText);
    EXPECT_EQ(rig.Status()->text().toStdString(), "Default Setup data loaded into the 3-Page Form.");
    EXPECT_EQ(rig.StatusColour(), ColourWhite);
    EXPECT_TRUE(rig.Item("mnuSetup")->isEnabled());
    EXPECT_TRUE(rig.Item("mnuPut")->isEnabled());
}

TEST(MainMenuFile, aCancelledOpenLoadsNothingAndEnablesNothing) {
    MenuRig rig(WithPort(Line1(0), '0'));
    rig.Item("mnuOpen")->trigger(); // no file scripted: the dialog is cancelled
    ASSERT_EQ(rig.dialogs.dialogs.size(), 1u);
    EXPECT_EQ(rig.dialogs.dialogs[0].title, "Open Setup File");
    EXPECT_EQ(rig.program.setup.text, std::string(176, '0'));
    EXPECT_FALSE(rig.Item("mnuSetup")->isEnabled());
}

} // namespace
} // namespace wm::test
