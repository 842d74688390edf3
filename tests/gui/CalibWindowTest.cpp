// The calibration window driven by clicks, against the simulated meter on
// the in-memory line under virtual time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <regex>

#include "app/CalibRecordFile.h"
#include "gui/calib/JumperDrawings.h"
#include "gui/calib/frmCalib.h"
#include "gui/main/QtOperator.h"
#include "gui/main/frmMMenu.h"
#include "sim/Meter.h"
#include "sim/SimPort.h"
#include "support/CalibCsv.h"
#include "support/ScriptedOperator.h"
#include "support/TransferRig.h"

namespace wm::test {
namespace {

// The main window on a program that talks to the simulated meter; the
// calibration window is opened from its menu.
struct CalibRig {
    explicit CalibRig(const char* scType = "01")
        : port(vt), op(&dialogs),
          program(Platform{port, vt, vt, op}, ProgramPaths{folder.path() / "Settings.SSS", folder.path(), "memory"}) {
        WriteWhole(folder.path() / "Settings.SSS", Line1(0, "007", '5', '1', "001") + "\r\n" + kSerialLine2 + "\r\n");
        meter.SetScType(scType);
        meter.calib.appliedInput = 0.0;
        sim = std::make_unique<sim::SimPort>(meter, port, vt);
        program.StartUp();
        main = std::make_unique<frmMMenu>(program, op);
        main->show();
        main->mnuCalib_Click();
        window = main->CalibWindow();
    }
    ~CalibRig() {
        main.reset();
        sim.reset();
    }

    template <class T>
    [[nodiscard]] T* Control(const char* name) const {
        return window->findChild<T*>(name);
    }
    [[nodiscard]] QString Text(const char* name) const {
        if (auto* label = Control<QLabel>(name)) return label->text();
        if (auto* edit = Control<QLineEdit>(name)) return edit->text();
        return Control<QPushButton>(name)->text();
    }
    [[nodiscard]] QString Cell(int row, int col) const { return Control<QTableWidget>("Grid1")->item(row, col)->text(); }
    void Click(const char* name) { QTest::mouseClick(Control<QPushButton>(name), Qt::LeftButton); }
    void ChooseRange(int index) {
        Control<QComboBox>("cboRange")->setCurrentIndex(index);
        window->cboRange_Click(index); // as the list's activation does
    }
    // Ready with the input at the terminals: +1 the asked input, -1 reversed.
    void ReadyWith(double input) {
        meter.calib.appliedInput = input;
        Click("cmdReady");
    }
    // Lets what is still on its way along the line arrive.
    void Settle() { vt.AdvanceUs(500000); }
    // The Custom ASCII codes the meter received, without "*0" and CR LF,
    // from the given entry of its log on.
    [[nodiscard]] std::vector<std::string> Codes(std::size_t from = 0) const {
        std::vector<std::string> codes;
        for (std::size_t i = from; i < meter.Log().size(); ++i) {
            std::string bytes = meter.Log()[i].bytes;
            if (bytes.ends_with("\r\n")) bytes.resize(bytes.size() - 2);
            codes.push_back(bytes.substr(2));
        }
        return codes;
    }

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    ScriptedOperator dialogs;
    QtOperator op;
    Program program;
    sim::Meter meter;
    std::unique_ptr<sim::SimPort> sim;
    std::unique_ptr<frmMMenu> main;
    QPointer<frmCalib> window;
};

std::vector<std::string> ListTexts(int scType) {
    std::vector<std::string> texts;
    for (const CalibRange& r : CalibRanges(scType)) texts.emplace_back(r.listText);
    return texts;
}

TEST(CalibWindow, aDcBoardStartsOnTheZeroRangeWithEveryControlInPlace) {
    CalibRig rig;
    ASSERT_TRUE(rig.window);
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_FALSE(rig.main->isVisible()) << "the main window hides while the calibration runs";
    EXPECT_TRUE(rig.main->Lines().isEmpty()) << "the Wait line is gone";
    EXPECT_EQ(rig.window->windowTitle(), "DC Signal Conditioner Calibration");
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << (rig.dialogs.boxes.empty() ? "" : rig.dialogs.boxes[0].text);

    auto* list = rig.Control<QComboBox>("cboRange");
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i) items.push_back(list->itemText(i).toStdString());
    EXPECT_EQ(items, ListTexts(kScTypeDC));
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(rig.Control<QWidget>("fraRange")->property("title").toString(), "Select Range");

