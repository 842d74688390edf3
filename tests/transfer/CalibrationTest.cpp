// The calibration procedure driven as the window drives it, under virtual
// time: against a scripted meter for the worked corrections, and against
// the simulated meter for whole calibrations, the exact commands on the
// wire, Stop, the Input Signal Error and the reads that fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <optional>

#include "support/SimProgram.h"
#include "comm/Tables.h"
#include "sc/Calibration.h"

namespace wm::test {
namespace {

// The identification block with word 1B and the board type in place.
std::string Block(const std::string& word1B, const std::string& type) {
    std::string block(64, '0');
    block.replace(36, 4, word1B);
    block.replace(62, 2, type);
    return block;
}

// A DC board whose word is `word` and whose input readings come from a list.
struct Scripted {
    TransferRig rig{Line1(0)};
    Calibration cal{rig.program};
    std::deque<std::string> readings;
    std::vector<std::string> writes; // the calibration words written ("W11F1A21")

    explicit Scripted(const std::string& word) {
        rig.peer.respond = [this, word](const std::string& r) -> std::optional<std::string> {
            const std::string code = r.substr(2);
            if (code == "XL24") return Block("0200", "01");
            if (code.starts_with("X1")) return word;
            if (code == "G130") return "36";
            if (code == "B1" && !readings.empty()) {
                std::string b = readings.front();
                readings.pop_front();
                return b;
            }
            const bool isWord = code.starts_with("W1") && code.size() == 8;
            if (isWord && code.substr(2, 2) != "10" && code.substr(2, 2) != "11" && code.substr(2, 2) != "1B")
                writes.push_back(code);
            return std::nullopt;
        };
    }
};

TEST(CalibrationWorked, correctionsAreWrittenAndClampedWithOutOfRangeShown) {
    struct Case {
        int listIndex;
        const char* word;
        std::vector<std::string> readings; // before the correction, then the one after it
        const char* written;
        bool outOfRange;
    };
    const Case cases[] = {
        {1, "1F40", {"+805.00", "-803.00", "-800.00"}, "W11F1A21", false}, // (80000 - 80400) x 3.277 + 8000
        {0, "0000", {"+12", "+0"}, "W11AFF6C", false},                     // 0 - 123 x 12 / 10
        {1, "FF00", {"+10000", "-10000", "-10000"}, "W11FFFFF", true},
        {1, "0010", {"+99999", "-99999", "-99999"}, "W11F0000", true},
        {0, "7FF0", {"-99999", "+0"}, "W11A7FFF", true},
    };
    for (const Case& c : cases) {
        Scripted s(c.word);
        s.readings.assign(c.readings.begin(), c.readings.end());
        ASSERT_TRUE(s.cal.CalibCont());
        s.cal.cboRange_Click(c.listIndex);
        s.cal.cmdReady_Click();
        if (c.listIndex != 0) s.cal.cmdReady_Click(); // the negative input
        ASSERT_EQ(s.writes, std::vector<std::string>{c.written}) << c.written;
        const CalibState& st = s.cal.State();
        EXPECT_EQ(st.grid[4][1], c.word);
        EXPECT_EQ(st.grid[5][1], std::string(c.written).substr(4));
        EXPECT_EQ(st.lblOutRange.visible, c.outOfRange) << c.written;
        EXPECT_EQ(st.grid[2][1], RmvDP(c.readings[0]));
        EXPECT_FALSE(st.failure.has_value());
    }
}

// A meter answering from a table; every request it heard, in order.
struct Answering {
    TransferRig rig{Line1(0)};
    std::vector<std::string> heard;

