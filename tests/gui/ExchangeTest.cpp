#include <gtest/gtest.h>

#include <QMenu>
#include <QSignalSpy>

#include "MenuRig.h"

namespace wm::test {
namespace {

TEST(MainMenuGet, aGoodGetSaysSoInGreenAndPutsTheProgressBarAway) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    rig.Item("mnuGet")->trigger();
    EXPECT_EQ(rig.Status()->text().toStdString(), "Getting data from the Device.  Data received OK.");
    EXPECT_TRUE(rig.Status()->isVisible());
    EXPECT_EQ(rig.StatusColour(), ColourGreen);
    EXPECT_FALSE(rig.Control<QProgressBar>("pbBar")->isVisible());
    EXPECT_EQ(rig.program.SetupReceived, 1);
    EXPECT_EQ(rig.program.setup.text.size(), 136u);
}

TEST(MainMenuGet, aFailedGetShowsItsStatusInRedAndKeepsTheProgressBar) {
    struct Row {
        const char* name;
        std::function<std::optional<std::string>(const std::string&)> meter;
        const char* caption;
        int progress;
    };
    const Row rows[] = {
        {"silent meter", nullptr, "Failed to Get data, check connections, then try again.         ( 21)", 9},
        {"ten-character X26DZ reply",
         [](const std::string& r) -> std::optional<std::string> {
             return r == "*0X26DZ" ? std::optional<std::string>(Image(120, 8) + "00") : GetReplies(r);
         },
         "Failed to Get data, check connections, then try again.         ( 2)", 42},
    };
    for (const Row& row : rows) {
        MenuRig rig(Line1(0));
        rig.peer.respond = row.meter;
        rig.Item("mnuGet")->trigger();
        EXPECT_EQ(rig.Status()->text().toStdString(), row.caption) << row.name;
        EXPECT_EQ(rig.StatusColour(), ColourRed) << row.name;
        EXPECT_TRUE(rig.Control<QProgressBar>("pbBar")->isVisible()) << row.name;
        EXPECT_EQ(rig.Control<QProgressBar>("pbBar")->value(), row.progress) << row.name;
        EXPECT_EQ(rig.program.SetupReceived, 0) << row.name;
        EXPECT_FALSE(rig.Item("mnuSetup")->isEnabled()) << row.name;
    }
}

TEST(MainMenuGet, onlyOneExchangeRunsAndItsMenusAreOffMeanwhile) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    bool fileOn = true, meterOn = true, scTypeOn = true;
    rig.vt.AfterUs(400'000, [&] {
        fileOn = rig.Item("mnuFile")->isEnabled();
        meterOn = rig.Item("mnuMeter")->isEnabled();
        scTypeOn = rig.Item("mnuSCType")->isEnabled();
        EXPECT_TRUE(rig.window->ExchangeRunning());
        rig.Item("mnuGet")->trigger(); // a second click while the first Get waits
        rig.window->mnuSCDC_Click();
    });
    rig.Item("mnuGet")->trigger();

    EXPECT_FALSE(fileOn);
    EXPECT_FALSE(meterOn);
    EXPECT_FALSE(scTypeOn);
    EXPECT_EQ(rig.dialogs.beeps, 2);
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*************0A1", "*0XU1DZ", "*0G130",
                                                             "*0X26DZ", "*0X236Z", "*0W11221D0"}));
    EXPECT_EQ(rig.Status()->text().toStdString(), "Getting data from the Device.  Data received OK.");
    EXPECT_TRUE(rig.Item("mnuFile")->isEnabled());
    EXPECT_TRUE(rig.Item("mnuMeter")->isEnabled());
    EXPECT_TRUE(rig.Item("mnuSCType")->isEnabled());
}

TEST(MainMenuGet, theCloseBoxDuringAGetEndsTheProgramOnceTheGetHasReturned) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    QSignalSpy ended(rig.window.get(), &frmMMenu::programEnded);
    bool stillShown = false;
    rig.vt.AfterUs(400'000, [&] {
        rig.window->close();
        stillShown = rig.window->isVisible();
    });
    rig.Item("mnuGet")->trigger();

    EXPECT_TRUE(stillShown);
    EXPECT_EQ(rig.program.SetupReceived, 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(ReadWhole(rig.SettingsFile()).substr(19, 29), kSerialLine2.substr(0, 28) + "1");
}

