// The board's type code is read by one rule wherever it is read: the check
// after a Get, the Put's compatibility check, the setup description
// (wmctl show) and, for the mode digit, the SigCondType verdict. A code that
// one of them took for DC while another called it corrupt would let a Get
// accept a board that a Put then refuses, or the reverse.
#include <gtest/gtest.h>

#include "support/TransferRig.h"
#include "sc/SigCond.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

enum class Board { DC, LoadCell, Neither };

struct Row {
    const char* type;  // characters 35-36
    const char* range; // characters 55-56, a mode of the board the type names
    Board board;
};

constexpr Row kRows[] = {
    {"01", "60", Board::DC},      {"03", "C0", Board::LoadCell}, {"1F", "60", Board::Neither},
    {"3A", "C0", Board::Neither}, {"10", "60", Board::Neither},  {"02", "60", Board::Neither},
};

SetupImage ImageWith(const Row& row) {
    SetupImage image;
    image.text = std::string(DefaultSetupText);
    image.Put(35, row.type);
    image.Put(55, row.range);
    return image;
}

Board FromGetCheck(const Row& row) {
    TransferRig rig(Line1(0));
    rig.program.setup = ImageWith(row);
    rig.op.answers = {Answer::No}; // go on with the default board if asked
    if (CheckSCAfterGet(rig.program) != SCCheck::Ok) return Board::Neither;
    return rig.program.derived.ScType == ScTypeDC ? Board::DC : Board::LoadCell;
}

// The meter reports the row's type and range; the setup to be put is a DC
// one. The check then goes on (DC), asks about the mismatch (load cell), or
// cannot tell the meter's kind (neither).
Board FromPutCheck(const Row& row) {
    TransferRig rig(Line1(0));
    const std::string type = row.type, range = row.range;
    rig.peer.respond = [type, range](const std::string& request) -> std::optional<std::string> {
        if (request.substr(2) == "X115") return "00" + type;
        if (request.substr(2) == "G12C") return range;
        return std::nullopt;
    };
    rig.program.setup.text = std::string(DefaultSetupText);
    rig.op.answers = {Answer::No};
    TransferStep step;
    const bool goOn = CheckPutCompatibility(rig.program, step);
    if (goOn) return Board::DC;
    return rig.op.boxes.size() == 1 && rig.op.boxes[0].buttons == Buttons::YesNo ? Board::LoadCell : Board::Neither;
}

Board FromDescription(const Row& row) {
    for (const FieldRow& field : DescribeSetup(ImageWith(row))) {
        if (field.name != "ScTypeCode") continue;
        if (field.text == "DC") return Board::DC;
        if (field.text == "Load Cell") return Board::LoadCell;
        return Board::Neither;
    }
    ADD_FAILURE() << "no ScTypeCode row";
    return Board::Neither;
}

TEST(TypeCodeRule, isTheSameInTheGetCheckThePutCheckAndTheDescription) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(FromGetCheck(row), row.board);
        EXPECT_EQ(FromPutCheck(row), row.board);
        EXPECT_EQ(FromDescription(row), row.board);
    }
}

// The SigCondType verdict judges the stored mode/range byte by the same mode
// table the pages and the checks use: the board a mode digit names, and the
// largest range of that mode.
TEST(TypeCodeRule, theStoredRangeVerdictFollowsTheModeTable) {
    for (const InputModeDef& mode : InputModes) {
        for (int range = 0; range <= 9; ++range) {
            std::string r = RangeByteText(mode.inputMode, range);
            bool showOK = false;
            const std::vector<std::string> lines = SCTypeVerdict(r, showOK);
            SCOPED_TRACE(r);
            ASSERT_TRUE(showOK);
            const std::string kind = mode.scType == ScTypeDC ? "DC" : "Load Cell";
            const std::string valid = range <= MaxRange(mode.inputMode) ? "valid." : "invalid.";
            EXPECT_EQ(lines[0], "Signal Conditioner type is " + kind + " and range is " + valid);
        }
    }
    for (const char* corrupt : {"B0", "00", "50", "E1", "F4", "90"}) {
        bool showOK = true;
        EXPECT_EQ(SCTypeVerdict(corrupt, showOK)[0], "The Signal Conditioner type identification is corrupt.")
            << corrupt;
        EXPECT_FALSE(showOK);
    }
}

} // namespace
} // namespace wm::test