    explicit Answering(std::function<std::optional<std::string>(const std::string&)> answer) {
        rig.peer.respond = [this, answer](const std::string& r) {
            heard.push_back(r.substr(2));
            return answer(r.substr(2));
        };
    }
};

TEST(CalibrationReplies, aFlagByteInLowerCaseIsWrittenBackInUpperCase) {
    Answering m([](const std::string& code) -> std::optional<std::string> {
        if (code == "XL24") return Block("0200", "01");
        if (code == "X11F") return "1F40";
        if (code == "G130") return "3a";
        if (code == "B1") return "+805.00";
        return std::nullopt;
    });
    Calibration cal{m.rig.program};
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(1);
    cal.cmdReady_Click();
    EXPECT_EQ(cal.State().CalStep, 2);
    EXPECT_NE(std::find(m.heard.begin(), m.heard.end(), "W1113A36"), m.heard.end());
    EXPECT_EQ(std::find(m.heard.begin(), m.heard.end(), "W1113a36"), m.heard.end());
}

// The board type a Get left does not stand in for the block read at start:
// without it the list is empty and no range can be chosen.
TEST(CalibrationReplies, withoutTheBlockNoRangeIsChosenAndNothingIsWritten) {
    for (const bool silent : {true, false}) {
        Answering m([silent](const std::string& code) -> std::optional<std::string> {
            if (code == "XL24" && !silent) return Block("0200", "01").substr(0, 40); // cut short
            if (code == "X11A" || code == "X11F") return "1F40";
            return std::nullopt;
        });
        m.rig.program.derived.ScType = kScTypeDC;
        Calibration cal{m.rig.program};
        ASSERT_FALSE(cal.CalibCont());
        EXPECT_TRUE(cal.State().rangeList.empty());
        for (const int index : {0, 1}) {
            cal.cboRange_Click(index);
            cal.cmdReady_Click();
        }
        EXPECT_EQ(cal.State().range, nullptr);
        EXPECT_EQ(m.heard, std::vector<std::string>{"XL24"}) << (silent ? "silent" : "cut short");
    }
}

// A program on the simulated meter, with the board's noise off unless a
// test wants it.
struct CalibSim : ::testing::Test {
    SimProgram rig{Line1(0, "007", '5', '1')};
    Calibration cal{rig.program};
    sim::Meter& meter = rig.meter;

    void SetUp() override { meter.calib.noiseCounts = 0; }