    EXPECT_EQ(rig.Text("lblRange"), "200 mV DC");
    EXPECT_EQ(rig.Text("lblScaleF"), "");
    EXPECT_EQ(rig.Text("lblJump"), "Remove any input signal.  Place the jumpers as shown.");
    EXPECT_TRUE(rig.Control<QLabel>("lblJump")->isVisible());
    EXPECT_EQ(rig.Control<JumperView>("imgJump")->Picture(), 11);
    EXPECT_EQ(rig.Text("lblLine1"), "Apply the following accurate input signal");
    EXPECT_EQ(rig.Text("txtInput"), "0 V DC");
    EXPECT_FALSE(rig.Control<QLabel>("lblOutRange")->isVisible());
    EXPECT_EQ(rig.Text("lblOutRange"), "* * *  Calculated Correction Exceeds Allowable Range");
    EXPECT_EQ(rig.Control<QProgressBar>("ProgBar")->value(), 0);
    EXPECT_EQ(rig.Text("Label1"), "Accept");

    const std::tuple<const char*, const char*, bool, bool> buttons[] = {{"cmdReady", "Ready", true, true},
                                                                         {"cmdRepeat", "Repeat", true, false},
                                                                         {"cmdStop", "Stop", true, false},
                                                                         {"cmdEnd", "End", true, true},
                                                                         {"cmdPrint", "Print", true, true},
                                                                         {"cmdSaveRecord", "Save Record", true, false}};
    for (const auto& [name, caption, visible, enabled] : buttons) {
        auto* b = rig.Control<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), caption) << name;
        EXPECT_EQ(b->isVisible(), visible) << name;
        EXPECT_EQ(b->isEnabled(), enabled) << name;
    }
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(rig.window->cmd(i)->text(), " " + QString::number(i));
        EXPECT_TRUE(rig.window->cmd(i)->isVisible());
        EXPECT_FALSE(rig.window->cmd(i)->isEnabled());
        EXPECT_EQ(rig.window->cmd(i)->objectName(), "cmd");
    }

    // The grid: 11 x 8, titles in column 0 for a zero range, then for a
    // full-scale range once one is chosen; the titles column the wider.
    auto* grid = rig.Control<QTableWidget>("Grid1");
    ASSERT_EQ(grid->rowCount(), 8);
    ASSERT_EQ(grid->columnCount(), 11);
    const char* zeroTitles[] = {"Calib Input",   "Desired Reading", "Current  Reading", "                ",
                                "Current Calib", "  New   Calib",   "  New    Reading", "                "};
    for (int r = 0; r < 8; ++r) EXPECT_EQ(rig.Cell(r, 0), zeroTitles[r]) << r;
    EXPECT_NEAR(double(grid->columnWidth(0)) / grid->columnWidth(1), 2.3 / 1.2, 0.15);

    rig.ChooseRange(9);
    EXPECT_EQ(rig.Text("lblRange"), "5 A  DC");
    EXPECT_EQ(rig.Text("txtInput"), "2 A  DC+");
    EXPECT_EQ(rig.Control<JumperView>("imgJump")->Picture(), 19);
    const char* fullTitles[] = {"Calib Input",   "Desired Reading", "Current +Reading", "Current -Reading",
                                "Current Calib", "  New   Calib",   "  New   +Reading", "  New   -Reading"};
    for (int r = 0; r < 8; ++r) EXPECT_EQ(rig.Cell(r, 0), fullTitles[r]) << r;
}

TEST(CalibWindow, aLoadCellBoardListsItsRangesAndAnUnknownBoardOffersOnlyEnd) {
    {
        CalibRig rig("03");
        EXPECT_EQ(rig.window->windowTitle(), "Load Cell Signal Conditioner Calibration");
        EXPECT_EQ(rig.Control<QComboBox>("cboRange")->count(), 7);
        EXPECT_EQ(rig.Control<QComboBox>("cboRange")->itemText(1), "Zero (Hi Range)");
        EXPECT_EQ(rig.Control<JumperView>("imgJump")->Picture(), 35);
    }
    CalibRig rig("02");
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text,
              "Invalid Signal Conditioner.  Exit this screen and click on Menu item 'SigCondType'.");
    EXPECT_EQ(rig.dialogs.boxes[0].title, "S/C Error");
    ASSERT_TRUE(rig.window);
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_EQ(rig.Control<QComboBox>("cboRange")->count(), 0);
    EXPECT_FALSE(rig.Control<QPushButton>("cmdReady")->isEnabled());
    EXPECT_TRUE(rig.Control<QPushButton>("cmdEnd")->isEnabled());
    rig.Click("cmdEnd");
    rig.Settle();
    EXPECT_EQ(rig.Codes().back(), "W305000000100001");
    EXPECT_TRUE(rig.main->isVisible());
}

