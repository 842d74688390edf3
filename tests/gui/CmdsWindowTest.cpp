// The commands window opened from the main menu, driven by clicks against a
// scripted meter on the in-memory line under virtual time, in Custom ASCII
// and in Modbus RTU.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "MenuRig.h"
#include "comm/MeterCommands.h"
#include "gui/cmds/frmCmds.h"

namespace wm::test {
namespace {

struct CmdsRig : MenuRig {
    explicit CmdsRig(int protocol) : MenuRig(Line1(protocol)) {
        window->mnuCmdsGo_Click();
        cmds = window->CmdsWindow();
    }
    [[nodiscard]] QString Status() const { return cmds->findChild<QLabel*>("lblErrText")->text(); }
    [[nodiscard]] Rgb StatusColour() const {
        const QColor c = cmds->findChild<QLabel*>("lblErrText")->palette().color(QPalette::Window);
        return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                   static_cast<std::uint8_t>(c.blue())};
    }
    // A click, then the time for a command that awaits no reply to reach the meter.
    void Click(const char* button) {
        cmds->findChild<QPushButton*>(button)->click();
        vt.AdvanceUs(200000);
    }
    frmCmds* cmds = nullptr;
};

// A meter that answers every command: Custom ASCII readings as text, Modbus
// writes with their echo and readings with the given register digits.
std::optional<std::string> GoodMeter(const std::string& q, const std::string& registers) {
    if (q == "*0B3") return std::string(" +1234.5");
    if (q == "*0B2") return std::string(" -0012.0");
    if (q == "*0B4") return std::string(" +2000.0");
    if (q.starts_with("*0")) return std::nullopt; // resets: the meter does not answer
    if (q.starts_with("0104")) return "010404" + registers;
    if (q.starts_with("0105")) return q;
    if (q.starts_with("0110")) return q.substr(0, 12);
    return std::nullopt;
}

TEST(CmdsWindow, opensInPlaceOfTheMainWindowWithItsControlsAndReturnsOnOK) {
    CmdsRig rig(0);
    ASSERT_NE(rig.cmds, nullptr);
    EXPECT_TRUE(rig.cmds->isVisible());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(rig.cmds->objectName(), "frmCmds");
    EXPECT_EQ(rig.cmds->windowTitle(), "COMMANDS");
    const std::pair<const char*, const char*> buttons[] = {
        {"cmdMRst", "Meter"}, {"cmdFRst", "Function"}, {"cmdLARst", "Latched Alarm"}, {"cmdPeakRst", "Peak"},
        {"cmdTare", "Tare"},  {"cmdGross", "Gross"},   {"cmdNet", "Net"},             {"cmdPeakRd", "Peak"}};
    for (const auto& [name, caption] : buttons) {
        auto* b = rig.cmds->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), caption);
    }
    const std::pair<const char*, const char*> labels[] = {
        {"lblResets", "RESETS"}, {"lblRdgs", "READINGS"}, {"Label1", "Weight Meter"}};
    for (const auto& [name, caption] : labels)
        EXPECT_EQ(rig.cmds->findChild<QLabel*>(name)->text(), caption) << name;
    for (const char* name : {"cmdOK", "lblErrText", "picGross", "picNet", "picPeakRd", "picCurrent", "picCmptrCtr",
                             "Picture2", "Picture3"})
        EXPECT_NE(rig.cmds->findChild<QWidget*>(name), nullptr) << name;

    // Opening it again while it is open brings the same window forward.
    rig.window->mnuCmdsGo_Click();
    EXPECT_EQ(rig.window->CmdsWindow(), rig.cmds);

    rig.Click("cmdOK");
    EXPECT_TRUE(rig.window->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(rig.window->CmdsWindow(), nullptr);
}

TEST(CmdsWindow, theCloseBoxReturnsToTheMainWindow) {
    CmdsRig rig(0);
    rig.cmds->close();
    EXPECT_TRUE(rig.window->isVisible());
}

struct Row {
    const char* button;
    const char* ascii;  // as the meter hears it
    const char* modbus; // the request digits with the address
    const char* caption;
    const char* box; // the reading box, or nullptr
    const char* asciiReading;
    const char* modbusReading;
};