    void LoadCell() {
        meter.SetScType("03");
        meter.SetRangeByte("D0");
    }
    // Ready with the input at `input` times the calibration input.
    void Ready(double input) {
        meter.calib.appliedInput = input;
        cal.cmdReady_Click();
    }
    // The command codes the meter heard since the last call.
    std::vector<std::string> Heard() {
        std::vector<std::string> codes;
        for (const sim::LogEntry& e : meter.Log())
            if (e.addressed) codes.push_back(e.key);
        meter.ClearLog();
        return codes;
    }
    [[nodiscard]] const CalibState& St() const { return cal.State(); }
    [[nodiscard]] std::string Cell(int row, int col) const {
        return St().grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }
    // A whole first attempt of a full-scale range.
    void FullScaleAttempt() {
        Ready(1);
        Ready(-1);
        Ready(1);
    }
};

using Codes = std::vector<std::string>;

TEST_F(CalibSim, aFullScaleCalibrationSendsTheExactCommandsAndKeepsTheChosenWord) {
    const std::string g = meter.Mid(49, 2);
    ASSERT_TRUE(cal.CalibCont());
    EXPECT_EQ(St().caption, "DC Signal Conditioner Calibration");
    ASSERT_EQ(St().rangeList.size(), 10U);
    cal.cboRange_Click(1);
    EXPECT_EQ(St().txtInput.caption, "200 mV DC+");
    EXPECT_EQ(Heard(), Codes{"XL24"}) << "word 1B is already 0200";

    Ready(1);
    EXPECT_EQ(Heard(), (Codes{"X11F", "W30500000010000" "4", "W1100060", "G130", "W111" + g + "36", "B1"}));
    EXPECT_EQ(St().CalStep, 2);
    EXPECT_EQ(St().txtInput.caption, "200 mV DC-");
    EXPECT_EQ(Cell(3, 1), "Set Input");
    EXPECT_EQ(St().lblScaleF, "Scale Factor set to 4");
    Ready(-1);
    EXPECT_EQ(Heard(), (Codes{"C0", "B1", "W11F1A21", "B1"})) << "readings +80405 and -80395 from word 1F40";
    EXPECT_EQ(St().CalStep, 3);
    Ready(1);
    EXPECT_EQ(Heard(), (Codes{"C0", "B1"}));
    EXPECT_TRUE(St().cmd[1].enabled);
    EXPECT_EQ(St().focus, CalibFocus::cmd);

    cal.cmd_Click(1);
    EXPECT_EQ(Heard(), Codes{"W11F1A21"});
    EXPECT_EQ(St().cmd[1].caption, "Saved");
    EXPECT_EQ(St().focus, CalibFocus::cboRange);
    cal.cmdEnd_Click();
    rig.vt.AdvanceUs(100'000); // the window closes; the line carries the command on
    EXPECT_EQ(Heard(), Codes{"W305000000100001"});
    EXPECT_EQ(meter.calib.scaleFactor, 1);

    const CalibRecord& rec = cal.Record();
    EXPECT_EQ(rec.meterAddress, "1");
    EXPECT_EQ(rec.boardName, "DC");
    ASSERT_EQ(rec.ranges.size(), 1U);
    const CalibRangeRecord& r = rec.ranges[0];
    EXPECT_EQ(r.range, "200 mV DC");
    EXPECT_EQ(r.address, "1F");
    EXPECT_EQ(r.originalWord, "1F40");
    EXPECT_EQ(r.keptColumn, 1);
    EXPECT_EQ(r.keptWord, "1A21");
    ASSERT_EQ(r.attempts.size(), 1U);
    EXPECT_EQ(r.attempts[0].plusBefore, "+80405");
    EXPECT_EQ(r.attempts[0].minusBefore, "-80395");
    EXPECT_EQ(r.attempts[0].wordBefore, "1F40");
    EXPECT_EQ(r.attempts[0].wordWritten, "1A21");
}

TEST_F(CalibSim, zeroCalibrationsSendTheirFlagAndOnlyTheHighRangeAsksX11A) {
    struct Case {
        bool loadCell;
        int listIndex;
        Codes step1; // after the flag write
    };
    const Case cases[] = {
        {false, 0, {"B1", "W11AFF6C", "B1"}},        // reads 12: 0 - 123 x 12 / 10
        {true, 0, {"B1", "W11AFF6E", "B1"}},         // reads 31: 0 - 47 x 31 / 10
        {true, 1, {"X11A", "B1", "W11EFF6E", "B1"}}, // reads 12: 0 - 122 x 12 / 10
    };
    for (const Case& c : cases) {
        SimProgram r{Line1(0, "007", '5', '1')};
        r.meter.calib.noiseCounts = 0;
        if (c.loadCell) {
            r.meter.SetScType("03");
            r.meter.SetRangeByte("D0");
        }
        Calibration z{r.program};
        ASSERT_TRUE(z.CalibCont());
        z.cboRange_Click(c.listIndex);
        r.meter.ClearLog();
        r.meter.calib.appliedInput = 0;
        z.cmdReady_Click();
        const CalibRange& range = *FindCalibRange(c.loadCell ? 3 : 1, c.listIndex);
        Codes want{std::string("X1") + range.nvAdr, "W30500000010000A", std::string("W11000") + range.inpTyp,
                   "G130", "W111" + r.meter.Mid(49, 2) + (c.loadCell ? "38" : "36")};
        want.insert(want.end(), c.step1.begin(), c.step1.end());
        Codes heard;
        for (const sim::LogEntry& e : r.meter.Log()) heard.push_back(e.key);
        EXPECT_EQ(heard, want) << range.listText;
        EXPECT_EQ(z.State().grid[6][1], "+00000") << range.listText;
        EXPECT_TRUE(z.State().cmd[1].enabled);
    }
}

TEST_F(CalibSim, repeatsConvergeWithinNoiseAndTheKeptWordReadsTheDesiredValue) {
    meter.calib.noiseCounts = 2;
    meter.SetCalibWord(0x1A, 0xFF6C); // a calibrated zero: the readings are symmetric
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(1);
    FullScaleAttempt();
    cal.cmdRepeat_Click(); // column 2: the positive input is still applied
    EXPECT_EQ(St().txtInput.caption, "200 mV DC-") << "the input for the rest of the attempt";
    EXPECT_EQ(Cell(7, 2), "Set Input");
    EXPECT_EQ(St().CalStep, 4);
    Ready(-1);
    cal.cmdRepeat_Click(); // column 3: the negative input is still applied
    EXPECT_EQ(St().txtInput.caption, "200 mV DC+");
    EXPECT_EQ(Cell(6, 3), "Set Input");
    EXPECT_EQ(St().CalStep, 3);
    Ready(1);
    // The board's sensitivity differs from the program's factor by under 1%:
    // the first correction leaves a few counts, the second only noise.
    EXPECT_NEAR(ReadingValue(Cell(6, 2)), 80000, 6);
    EXPECT_NEAR(ReadingValue(Cell(7, 2)), -80000, 6);
    EXPECT_NEAR(ReadingValue(Cell(6, 3)), 80000, 3);
    EXPECT_NEAR(ReadingValue(Cell(7, 3)), -80000, 3);
    cal.cmd_Click(3);
    EXPECT_EQ(Cell(5, 2), "") << "only the kept attempt stays";
    EXPECT_EQ(meter.CalibWord(0x1F), std::stoi(Cell(5, 3), nullptr, 16));
    for (const double input : {1.0, -1.0}) {
        meter.calib.appliedInput = input;
        EXPECT_NEAR(meter.InputReading(), 80000 * input, 3);
    }
}

// The waits are timed on the seconds-since-midnight clock: one that
// crosses midnight ends on time, and the bar still fills.
TEST_F(CalibSim, aStepAcrossMidnightTakesItsUsualTime) {
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(0);
    rig.vt.AdvanceUs(static_cast<std::uint64_t>((86'400.0 - 36'000.0 - 8.0) * 1e6) - rig.vt.NowUs());
    ASSERT_NEAR(rig.vt.SecondsSinceMidnight(), 86'392.0, 0.01);
    const std::uint64_t start = rig.vt.NowUs();
    Ready(0);
    const double seconds = static_cast<double>(rig.vt.NowUs() - start) / 1e6;
    EXPECT_GT(seconds, 20.0);
    EXPECT_LT(seconds, 40.0);
    EXPECT_LT(rig.vt.SecondsSinceMidnight(), 100.0);
    EXPECT_EQ(Cell(6, 1), "+00000");
    EXPECT_EQ(St().progBar, 100);
}

TEST_F(CalibSim, tenAttemptsWrapToColumnOneAndEmptyTheNext) {
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(0);
    Ready(0);
    for (int i = 0; i < 9; ++i) cal.cmdRepeat_Click();
    for (int col = 2; col <= 10; ++col) {
        EXPECT_EQ(Cell(6, col), "+00000") << col;
        EXPECT_TRUE(St().cmd[static_cast<std::size_t>(col)].enabled) << col;
    }
    // The attempt in column 10 made room in column 1 for the next.
    EXPECT_EQ(Cell(2, 1), "");
    EXPECT_EQ(Cell(0, 1), "0 V DC");
    EXPECT_FALSE(St().cmd[1].enabled);
    cal.cmdRepeat_Click();
    EXPECT_EQ(St().gridCol, 1);
    EXPECT_EQ(Cell(4, 1), "FF6C");
    EXPECT_EQ(Cell(6, 1), "+00000");
    for (int row = 2; row <= 7; ++row) EXPECT_EQ(Cell(row, 2), "") << row;
    EXPECT_FALSE(St().cmd[2].enabled);
    EXPECT_EQ(Cell(6, 3), "+00000");
    EXPECT_EQ(cal.Record().ranges.at(0).attempts.size(), 11U);
}

TEST_F(CalibSim, stopEndsARunAtItsNextCheckAndResetsTheColumnWhenIdle) {
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(1);
    meter.ClearLog();
    // Clicked while the word is being read: the read and the wait after it finish.
    meter.heard = [this](const sim::LogEntry& e) {
        if (e.key == "X11F") rig.vt.AfterUs(100'000, [this] { cal.cmdStop_Click(); });
    };
    Ready(1);
    meter.heard = nullptr;
    EXPECT_EQ(Heard(), Codes{"X11F"});
    EXPECT_EQ(St().CalStep, 1);
    EXPECT_TRUE(St().cmdReady.enabled);
    EXPECT_FALSE(St().cmdStop.enabled);
    EXPECT_TRUE(St().cmdEnd.enabled);
    EXPECT_FALSE(cal.Busy());
    EXPECT_EQ(Cell(0, 1), "");

    Ready(1); // waiting for the negative input now
    ASSERT_EQ(St().CalStep, 2);
    Heard();
    cal.cmdStop_Click();
    EXPECT_EQ(Heard(), Codes{});
    EXPECT_EQ(St().CalStep, 1);
    EXPECT_EQ(Cell(2, 1), "");
    EXPECT_TRUE(St().cmdReady.enabled);
}

// The next Repeat corrects the last completed attempt's readings from the
// word they were taken with, not from a word written by a stopped attempt.
TEST_F(CalibSim, aRepeatAfterAStoppedRepeatWritesTheSameWordAgain) {
    meter.calib.noiseCounts = 2;
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(1);
    FullScaleAttempt();
    const std::string firstWord = Cell(5, 1);
    meter.heard = [this](const sim::LogEntry& e) {
        if (e.key.starts_with("W11F")) rig.vt.AfterUs(100'000, [this] { cal.cmdStop_Click(); });
    };
    cal.cmdRepeat_Click();
    meter.heard = nullptr;
    const std::string stoppedWord = Heard().back().substr(4);
    EXPECT_EQ(St().gridCol, 1);
    EXPECT_EQ(Cell(5, 2), "");
    EXPECT_TRUE(St().cmdRepeat.enabled);
    EXPECT_EQ(St().CurCalibHex, firstWord);
    cal.cmdRepeat_Click();
    EXPECT_EQ(Cell(5, 2), stoppedWord);
}

TEST_F(CalibSim, anInputSignalErrorWritesNothingAndReadyTakesTheReadingAgain) {
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(1);
    Ready(0); // no input: about 5 counts
    EXPECT_EQ(Heard().back(), "B1");
    EXPECT_EQ(St().lblLine1.caption, "                         Input Signal Error");
    EXPECT_EQ(St().lblLine1Colour, ColourDarkRed);
    EXPECT_TRUE(St().lblLine1.visible);
    EXPECT_TRUE(St().cmdReady.enabled);
    EXPECT_EQ(St().CalStep, 1);
    Ready(1);
    EXPECT_EQ(St().CalStep, 2);
    EXPECT_EQ(St().lblLine1.caption, kApplyInputText);
    Heard();

    // The input drops while the corrected word settles: the word was
    // written, so the next Ready only reads the negative input again.
    meter.heard = [this](const sim::LogEntry& e) {
        if (e.key.starts_with("W11F")) meter.calib.appliedInput = 0;
    };
    Ready(-1);
    meter.heard = nullptr;
    EXPECT_EQ(Heard(), (Codes{"C0", "B1", "W11F1A21", "B1"}));
    EXPECT_EQ(St().lblLine1.caption, kInputSignalErrorText);
    Ready(-1);
    EXPECT_EQ(Heard(), (Codes{"C0", "B1"}));
    EXPECT_EQ(St().CalStep, 3);
    EXPECT_EQ(Cell(5, 1), "1A21");
    EXPECT_EQ(Cell(6, 1), "Set Input");
}

TEST_F(CalibSim, aFailedReadEndsTheRunWithNothingMoreWritten) {
    struct Case {
        const char* exchange;
        int stepsBefore;       // Ready clicks that complete before the fault is armed
        const char* armedOn;   // arm the fault when this command is heard (nullptr: at once)
        bool corrupt = false;  // the reply comes, with its first character changed ("*80405")
    };
    for (const Case c : {Case{"X11F", 0, nullptr}, Case{"G130", 0, nullptr}, Case{"B1", 0, nullptr},
                         Case{"B1", 1, nullptr}, Case{"B1", 1, "W11F"},
                         Case{"B1", 1, nullptr, true}}) {
        SimProgram r{Line1(0, "007", '5', '1')};
        Calibration f{r.program};
        ASSERT_TRUE(f.CalibCont());
        f.cboRange_Click(1);
        for (int i = 0; i < c.stepsBefore; ++i) {
            r.meter.calib.appliedInput = i % 2 == 0 ? 1 : -1;
            f.cmdReady_Click();
        }
        r.meter.calib.appliedInput = c.stepsBefore % 2 == 0 ? 1 : -1;
        const sim::Fault silent =
            (c.corrupt ? sim::Fault::Corrupt(c.exchange) : sim::Fault::Silent(c.exchange)).Times(1);
        if (c.armedOn == nullptr) r.meter.AddFault(silent);
        r.meter.heard = [&](const sim::LogEntry& e) {
            if (c.armedOn != nullptr && e.key.starts_with(c.armedOn)) r.meter.AddFault(silent);
        };
        r.meter.ClearLog();
        f.cmdReady_Click();
        r.meter.heard = nullptr;
        const std::string label = std::string(c.exchange) + " after " + std::to_string(c.stepsBefore);
        ASSERT_TRUE(f.State().failure.has_value()) << label;
        EXPECT_EQ(f.State().failure->exchange, c.exchange) << label;
        EXPECT_EQ(f.State().failure->status, c.corrupt ? status::Ok : status::NoReply) << label;
        EXPECT_EQ(r.meter.Log().back().key, c.exchange) << label << ": nothing after the failed read";
        EXPECT_EQ(r.op.Ids(), std::vector<MessageId>{MessageId::CommunicationError}) << label;
        EXPECT_NE(f.FailureText().find(c.exchange), std::string::npos);
        EXPECT_EQ(f.State().CalStep, 1) << label;
        EXPECT_TRUE(f.State().cmdReady.enabled) << label;
        EXPECT_FALSE(f.Busy()) << label;
    }
}

TEST_F(CalibSim, aKeptWordOrEndThatCannotBeSentIsToldAndTheGridStays) {
    ASSERT_TRUE(cal.CalibCont());
    cal.cboRange_Click(1);
    FullScaleAttempt();
    rig.port.Hangup();
    cal.cmd_Click(1);
    ASSERT_TRUE(St().failure.has_value());
    EXPECT_EQ(St().failure->exchange, "W11F1A21");
    EXPECT_EQ(St().failure->status, status::DeviceGone);
    EXPECT_EQ(St().cmd[1].caption, " 1");
    EXPECT_TRUE(St().cmd[1].enabled);
    EXPECT_EQ(Cell(5, 1), "1A21");
    EXPECT_FALSE(cal.Record().ranges.at(0).keptColumn.has_value());
    EXPECT_TRUE(St().cmdRepeat.enabled);
    EXPECT_TRUE(St().cmdEnd.enabled);
    cal.cmdEnd_Click();
    EXPECT_EQ(St().failure->exchange, "W305000000100001");
    EXPECT_TRUE(cal.FailureText().starts_with("W305000000100001 was not sent: ")) << cal.FailureText();
    EXPECT_EQ(cal.FailureText().find("stopped"), std::string::npos) << cal.FailureText();
    EXPECT_EQ(rig.op.Ids(), (std::vector<MessageId>{MessageId::CommunicationError, MessageId::CommunicationError}));
}

TEST_F(CalibSim, startWritesWord1BOnlyWhenItDiffersAndRefusesOtherBoards) {
    meter.SetCalibWord(0x1B, 0x0000);
    ASSERT_TRUE(cal.CalibCont());
    EXPECT_EQ(Heard(), (Codes{"XL24", "W11B0200"}));
    EXPECT_EQ(rig.program.derived.ScType, 1);
    EXPECT_EQ(St().listIndex, 0);
    EXPECT_EQ(Cell(2, 0), "Current  Reading");
    EXPECT_EQ(Cell(3, 0), "                ");
    cal.cboRange_Click(1);
    EXPECT_EQ(Cell(2, 0), "Current +Reading");
    EXPECT_EQ(Cell(7, 0), "  New   -Reading");

    Calibration other{rig.program};
    meter.SetScType("02");
    EXPECT_FALSE(other.CalibCont());
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, kInvalidSCText);
    EXPECT_EQ(rig.op.boxes[0].title, "S/C Error");
    EXPECT_TRUE(other.State().rangeList.empty());
    Heard();
    other.cmdReady_Click();
    other.cmdEnd_Click();
    rig.vt.AdvanceUs(100'000);
    EXPECT_EQ(Heard(), Codes{"W305000000100001"});

    Calibration silent{rig.program};
    meter.AddFault(sim::Fault::Silent("XL24").Times(1));
    EXPECT_FALSE(silent.CalibCont());
    EXPECT_EQ(silent.State().failure->exchange, "XL24");
    EXPECT_EQ(Heard(), Codes{"XL24"}) << "nothing was written";
}

TEST_F(CalibSim, calibrationWordsAreReadForEveryRangeOfTheBoard) {
    meter.SetCalibWord(0x28, 0xABCD);
    CalibWordsResult dc = ReadCalibWords(rig.program);
    ASSERT_TRUE(dc.ok());
    ASSERT_EQ(dc.words.size(), 10U);
    EXPECT_EQ(dc.words[0].range, "Zero");
    EXPECT_EQ(dc.words[0].address, "1A");
    EXPECT_EQ(dc.words[9].word, "ABCD");
    EXPECT_EQ(Heard().size(), 11U);

    LoadCell();
    meter.AddFault(sim::Fault::Silent("X121").Times(1));
    CalibWordsResult lc = ReadCalibWords(rig.program);
    EXPECT_EQ(lc.failedRange, "100 mV DC");
    EXPECT_EQ(lc.failure->status, status::NoReply);
    EXPECT_EQ(lc.words.size(), 4U);

    meter.SetScType("05");
    EXPECT_TRUE(ReadCalibWords(rig.program).invalidBoard);
    for (const std::string& code : Heard()) EXPECT_FALSE(code.starts_with("W")) << code;
}

} // namespace
} // namespace wm::test