// A full-scale range calibrated by clicks: an attempt in column 1 (Ready
// with +, -, +), a repeat into column 2 (Repeat, then Ready with -), column
// 2 kept; the record saved and read back field by field; End.
TEST(CalibWindow, aWholeCalibrationByClicksConvergesIsRecordedAndEnds) {
    CalibRig rig;
    rig.meter.SetCalibWord(0x1F, 0x1F40);
    rig.ChooseRange(1); // 200 mV DC
    const std::size_t start = rig.meter.Log().size();

    rig.ReadyWith(1.0);
    EXPECT_EQ(rig.Text("lblScaleF"), "Scale Factor set to 4");
    EXPECT_EQ(rig.Cell(0, 1), "200 mV DC");
    EXPECT_EQ(rig.Cell(1, 1), " 80000");
    EXPECT_TRUE(rig.Cell(2, 1).startsWith('+'));
    EXPECT_EQ(rig.Cell(3, 1), "Set Input");
    EXPECT_EQ(rig.Text("txtInput"), "200 mV DC-");
    EXPECT_EQ(rig.Control<QProgressBar>("ProgBar")->value(), 100);
    EXPECT_FALSE(rig.Control<QLabel>("lblJump")->isVisible());
    EXPECT_TRUE(rig.Control<QPushButton>("cmdReady")->isEnabled());
    EXPECT_EQ(rig.window->focusWidget(), rig.Control<QPushButton>("cmdReady"));
    EXPECT_FALSE(rig.Control<QComboBox>("cboRange")->isEnabled());

    rig.ReadyWith(-1.0);
    EXPECT_TRUE(rig.Cell(3, 1).startsWith('-'));
    EXPECT_EQ(rig.Cell(4, 1), "1F40");
    EXPECT_EQ(rig.Cell(6, 1), "Set Input");
    EXPECT_EQ(rig.Text("txtInput"), "200 mV DC+");
    const std::string written1 = rig.Cell(5, 1).toStdString();
    EXPECT_EQ(rig.meter.CalibWord(0x1F), std::stoi(written1, nullptr, 16));

    rig.ReadyWith(1.0);
    EXPECT_TRUE(rig.Cell(6, 1).startsWith('+'));
    EXPECT_TRUE(rig.window->cmd(1)->isEnabled());
    EXPECT_TRUE(rig.Control<QPushButton>("cmdRepeat")->isEnabled());
    EXPECT_TRUE(rig.Control<QPushButton>("cmdSaveRecord")->isEnabled());

    // The wire: the word read, the range prepared, readings with resets
    // between input changes, the corrected word written.
    const std::vector<std::string> wire = rig.Codes(start);
    const std::vector<std::string> expected = {"X11F", "W305000000100004", "W1100060", "G130",
                                               wire.size() > 4 ? wire[4] : "", "B1", "C0", "B1",
                                               "W11F" + written1, "B1", "C0", "B1"};
    EXPECT_EQ(wire, expected);
    EXPECT_TRUE(wire.size() > 4 && wire[4].starts_with("W111") && wire[4].ends_with("36")) << wire[4];

    rig.Click("cmdRepeat"); // into column 2, the positive input still applied
    EXPECT_EQ(rig.Cell(7, 2), "Set Input");
    rig.ReadyWith(-1.0);
    EXPECT_TRUE(rig.window->cmd(2)->isEnabled());
    const std::vector<std::vector<std::string>> grid = [&] {
        std::vector<std::vector<std::string>> g(3);
        for (int c = 1; c <= 2; ++c)
            for (int r = 0; r < 8; ++r) g[c].push_back(rig.Cell(r, c).toStdString());
        return g;
    }();

    QTest::mouseClick(rig.window->cmd(2), Qt::LeftButton);
    EXPECT_EQ(rig.window->cmd(2)->text(), "Saved");
    EXPECT_EQ(rig.Cell(5, 1), "") << "only the kept attempt stays";
    EXPECT_EQ(rig.meter.CalibWord(0x1F), std::stoi(grid[2][5], nullptr, 16));
    // The board now reads the desired reading within its noise.
    rig.meter.calib.appliedInput = 1.0;
    EXPECT_LE(std::abs(rig.meter.InputReading() - 80000), 2 * rig.meter.calib.noiseCounts + 2);

    // The record, saved and read back.
    rig.window->now = [] { return std::string("2026-12-07 12:30:00"); };
    rig.dialogs.files.push_back("calib run");
    rig.Click("cmdSaveRecord");
    const auto file = rig.folder.path() / "calib run.csv";
    ASSERT_EQ(rig.window->RecordFile(), file);
    const auto lines = ReadCalibCsv(ReadWhole(file));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], CalibRecordCsvColumns());
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::vector<std::string>& col = grid[static_cast<std::size_t>(attempt)];
        const std::vector<std::string> line = {"2026-12-07 12:30:00", "1", "DC", "200 mV DC", "1F", "200 mV DC",
                                               "80000", std::to_string(attempt), std::to_string(attempt), col[2],
                                               col[3], col[6], col[7], col[4], col[5], "no",
                                               attempt == 2 ? "yes" : "no"};
        EXPECT_EQ(lines[static_cast<std::size_t>(attempt)], line) << attempt;
    }
    EXPECT_EQ(grid[2][4], grid[1][5]) << "the repeat starts from the word the first attempt wrote";

    rig.Click("cmdEnd");
    rig.Settle();
    EXPECT_EQ(rig.Codes().back(), "W305000000100001");
    EXPECT_TRUE(rig.main->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(rig.window) << "the window is unloaded";
}

