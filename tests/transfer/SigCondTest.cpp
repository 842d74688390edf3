#include <gtest/gtest.h>

#include "support/ModbusPeer.h"
#include "support/TransferRig.h"
#include "sc/SigCond.h"
#include "setup/Defaults.h"
#include "transfer/GetSetup.h"

namespace wm::test {
namespace {

TEST(CheckSC, derivedValuesFollowTypeModeAndRange) {
    struct Row {
        const char* type;
        const char* range;
        int mode, inputRange, inputDP;
    };
    for (const Row r : {Row{"03", "A2", 7, 2, 3}, Row{"01", "75", 3, 0, 5}, Row{"01", "73", 3, 3, 4},
                        Row{"01", "60", 2, 0, 6}, Row{"01", "64", 2, 4, 2}, Row{"01", "65", 2, 0, 6},
                        Row{"01", "A2", 6, 2, 4}, Row{"01", "A3", 6, 0, 6}, Row{"01", "C1", 2, 1, 5},
                        Row{"03", "D1", 8, 1, 4}, Row{"03", "C4", 7, 4, 3}, Row{"03", "60", 7, 0, 4}}) {
        TransferRig rig(Line1(0));
        rig.program.setup.text = std::string(DefaultSetupText);
        rig.program.setup.Put(35, r.type);
        rig.program.setup.Put(55, r.range);
        rig.program.setup.Put(39, "03");
        EXPECT_EQ(CheckSCAfterGet(rig.program), SCCheck::Ok);
        const DerivedSetup& d = rig.program.derived;
        const std::string label = std::string(r.type) + "/" + r.range;
        EXPECT_EQ(d.ScType, r.type[1] - '0') << label;
        EXPECT_EQ(d.ScTypeText, r.type) << label;
        EXPECT_EQ(d.InputMode, r.mode) << label;
        EXPECT_EQ(d.InputRange, r.inputRange) << label;
        EXPECT_EQ(d.InputDP, r.inputDP) << label;
        EXPECT_EQ(d.DisplayDP, 3) << label;
        EXPECT_EQ(rig.program.setup.Mid(55, 2), r.range) << label << ": the image keeps its byte";
        EXPECT_TRUE(rig.op.boxes.empty());
    }
}

const char* kCorrupt = "The Signal Conditioner type is not DC or LC or its data is corrupt.  Do you wish to "
                       "terminate this program, "
                       "power down the meter and change the Signal Conditioner board ?  A 'No' response will "
                       "cause default values to "
                       "be applied to the board which can be changed in View Setup and Put to the Meter.";

TEST(CheckSC, aCorruptTypeAsksAndNoAppliesDcDefaults) {
    TransferRig rig(Line1(0));
    rig.program.setup.text = std::string(DefaultSetupText);
    rig.program.setup.Put(35, "02");
    rig.program.setup.Put(55, "D3");
    rig.op.answers.push_back(Answer::No);
    EXPECT_EQ(CheckSCAfterGet(rig.program), SCCheck::Defaulted);
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, kCorrupt);
    EXPECT_EQ(rig.op.boxes[0].title, "Signal Conditioner error");
    EXPECT_EQ(rig.op.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(rig.program.setup.Mid(35, 2), "01");
    EXPECT_EQ(rig.program.setup.Mid(55, 2), "60");
    EXPECT_EQ(rig.program.derived.ScType, 1);
    EXPECT_EQ(rig.program.derived.InputMode, 2);
    EXPECT_EQ(rig.program.derived.InputRange, 0);
    EXPECT_EQ(rig.op.endRequests, 0);
    EXPECT_TRUE(rig.port.IsOpen());
}

TEST(CheckSC, yesClosesThePortAndEndsTheProgram) {
    TransferRig rig(Line1(0));
    rig.program.setup.text = std::string(DefaultSetupText);
    rig.program.setup.Put(35, "00");
    rig.op.answers.push_back(Answer::Yes);
    EXPECT_EQ(CheckSCAfterGet(rig.program), SCCheck::EndProgram);
    EXPECT_EQ(rig.op.endRequests, 1);
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.program.setup.Mid(35, 2), "00");
}

TEST(CheckSC, aGetOfACorruptBoardEndsTheProgramWhenTheOperatorSaysYes) {
    TransferRig rig(Line1(0));
    std::string main = std::string(DefaultSetupText).substr(0, 120);
    main.replace(34, 2, "07");
    rig.peer.respond = [main](const std::string& request) -> std::optional<std::string> {
        if (request == "*0XU1DZ") return main;
        if (request == "*0G130") return std::string("E4");
        if (request == "*0X26DZ" || request == "*0X236Z") return std::string("00000000");
        return std::nullopt;
    };
    rig.op.answers.push_back(Answer::Yes);
    const GetResult r = GetSetup(rig.program);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.endProgram);
    EXPECT_EQ(rig.op.endRequests, 1);
}

