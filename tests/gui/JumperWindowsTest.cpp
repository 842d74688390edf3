// The Jumpers menu's eight windows and the setup help window, driven from
// the main window's menus.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTest>

#include "MenuRig.h"
#include "gui/help/frmMHELP.h"
#include "gui/jumpers/frmJumper.h"
#include "help/HelpBuild.h"
#include "help/HelpFiles.h"

namespace wm::test {
namespace {

// The help files the build makes from the help sources.
const std::filesystem::path BuiltHelp = WM_BIN_DIR;

void CopyBuiltHelp(const std::filesystem::path& to) {
    for (const char* name : {"Help13.S10", "Help13.R10", "Help31.S10", "Help31.R10"})
        std::filesystem::copy_file(BuiltHelp / name, to / name, std::filesystem::copy_options::overwrite_existing);
}

struct Item {
    const char* menu;
    const char* window;
    const char* caption;
    int topic;
};

const Item kItems[] = {
    {"mnuDC", "frmJDCSC", "DC Signal Conditioner Jumpers", 1371},
    {"mnuDCM", "frmJDCSCM", "DC Signal Conditioner Rev M Jumpers", 1394},
    {"mnuLoadCell", "frmJLCSC", "Load Cell Signal Conditioner Jumpers", 1374},
    {"mnuPS", "frmJPS", "Power Supply Jumpers", 1375},
    {"mnuRS232G", "frmJRS232G", "RS232 Digital Interface Board Revision G", 1383},
    {"mnuRS232H", "frmJRS232H", "RS232 Digital Interface Board Revision H", 0},
    {"mnuRS485G", "frmJRS485G", "RS485 Digital Interface Board Revision G", 1384},
    {"mnuRS485H", "frmJRS485H", "RS485 Digital Interface Board Revision H", 0},
};

QString Shown(const std::string& helpText) {
    QString s = QString::fromLatin1(helpText);
    s.replace("\r\n", "\n");
    return s;
}

frmJumper* Open(MenuRig& rig, const Item& item) {
    rig.Item(item.menu)->trigger();
    return rig.window->JumperWindow(item.window);
}

void ClickOK(frmJumper& window) { QTest::mouseClick(window.findChild<QPushButton*>("cmdOK"), Qt::LeftButton); }

TEST(JumperWindows, eachItemOpensItsWindowBesideTheMainWindowOnceAndOkClosesIt) {
    MenuRig rig(Line1(0));
    CopyBuiltHelp(rig.folder.path());
    for (const Item& item : kItems) {
        frmJumper* window = Open(rig, item);
        ASSERT_NE(window, nullptr) << item.menu;
        EXPECT_STREQ(window->metaObject()->className(), (std::string("wm::") + item.window).c_str());
        EXPECT_EQ(window->objectName(), item.window);
        EXPECT_EQ(window->windowTitle(), item.caption);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(rig.window->isVisible()) << item.menu;
        EXPECT_EQ(window->findChild<QPushButton*>("cmdPrinter")->text(), "Print");
        EXPECT_TRUE(window->findChild<QPushButton*>("cmdOK")->isEnabled());
        EXPECT_EQ(Open(rig, item), window) << "a second click opens no second window";

        QPointer<frmJumper> gone = window;
        ClickOK(*window);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(window->FilesOpen()) << item.window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(gone.isNull()) << item.window;
        EXPECT_EQ(rig.window->JumperWindow(item.window), nullptr);
    }
}

// The text is the topic from the built help files with every "$" a blank;
// each topic's title is the window's caption. The files stay open until OK.
TEST(JumperWindows, topicWindowsShowTheirBuiltTopicWithTheDollarsBlankAndHoldTheFilesUntilOk) {
    MenuRig rig(Line1(0));
    CopyBuiltHelp(rig.folder.path());
    for (const Item& item : kItems) {
        if (item.topic == 0) continue;
        const HelpTopicText built = LoadHelpTopic(BuiltHelp, item.topic);
        ASSERT_TRUE(built.Found()) << item.topic;
        ASSERT_NE(built.Text.find('$'), std::string::npos) << item.topic;

        frmJumper* window = Open(rig, item);
        ASSERT_NE(window, nullptr);
        const QString text = window->ShownText();
        EXPECT_EQ(text, Shown(JumperHelpText(built.Text))) << item.window;
        EXPECT_FALSE(text.contains('$')) << item.window;
        EXPECT_TRUE(text.startsWith(QString(item.caption) + " \n")) << text.toStdString();
        EXPECT_TRUE(window->FilesOpen()) << item.window;
        ClickOK(*window);
        EXPECT_FALSE(window->FilesOpen()) << item.window;
    }
}

TEST(JumperWindows, everyDollarBecomesABlankAndTheNextWindowReadsTheFilesAfresh) {
    MenuRig rig(Line1(0));
    const auto writeTopic = [&rig](const std::string& text) {
        const HelpPairData pair = BuildHelpPair({{1371, 0, false, text}});
        WriteWhole(rig.folder.path() / "Help13.S10", pair.Text);
        WriteWhole(rig.folder.path() / "Help13.R10", pair.Index);
    };
    writeTopic("Title$\r\n$$Body $x$");
    frmJumper* window = Open(rig, kItems[0]);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->ShownText(), "Title \n  Body  x ");
    ClickOK(*window);

