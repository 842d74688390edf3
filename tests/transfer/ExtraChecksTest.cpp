// The checks beside the main paths, made the same in every protocol: a
// garbled board reply in the Put check, a Modbus image without its last
// block, and the wrong instrument in Settings.SSS.
#include <gtest/gtest.h>

#include "support/ModbusPeer.h"
#include "support/TransferRig.h"
#include "comm/Tables.h"
#include "setup/Defaults.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

// Write requests heard (a successful Put may move the link to another protocol).
int Writes(const TransferRig& rig, bool modbus) {
    int n = 0;
    for (const std::string& q : rig.peer.Requests())
        n += modbus ? (q.substr(2, 2) == "10" ? 1 : 0) : (q.substr(2, 1) == "W" ? 1 : 0);
    return n;
}

// A reply of the right length with a character that is not a hex digit says
// nothing about the board: the Put is abandoned as for an unknown board, in
// every protocol. A reply of the wrong length keeps its code (and under
// Modbus the write goes ahead, as it always has).
TEST(PutCheckReplies, aGarbledBoardReplyLeavesTheMeterKindUndetermined) {
    struct Row {
        const char* name;
        int protocol;
        const char* x115; // Custom ASCII replies
        const char* g12c;
        int modbusStart; // Modbus: the register whose read reply is replaced
        const char* modbusReply;
        bool abandoned;
        int status;
        int writes;
    };
    const Row rows[] = {
        {"ascii type", 0, "00X1", "60", 0, "", true, 0, 0},
        {"ascii range", 0, "0001", "6X", 0, "", true, 0, 0},
        {"ascii range lower case is hex", 0, "0001", "6a", 0, "", false, 0, 4},
        {"ascii type too long", 0, "000001", "60", 0, "", false, putstatus::AsciiTypeReply, 0},
        {"modbus ascii type", 2, "", "", 0x68, "0103020X01", true, 0, 0},
        {"modbus ascii range", 2, "", "", 0x45, "010302006Z", true, 0, 0},
        {"modbus ascii address", 2, "", "", 0x45, "G10302006A", true, 0, 0},
        {"modbus ascii short", 2, "", "", 0x45, "01030160", false, 0, 6},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TransferRig rig(Line1(r.protocol));
        ModbusPeer m;
        m.regs[0x68] = 0x0001;
        m.regs[0x45] = 0x0060;
        if (r.modbusStart != 0) m.override03[r.modbusStart] = r.modbusReply;
        rig.peer.respond = [&](const std::string& q) -> std::optional<std::string> {
            if (r.protocol != 0) return m.Answer(q);
            if (q == "*0X115") return std::string(r.x115);
            if (q == "*0G12C") return std::string(r.g12c);
            return std::nullopt;
        };
        rig.program.setup.text = std::string(DefaultSetupText);
        const PutResult put = PutSetup(rig.program);
        EXPECT_EQ(put.abandoned, r.abandoned);
        EXPECT_EQ(put.status, r.status);
        EXPECT_EQ(Writes(rig, r.protocol != 0), r.writes);
        if (r.abandoned) {
            ASSERT_EQ(rig.op.boxes.size(), 1U);
            EXPECT_EQ(rig.op.boxes[0].text, "Meter type could not be determined, DPM PUT will be aborted.");
            EXPECT_EQ(rig.op.boxes[0].id, MessageId::MeterTypeUndetermined);
            EXPECT_FALSE(rig.op.statusVisible);
        }
    }
}

TEST(PutModbusImage, withoutCharacters129To136NothingIsWrittenAndTheCaptionSaysSo) {
    for (const std::size_t length : {120U, 130U}) {
        SCOPED_TRACE(length);
        TransferRig rig(Line1(1));
        ModbusPeer m;
        m.regs[0x68] = 0x0001;
        m.regs[0x45] = 0x0060;
        rig.peer.respond = [&m](const std::string& q) { return m.Answer(q); };
        rig.program.setup.text = std::string(DefaultSetupText).substr(0, length);
        const PutResult put = PutSetup(rig.program);
        EXPECT_EQ(put.status, putstatus::ShortImage);
        EXPECT_FALSE(put.ok());
        EXPECT_EQ(Writes(rig, true), 0);
        EXPECT_EQ(rig.op.status, "Data transfer unsuccessful. The setup has no characters 129-136 (protocol, "
                                 "parity and slave address): nothing was written.     (16)");
        EXPECT_EQ(rig.op.statusColour, ColourRed);
        EXPECT_EQ(DescribePutFailure(put),
                  "Put failed: the setup has no characters 129-136 (protocol, parity and slave address), so "
                  "request 5 could not be built (status 16); nothing was written");
        EXPECT_TRUE(rig.op.boxes.empty()); // no partial-write box: nothing reached the meter
    }
    EXPECT_EQ(PutFailureCaption(15), "Data transfer unsuccessful. Check connections and try again.     (15)");
}

// Board code 8 (character 17 on, read as a number) ends the program before
// any other field of the file is judged.
TEST(SettingsBoardCode, theWrongInstrumentIsRefusedBeforeAnyOtherProblem) {
    struct Row {
        const char* name;
        std::string file;
        bool refused;
        std::size_t boxes = 1; // the refusal, or the file's own problem
    };
    const std::string line2 = "\r\n" + kSerialLine2 + "\r\n";
    const Row rows[] = {
        {"well formed", "050100000001000108" + line2, true},
        {"family not a digit", "X50100000001000108" + line2, true},
        {"baud digit 9", "095100000001000108" + line2, true},
        {"leading zeros", "05010000000100010008" + line2, true},
        {"no second line", "050100000001000108\r\n", true},
        {"line 2 not hex", "050100000001000108\r\nZZ\r\n", true},
        {"code 18", "050100000001000118" + line2, false, 0},
        {"code 80", "0501000000010001080" + line2, false, 0},
        {"code 8 and a letter", "05010000000100018X" + line2, false},
        {"older 16-character line, port type 8", "0501000000010008" + line2, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TransferRig rig(Line1(0));
        rig.op.boxes.clear();
        WriteWhole(rig.SettingsFile(), r.file);
        rig.program.conn.OpenConnection();
        ASSERT_EQ(rig.op.boxes.size(), r.boxes);
        EXPECT_EQ(rig.program.conn.Refused(), r.refused);
        EXPECT_EQ(rig.op.endRequests, r.refused ? 1 : 0);
        if (r.refused) {
            EXPECT_EQ(rig.op.boxes[0].text,
                      "Wrong Instrument Setup program for this meter.  Please terminate program.");
            EXPECT_EQ(rig.op.boxes[0].title, "Program Error");
            EXPECT_EQ(rig.op.boxes[0].id, MessageId::WrongInstrument);
        }
    }
}

} // namespace
} // namespace wm::test