// Closing the window in the middle of a run stops the run at its next
// check; the window goes when the run has returned, and the meter gets its
// scale factor back as with End.
TEST(CalibWindow, closingDuringARunStopsItThenLeavesWithTheScaleFactorRestored) {
    CalibRig rig;
    rig.ChooseRange(1);
    rig.vt.AfterUs(3'000'000, [&] { rig.window->close(); }); // during the first wait
    rig.ReadyWith(1.0);
    rig.Settle();
    const std::vector<std::string> wire = rig.Codes();
    EXPECT_EQ(wire.back(), "W305000000100001");
    EXPECT_EQ(std::count_if(wire.begin(), wire.end(), [](const std::string& c) { return c.starts_with("W11F"); }), 0);
    EXPECT_TRUE(rig.main->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(rig.window);
}

// Stop stays clickable while the meter is worked; the run ends at its next
// check and column 1 starts again from Ready.
TEST(CalibWindow, stopClickedDuringARunEndsItAndOffersReadyAgain) {
    CalibRig rig;
    rig.ChooseRange(1);
    rig.vt.AfterUs(1'000'000, [&] {
        EXPECT_TRUE(rig.Control<QPushButton>("cmdStop")->isEnabled());
        EXPECT_FALSE(rig.Control<QPushButton>("cmdEnd")->isEnabled());
        EXPECT_FALSE(rig.Control<QPushButton>("cmdPrint")->isEnabled());
        rig.Click("cmdStop");
    });
    rig.ReadyWith(1.0);
    EXPECT_EQ(rig.Codes().back(), "X11F") << "nothing after the wait that followed the click";
    EXPECT_TRUE(rig.Control<QPushButton>("cmdReady")->isEnabled());
    EXPECT_FALSE(rig.Control<QPushButton>("cmdStop")->isEnabled());
    EXPECT_TRUE(rig.Control<QPushButton>("cmdEnd")->isEnabled());
    EXPECT_TRUE(rig.Control<QComboBox>("cboRange")->isEnabled());
    EXPECT_EQ(rig.Cell(0, 1), "");
    EXPECT_EQ(rig.Control<QProgressBar>("ProgBar")->value(), 0);
    EXPECT_TRUE(rig.window->isVisible());
}

TEST(CalibWindow, aReadingThatGetsNoReplyEndsTheRunAndTheWindowSaysWhich) {
    CalibRig rig;
    rig.ChooseRange(1);
    rig.meter.AddFault(sim::Fault::Silent("B1"));
    rig.ReadyWith(1.0);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].id, MessageId::CommunicationError);
    EXPECT_NE(rig.dialogs.boxes[0].text.find("B1"), std::string::npos) << rig.dialogs.boxes[0].text;
    const std::vector<std::string> wire = rig.Codes();
    EXPECT_EQ(std::count_if(wire.begin(), wire.end(), [](const std::string& c) { return c.starts_with("W11F"); }), 0)
        << "nothing is written after the failed read";
    EXPECT_TRUE(rig.Control<QPushButton>("cmdEnd")->isEnabled());
    EXPECT_FALSE(rig.Control<QPushButton>("cmdStop")->isEnabled());
    EXPECT_TRUE(rig.Control<QComboBox>("cboRange")->isEnabled());
}

} // namespace
} // namespace wm::test