    // The help files are replaced while the program runs.
    writeTopic("Other$ text, longer than the first one");
    window = Open(rig, kItems[0]);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->ShownText(), "Other  text, longer than the first one");
    ClickOK(*window);
}

// With no help files at all the Rev H boards still show their own texts, and
// the others a notice: nothing is opened, and OK is offered.
TEST(JumperWindows, revHBoardsShowTheirFixedTextsWithoutAnyHelpFile) {
    MenuRig rig(Line1(0));
    const std::pair<const char*, QStringList> fixed[] = {
        {"mnuRS232H",
         {"RS232 Board", "   e - Normal operation", "   f - Slave display to RS232 from another meter",
          "   g - Pull-up resistor on the RTS line.", "", "   Note: Board is shipped with jumpers e + g installed."}},
        {"mnuRS485H",
         {"Full Duplex Operation", "   No jumpers for short cable runs.", "   Add b + d for long cable runs.", "",
          "Half Duplex Operation", "   Install jumpers a + c", "   Add d for long cable runs."}},
    };
    for (const auto& [menu, lines] : fixed) {
        const Item& item = *std::find_if(std::begin(kItems), std::end(kItems),
                                         [&](const Item& i) { return std::string(i.menu) == menu; });
        frmJumper* window = Open(rig, item);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->ShownText(), lines.join('\n')) << menu;
        EXPECT_FALSE(window->FilesOpen());
        ClickOK(*window);
    }
    frmJumper* window = Open(rig, kItems[0]);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->ShownText().isEmpty());
    EXPECT_FALSE(window->FilesOpen());
    EXPECT_TRUE(window->findChild<QPushButton*>("cmdOK")->isEnabled());
    ClickOK(*window);
}

TEST(JumperWindows, printWithoutAPrinterOffersTheWindowAsPdf) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
    MenuRig rig(Line1(0));
    rig.dialogs.answerFor[MessageId::NoPrinter] = Answer::Yes;
    const std::filesystem::path pdf = rig.folder.path() / "board.pdf";
    rig.dialogs.files.push_back(pdf.string());
    frmJumper* window = Open(rig, kItems[5]);
    ASSERT_NE(window, nullptr);
    QTest::mouseClick(window->findChild<QPushButton*>("cmdPrinter"), Qt::LeftButton);
    ASSERT_EQ(rig.dialogs.dialogs.size(), 1u);
    EXPECT_EQ(rig.dialogs.dialogs[0].name, "frmJRS232H.pdf");
    EXPECT_TRUE(std::filesystem::is_regular_file(pdf));
    ClickOK(*window);
}

TEST(SetupHelp, helpMenuSwapsTheMainWindowForTheSetupHelpAndItsButtonLeadsBack) {
    MenuRig rig(Line1(0));
    rig.Item("mnuMHelp")->trigger();
    frmMHELP* help = rig.window->SetupHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(help->windowTitle(), "SETUP  HELP");
    EXPECT_EQ(help->findChild<QPlainTextEdit*>("Picture2")->toPlainText(),
              QStringList({"   Setup Help is provided when 'View' is selected. ",
                           "   There are two viewing modes.",
                           "      1. Setup.  ",
                           "         When Setup is selected, Help is provided by selecting a function",
                           "         while Viewing the Setup (Pages 1,2 or 3) and pressing the F1 key.",
                           "",
                           "      2. Menu (Corresponds to the Meter front panel menu display). ",
                           "         When Menu is selected, Help is provided automatically when one of",
                           "         the Menu items is selected."})
                  .join('\n'));
    EXPECT_EQ(rig.window->HelpTopic(), SetupHelpTopic);

    QPointer<frmMHELP> gone = help;
    QTest::mouseClick(help->findChild<QPushButton*>("cmdMHelp"), Qt::LeftButton);
    EXPECT_TRUE(rig.window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(rig.window->HelpTopic(), SetupHelpTopic);
}

// Closing the setup help by its close box must not leave the program with no
// window on the screen.
TEST(SetupHelp, theCloseBoxLeadsBackToTheMainWindowToo) {
    MenuRig rig(Line1(0));
    rig.Item("mnuMHelp")->trigger();
    frmMHELP* help = rig.window->SetupHelpWindow();
    ASSERT_NE(help, nullptr);
    help->close();
    EXPECT_TRUE(rig.window->isVisible());
}

} // namespace
} // namespace wm::test