// Every mode and range of the mode table is judged in TypeCodeRuleTest; here
// the range nibble F, an empty byte and the number of lines each verdict has.
TEST(SCTypeMenu, verdictByStoredByte) {
    const std::string corrupt = "The Signal Conditioner type identification is corrupt.";
    struct Row {
        const char* r;
        std::string first;
        bool ok;
    };
    for (const Row& row : {Row{"6F", "Signal Conditioner type is DC and range is valid.", true},
                           Row{"D9", "Signal Conditioner type is Load Cell and range is invalid.", true},
                           Row{"B0", corrupt, false}, Row{"", corrupt, false}}) {
        bool showOK = !row.ok;
        const auto lines = SCTypeVerdict(row.r, showOK);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], row.first) << row.r;
        EXPECT_EQ(showOK, row.ok) << row.r;
        EXPECT_EQ(lines.size(), row.ok ? 4U : 3U) << row.r;
    }
}

TEST(SCTypeMenu, customAsciiReadsX110AndAWrongReplyIsACommunicationError) {
    TransferRig rig(Line1(0));
    rig.peer.respond = [](const std::string&) -> std::optional<std::string> { return std::string("00D3"); };
    const SCTypeReport ok = ReadSCType(rig.program);
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*0X110"}));
    ASSERT_EQ(ok.lines.size(), SCTypeIntroLines().size() + 4);
    EXPECT_EQ(ok.lines[7], "Signal Conditioner type is Load Cell and range is valid.");
    EXPECT_TRUE(ok.showOK);
    EXPECT_TRUE(ok.picTextVisible);
    EXPECT_FALSE(rig.op.statusVisible);

    TransferRig bad(Line1(0));
    bad.peer.respond = [](const std::string&) -> std::optional<std::string> { return std::string("00D"); };
    const SCTypeReport r = ReadSCType(bad.program);
    EXPECT_FALSE(r.picTextVisible);
    EXPECT_TRUE(r.lines.empty());
    ASSERT_EQ(bad.op.boxes.size(), 1U);
    EXPECT_EQ(bad.op.boxes[0].text, "Communication error.  Try again.");
    EXPECT_EQ(bad.op.boxes[0].title, "Error");
}

TEST(SCTypeMenu, modbusTakesTheLowByteAtCharacters9And10InEveryFraming) {
    for (const int protocol : {1, 2}) {
        for (const std::string* line2 : {&kSerialLine2, &kNodeLine2}) {
            TransferRig rig(Line1(protocol), *line2);
            ModbusPeer m;
            m.regs[0x45] = 0x00C3;
            rig.peer.respond = [&m](const std::string& q) { return m.Answer(q); };
            rig.node.respond = [&m](const std::string& q) { return m.Answer(q); };
            const SCTypeReport r = ReadSCType(rig.program);
            ASSERT_GT(r.lines.size(), 7U);
            EXPECT_EQ(r.lines[7], "Signal Conditioner type is Load Cell and range is valid.")
                << protocol << (line2 == &kNodeLine2 ? " tcp" : " serial");
        }
    }
}

TEST(SCRestore, customAsciiKeepsTheFirstByteAndWritesTheDefaultRangeAfterTwoSeconds) {
    for (const auto& [board, tail, text] :
         {std::tuple{SCBoard::DC, "60", "Signal Conditioner type set to DC and 200 mV range."},
          std::tuple{SCBoard::LoadCell, "D0",
                     "Signal Conditioner type set to Load Cell and 20 mV DC range."}}) {
        TransferRig rig(Line1(0));
        rig.peer.respond = [](const std::string& q) -> std::optional<std::string> {
            if (q == "*0X110") return std::string("4BA1");
            return std::nullopt;
        };
        const SCRestoreReport r = RestoreSCType(rig.program, board);
        rig.vt.AdvanceUs(100'000); // the write is still on the line when the command returns
        EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*0X110", std::string("*0W1104B") + tail}));
        EXPECT_EQ(r.lines, (std::vector<std::string>{text}));
        const auto sent = rig.Sent();
        ASSERT_EQ(sent.size(), 2U);
        const auto& heard = rig.peer.heard;
        // The write starts 2000 ms after the reply, plus the 300 ms pause before every request.
        EXPECT_GE(static_cast<double>(sent[1].startUs) / 1000.0 - heard[0].ms, 2300.0);
    }
}

TEST(SCRestore, aWrongX110ReplyLeavesTheWaitLineAndWritesNothing) {
    TransferRig rig(Line1(0));
    rig.peer.respond = [](const std::string&) -> std::optional<std::string> { return std::string("4BZ1"); };
    const SCRestoreReport r = RestoreSCType(rig.program, SCBoard::DC);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"                  WAIT"}));
    EXPECT_EQ(rig.peer.Requests().size(), 1U);
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, "Communication error.  Try again.");
}

TEST(SCRestore, modbusWritesRegister0045) {
    for (const auto& [board, request] :
         {std::pair{SCBoard::DC, "011000450001020060"}, std::pair{SCBoard::LoadCell, "0110004500010200D0"}}) {
        TransferRig rig(Line1(1));
        ModbusPeer m;
        rig.peer.respond = [&m](const std::string& q) { return m.Answer(q); };
        (void)RestoreSCType(rig.program, board);
        EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{request}));
    }
}

} // namespace
} // namespace wm::test
