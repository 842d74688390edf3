// The main window as a new user meets it: where the file dialogs start and
// what name a saved setup gets, menus that stay quiet while the meter is
// busy, the status bar naming the link, and controls that follow the
// window's size.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "MenuRig.h"

namespace wm::test {
namespace {

TEST(MainWindowFiles, dialogsStartInTheCurrentFilesFolderAndSaveAsAddsTheSetupExtension) {
    MenuRig rig(WithPort(Line1(0), '0'));
    const std::filesystem::path programDir = rig.folder.path();
    rig.Item("mnuDefaultSet")->trigger();

    // No setup file yet: both dialogs start in the program's folder, nothing filled in.
    rig.Item("mnuOpen")->trigger(); // cancelled
    rig.dialogs.files = {std::string("meter1")};
    rig.Item("mnuSaveAs")->trigger();
    ASSERT_EQ(rig.dialogs.dialogs.size(), 2u);
    for (const auto& d : rig.dialogs.dialogs) {
        EXPECT_EQ(d.folder, programDir) << d.title;
        EXPECT_EQ(d.name, "") << d.title;
    }
    EXPECT_TRUE(std::filesystem::exists(programDir / "meter1.WT"));
    EXPECT_FALSE(std::filesystem::exists(programDir / "meter1"));
    EXPECT_EQ(rig.program.SetupFileName, (programDir / "meter1.WT").string());

    // A name with an extension of its own is kept; the next dialogs start
    // where the current file lies and Save As offers its name.
    const std::filesystem::path sub = programDir / "plant";
    std::filesystem::create_directories(sub);
    rig.dialogs.files = {(sub / "line2.setup").string()};
    rig.Item("mnuSaveAs")->trigger();
    EXPECT_TRUE(std::filesystem::exists(sub / "line2.setup"));
    rig.Item("mnuOpen")->trigger();
    rig.Item("mnuSaveAs")->trigger();
    ASSERT_EQ(rig.dialogs.dialogs.size(), 5u);
    EXPECT_EQ(rig.dialogs.dialogs[3].folder, sub);
    EXPECT_EQ(rig.dialogs.dialogs[3].name, "");
    EXPECT_EQ(rig.dialogs.dialogs[4].folder, sub);
    EXPECT_EQ(rig.dialogs.dialogs[4].name, "line2.setup");

    // The folder of the current file is gone: back to the program's folder.
    std::filesystem::remove_all(sub);
    rig.Item("mnuOpen")->trigger();
    EXPECT_EQ(rig.dialogs.dialogs.back().folder, programDir);
}

TEST(MainWindowFiles, anAddedExtensionThatNamesAnExistingFileAsksBeforeReplacingIt) {
    MenuRig rig(WithPort(Line1(0), '0'));
    rig.Item("mnuDefaultSet")->trigger();
    const std::filesystem::path file = rig.folder.path() / "meter1.WT";
    WriteWhole(file, "keep me\r\n");

    rig.dialogs.files = {std::string("meter1")};
    rig.dialogs.answers = {Answer::No};
    rig.Item("mnuSaveAs")->trigger();
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, "meter1.WT already exists.\rDo you want to replace it?");
    EXPECT_EQ(rig.dialogs.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(rig.dialogs.boxes[0].defaultAnswer, Answer::No);
    EXPECT_EQ(ReadWhole(file), "keep me\r\n");
    EXPECT_EQ(rig.program.SetupFileName, "");

    rig.dialogs.files = {std::string("meter1")};
    rig.dialogs.answers = {Answer::Yes};
    rig.Item("mnuSaveAs")->trigger();
    EXPECT_EQ(ReadWhole(file), rig.program.setup.text + "\r\n0\r\n");
    EXPECT_EQ(rig.program.SetupFileName, file.string());
}

// Every menu item and heading, and the window's own buttons, tried while a
// Get waits for the meter.
TEST(MainWindowExchange, nothingActsWhileAGetRunsAndTheTransferStatusStays) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    rig.Item("mnuDefaultSet")->trigger(); // so that View and Put would act
    const std::size_t boxesBefore = rig.dialogs.boxes.size();
    int tried = 0;
    rig.vt.AfterUs(400'000, [&] {
        ASSERT_TRUE(rig.window->ExchangeRunning());
        const QString status = rig.Status()->text();
        const bool shown = rig.Status()->isVisible();
        const QStringList lines = rig.window->Lines();
        const int topic = rig.window->HelpTopic();
        ASSERT_TRUE(shown);
        for (QAction* heading : rig.window->menuBar()->actions())
            EXPECT_FALSE(heading->isEnabled()) << heading->objectName().toStdString();
        for (QMenu* menu : rig.window->findChildren<QMenu*>()) {
            Q_EMIT menu->aboutToShow();
            ++tried;
        }
        for (QAction* item : rig.window->findChildren<QAction*>()) {
            const QString name = item->objectName();
            if (name.isEmpty() || item->isSeparator() || name == "mnuExit") continue;
            // What a click would run, even where the item is shown disabled.
            Q_EMIT item->triggered(false);
            ++tried;
        }
        rig.Control<QPushButton>("cmdMenuHelp")->click();
        rig.Control<QPushButton>("cmdOK")->click();
        rig.window->picText_Click();
        QApplication::processEvents(); // the headings that act once their drop-down is open
        EXPECT_EQ(rig.Status()->text(), status);
        EXPECT_EQ(rig.Status()->isVisible(), shown);
        EXPECT_EQ(rig.window->Lines(), lines);
        EXPECT_EQ(rig.window->HelpTopic(), topic);
        EXPECT_TRUE(rig.dialogs.dialogs.empty());
        EXPECT_EQ(rig.dialogs.boxes.size(), boxesBefore);
    });
    rig.Item("mnuGet")->trigger();