TEST(CmdsWindow, everyButtonSendsItsRequestAndShowsWhatCameBackInBothProtocols) {
    const Row rows[] = {
        {"cmdMRst", "*0C0", "01050001FF00", "Meter Reset Command sent.", nullptr, "", ""},
        {"cmdFRst", "*0C1", "01050002FF00", "Function Reset Command sent.", nullptr, "", ""},
        {"cmdLARst", "*0C2", "01050003FF00", "Latched Alarms Reset Command sent.", nullptr, "", ""},
        {"cmdPeakRst", "*0C3", "01050004FF00", "Peak Reset Command sent.", nullptr, "", ""},
        {"cmdTare", "*0W21D00000000", "0110001900020400000000", "Tare Reset Command sent.", nullptr, "", ""},
        {"cmdGross", "*0B3", "010400070002", "Gross Reading request sent.    Gross Reading received.", "picGross",
         " +1234.5", "1234"},
        {"cmdNet", "*0B2", "010400030002", "Net Reading request sent.    Net Reading received.", "picNet",
         " -0012.0", "1234"},
        {"cmdPeakRd", "*0B4", "010400050002", "Peak Reading request sent.    Peak Reading received.", "picPeakRd",
         " +2000.0", "1234"},
    };
    for (int protocol : {0, 1}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.button) + (protocol == 0 ? " ascii" : " rtu"));
            CmdsRig rig(protocol);
            rig.peer.respond = [](const std::string& q) { return GoodMeter(q, "000004D2"); };
            rig.Click(row.button);
            EXPECT_EQ(rig.peer.Requests(), std::vector<std::string>{protocol == 0 ? row.ascii : row.modbus});
            EXPECT_EQ(rig.Status().toStdString(), row.caption);
            EXPECT_EQ(rig.StatusColour(), ColourGreen);
            for (const char* box : {"picGross", "picNet", "picPeakRd"}) {
                const bool shown = row.box != nullptr && std::string(box) == row.box;
                EXPECT_EQ(rig.cmds->Reading(box).toStdString(),
                          shown ? (protocol == 0 ? row.asciiReading : row.modbusReading) : "")
                    << box;
            }
        }
    }
}

TEST(CmdsWindow, aModbusReadingIsASigned32BitNumberAndEachRequestClearsAllThreeBoxes) {
    CmdsRig rig(1);
    rig.peer.respond = [](const std::string& q) { return GoodMeter(q, "FFFFFFFE"); };
    rig.Click("cmdNet");
    EXPECT_EQ(rig.cmds->Reading("picNet"), "-2");
    rig.Click("cmdGross");
    EXPECT_EQ(rig.cmds->Reading("picGross"), "-2");
    EXPECT_EQ(rig.cmds->Reading("picNet"), "");
}

TEST(CmdsWindow, functionAndPeakResetClearThePeakBoxOnlyOnAModbusEcho) {
    for (int protocol : {0, 1}) {
        for (const char* reset : {"cmdFRst", "cmdPeakRst"}) {
            SCOPED_TRACE(std::string(reset) + (protocol == 0 ? " ascii" : " rtu"));
            CmdsRig rig(protocol);
            rig.peer.respond = [](const std::string& q) { return GoodMeter(q, "000007D0"); };
            rig.Click("cmdPeakRd");
            ASSERT_FALSE(rig.cmds->Reading("picPeakRd").isEmpty());
            rig.Click(reset);
            EXPECT_EQ(rig.cmds->Reading("picPeakRd").isEmpty(), protocol == 1);
        }
    }
}

TEST(CmdsWindow, aSilentMeterTurnsTheStatusRedExceptWhereNoReplyIsAwaited) {
    struct Case {
        int protocol;
        const char* button;
        const char* caption;
        bool red;
    };
    const Case cases[] = {
        {0, "cmdMRst", "Meter Reset Command sent.", false},
        {1, "cmdMRst", "Meter Reset Command sent.", false},
        {0, "cmdTare", "Tare Reset Command sent.", false},
        {1, "cmdTare", "Communications error.  Try again.", true},
        {1, "cmdLARst", "Communications error.  Try again.", true},
        {0, "cmdGross", "Communications failure.  Try again.", true},
        {1, "cmdNet", "Communications failure.  Try again.", true},
        {0, "cmdPeakRd", "Communications failure.  Program may have to be re-started.", true},
        {1, "cmdPeakRd", "Communications failure.  Program may have to be re-started.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + (c.protocol == 0 ? " ascii" : " rtu"));
        CmdsRig rig(c.protocol);
        rig.peer.respond = [](const std::string& q) { return GoodMeter(q, "000004D2"); };
        rig.Click("cmdGross");
        rig.peer.respond = nullptr;
        rig.Click(c.button);
        EXPECT_EQ(rig.peer.heard.size(), 2u);
        EXPECT_EQ(rig.Status().toStdString(), c.caption);
        EXPECT_EQ(rig.StatusColour(), c.red ? ColourRed : ColourGreen);
        // A failed reading request leaves every box empty; a reset leaves them.
        const bool reading = FindMeterCommand(c.button)->isReading;
        EXPECT_EQ(rig.cmds->Reading("picGross").isEmpty(), reading);
    }
}

TEST(CmdsWindow, aClickOrACloseDuringAnExchangeWaitsForItToEnd) {
    CmdsRig rig(0);
    QPointer<frmCmds> cmds = rig.cmds;
    rig.peer.respond = [&rig, cmds](const std::string& q) {
        if (q == "*0B3" && cmds) {
            // While the reply is awaited: another button and the close box.
            rig.Click("cmdNet");
            cmds->close();
            EXPECT_TRUE(cmds->isVisible());
        }
        return GoodMeter(q, "");
    };
    rig.Click("cmdGross");
    EXPECT_EQ(rig.peer.Requests(), std::vector<std::string>{"*0B3"});
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_TRUE(cmds.isNull() || !cmds->isVisible());
}

} // namespace
} // namespace wm::test