TEST(MainMenuGet, aCorruptBoardTypeAnsweredYesEndsTheProgramWithoutRewritingSettings) {
    MenuRig rig(Line1(0));
    rig.peer.respond = [](const std::string& r) -> std::optional<std::string> {
        if (r != "*0XU1DZ") return GetReplies(r);
        std::string block = Image(0, 120);
        block.replace(34, 2, "02"); // neither DC nor load cell
        return block;
    };
    rig.dialogs.answers.push_back(Answer::Yes);
    QSignalSpy ended(rig.window.get(), &frmMMenu::programEnded);
    const std::string settingsBefore = ReadWhole(rig.SettingsFile());
    rig.Item("mnuGet")->trigger();

    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].title, "Signal Conditioner error");
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), settingsBefore);
}

TEST(MainMenuPut, aPutOfTheDefaultSetupReportsItsOutcome) {
    MenuRig rig(Line1(0));
    rig.Item("mnuDefaultSet")->trigger();
    rig.peer.respond = [](const std::string& r) -> std::optional<std::string> {
        if (r == "*0X115") return std::string("0001"); // DC board
        if (r == "*0G12C") return std::string("60");   // DC volts, range 0
        return std::nullopt;
    };
    rig.Item("mnuPut")->trigger();
    EXPECT_EQ(rig.Status()->text().toStdString(),
              "Putting data to the Device.   Data appeared to transfer OK.");
    EXPECT_EQ(rig.StatusColour(), ColourGreen);

    rig.peer.respond = nullptr;
    rig.Item("mnuPut")->trigger();
    EXPECT_EQ(rig.Status()->text().toStdString(),
              "Data transfer unsuccessful. Check connections and try again.     (21)");
    EXPECT_EQ(rig.StatusColour(), ColourRed);
}

TEST(MainMenuSCType, theHeadingReadsTheBoardOnceItsDropDownIsUp) {
    struct Row {
        const char* name;
        std::optional<std::string> x110;
        const char* lastLine;
        bool okShown;
        bool textShown;
    };
    const Row rows[] = {
        {"valid DC", "0060", "Signal Conditioner type and its valid default range.", true, true},
        {"corrupt", "00B0", "by clicking on the appropriate selection of the drop-down menu. ", false, true},
        {"no reply", std::nullopt, nullptr, false, false},
    };
    for (const Row& row : rows) {
        MenuRig rig(Line1(0));
        rig.peer.respond = [&row](const std::string& r) { return r == "*0X110" ? row.x110 : std::nullopt; };
        rig.window->cmdOK_Click();
        Q_EMIT rig.window->findChild<QMenu*>("mnuSCType")->aboutToShow();
        EXPECT_TRUE(rig.peer.heard.empty()) << row.name; // not from inside the menu's opening
        QApplication::processEvents();

        ASSERT_EQ(rig.peer.Requests(), std::vector<std::string>{"*0X110"}) << row.name;
        EXPECT_EQ(rig.Control<QPlainTextEdit>("picText")->isVisible(), row.textShown) << row.name;
        EXPECT_EQ(rig.Control<QPushButton>("cmdOK")->isVisible(), row.okShown) << row.name;
        if (row.lastLine != nullptr) {
            EXPECT_EQ(rig.window->Lines().front().toStdString(),
                      "This provides a means of restoring the Signal Conditioner type")
                << row.name;
            EXPECT_EQ(rig.window->Lines().back().toStdString(), row.lastLine) << row.name;
        } else {
            ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
            EXPECT_EQ(rig.dialogs.boxes[0].text, "Communication error.  Try again.");
            EXPECT_EQ(rig.dialogs.boxes[0].title, "Error");
        }
    }
}

TEST(MainMenuSCType, forcingTheBoardShowsWaitThenTheNewType) {
    MenuRig rig(Line1(0));
    rig.peer.respond = [](const std::string& r) -> std::optional<std::string> {
        return r == "*0X110" ? std::optional<std::string>("0060") : std::nullopt;
    };
    QStringList whileWaiting;
    rig.vt.AfterUs(100'000, [&] { whileWaiting = rig.window->Lines(); });
    rig.Item("mnuSCLC")->trigger();
    rig.vt.AdvanceUs(rig.vt.NowUs() + 100'000); // the write leaves the line
    EXPECT_EQ(whileWaiting, QStringList{"                  WAIT"});
    EXPECT_EQ(rig.window->Lines(),
              QStringList{"Signal Conditioner type set to Load Cell and 20 mV DC range."});
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*0X110", "*0W11000D0"}));
}

} // namespace
} // namespace wm::test