    EXPECT_GT(tried, 25);
    EXPECT_GT(rig.dialogs.beeps, 20);
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*************0A1", "*0XU1DZ", "*0G130",
                                                             "*0X26DZ", "*0X236Z", "*0W11221D0"}));
    EXPECT_EQ(rig.Status()->text().toStdString(), "Getting data from the Device.  Data received OK.");
    EXPECT_EQ(rig.StatusColour(), ColourGreen);
    EXPECT_TRUE(rig.Item("mnuSetup")->isEnabled());
    EXPECT_TRUE(rig.Item("mnuJmps")->isEnabled());
    EXPECT_TRUE(rig.Item("mnuMHelp")->isEnabled());
}

std::string LinkBar(const MenuRig& rig) { return rig.Control<QLabel>("lblLink")->text().toStdString(); }
std::string FileBar(const MenuRig& rig) { return rig.Control<QLabel>("lblSetupFile")->text().toStdString(); }

TEST(MainWindowStatusBar, namesTheLinkOrWhyThereIsNone) {
    struct Row {
        const char* name;
        std::string line1, line2;
        const char* link;
    } rows[] = {
        {"no port", WithPort(Line1(0), '0'), kSerialLine2,
         "no meter link: the settings name no serial port (port type 0)"},
        {"Custom ASCII", Line1(0, "007", '5', 'B'), kSerialLine2, "memory  9600,n,8,1  Custom ASCII  address B"},
        {"Modbus RTU on a line that echoes", WithPort(Line1(1, "007", '6', '0', "017"), '2'), kSerialLine2,
         "memory  19200,n,8,2  Modbus RTU  slave 11  (the line echoes)"},
        {"settings problem", "05", kSerialLine2,
         "no meter link: the settings file cannot be used (line 1 has 2 characters, at least 16 are needed)"},
        {"Ethernet node", Line1(0), "1F90123456789abc0000C0A801640",
         "Ethernet node 192.168.1.100 (hardware address 123456789ABC), called back on TCP port 8080  Custom ASCII"
         "  address 0"},
        {"Ethernet node, Modbus", Line1(1, "007", '5', '0', "017"), "1F90123456789ABC0000C0A801640",
         "Ethernet node 192.168.1.100 (hardware address 123456789ABC), called back on TCP port 8080  Modbus TCP"
         "  unit 11"},
    };
    for (const Row& row : rows) {
        MenuRig rig(row.line1, row.line2);
        EXPECT_EQ(LinkBar(rig), row.link) << row.name;
        EXPECT_TRUE(rig.Control<QLabel>("lblLink")->isVisible()) << row.name;
        EXPECT_EQ(FileBar(rig), "no setup file") << row.name;
    }

    MenuRig rig(Line1(0));
    rig.port.failOpen = "no such device";
    rig.program.conn.OpenConnection();
    rig.window->Form_Activate();
    EXPECT_EQ(LinkBar(rig), "no meter link: serial port memory could not be opened (no such device)");
}

TEST(MainWindowStatusBar, followsTheSetupFromMeterToFile) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    EXPECT_EQ(LinkBar(rig), "memory  9600,n,8,1  Custom ASCII  address 0");
    EXPECT_EQ(FileBar(rig), "no setup file");
    rig.Item("mnuGet")->trigger();
    EXPECT_EQ(LinkBar(rig), "memory  9600,n,8,1  Custom ASCII  address 0");
    EXPECT_EQ(FileBar(rig), "setup from the meter");
    rig.dialogs.files = {std::string("line3")};
    rig.Item("mnuSaveAs")->trigger();
    EXPECT_EQ(FileBar(rig), "setup file line3.WT");
}

TEST(MainWindowLayout, theControlsFollowTheWindowsSize) {
    MenuRig rig(Line1(0));
    rig.Item("mnuDefaultSet")->trigger(); // the status line is shown
    QApplication::processEvents();
    auto* text = rig.Control<QPlainTextEdit>("picText");
    auto* status = rig.Status();
    auto* bar = rig.window->statusBar();
    const QSize textBefore = text->size();
    const int statusWidth = status->width(), barWidth = bar->width();
    const QPoint okBefore = rig.Control<QPushButton>("cmdOK")->pos();

    rig.window->resize(rig.window->size() + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_GT(text->width(), textBefore.width());
    EXPECT_GT(text->height(), textBefore.height());
    EXPECT_GT(status->width(), statusWidth);
    EXPECT_GT(bar->width(), barWidth);
    EXPECT_GT(rig.Control<QPushButton>("cmdOK")->y(), okBefore.y()); // the buttons stay below the text

    rig.window->resize(QSize(100, 100)); // never smaller than the menu help needs
    QApplication::processEvents();
    EXPECT_GE(text->width(), textBefore.width());
    EXPECT_GE(text->height(), textBefore.height());
}

} // namespace
} // namespace wm::test
