// Replies that the transaction layer passes with status 0 but that are no
// answer (an echo that never came, a line without CR, a line far too long)
// must fail the exchange with words that say why, never throw and never
// pass as written or read.
#include <gtest/gtest.h>

#include "support/ModbusPeer.h"
#include "support/SimProgram.h"
#include "support/TransferRig.h"
#include "comm/Tables.h"
#include "comm/MeterCommands.h"
#include "setup/Defaults.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

// Line 1 with the port type changed: 2 is a line that echoes.
std::string WithPortType(std::string line1, char portType) {
    line1[15] = portType;
    return line1;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(PutOnAMissingEcho, failsAtTheFirstBlockAndSaysTheMeterMayHaveTakenIt) {
    for (int protocol : {1, 2}) {
        SCOPED_TRACE(protocol);
        SimProgram rig(WithPortType(Line1(protocol), '2'));
        rig.program.setup.text = std::string(DefaultSetupText);
        const PutResult r = PutSetup(rig.program);
        EXPECT_EQ(r.status, putstatus::Request1);
        EXPECT_EQ(r.linkStatus, 0);
        EXPECT_EQ(r.blocks, 6);
        EXPECT_EQ(r.blocksAcknowledged, 0);
        EXPECT_TRUE(r.failedBlockMayBeWritten);
        EXPECT_EQ(rig.op.status, "Data transfer unsuccessful. Check connections and try again.     (11)");
        ASSERT_EQ(rig.op.boxes.size(), 1u);
        EXPECT_EQ(rig.op.boxes[0].text, PartialWriteText(r));
        EXPECT_TRUE(Contains(r.step.request, "request 1 of 6 (registers 0001-000C)"));
        EXPECT_TRUE(Contains(DescribePutFailure(r), "port type 2")) << DescribePutFailure(r);
    }
}

struct ModbusRig : TransferRig {
    explicit ModbusRig(int protocol) : TransferRig(Line1(protocol)) {
        peer.respond = [this](const std::string& request) { return meter.Answer(request); };
        program.setup.text = std::string(DefaultSetupText);
        // The check reads a DC board in a DC mode, as the default setup has.
        meter.regs[0x68] = 0x0001;
        meter.regs[0x45] = 0x0060;
    }
    ModbusPeer meter;
};

TEST(PutPartWritten, theBlocksAcknowledgedAreCountedAndTold) {
    struct Row {
        const char* name;
        int failingStart;          // start register of the block that fails
        std::string reply;         // its reply ("" for silence)
        int acknowledged;
        bool mayBeWritten;
        std::int16_t status, linkStatus;
        const char* box;
    };
    const Row rows[] = {
        // Silence cannot tell whether the meter stored the block.
        {"silenceAtBlock3", 0x21, "", 2, true, 12, 21,
         "The meter acknowledged blocks 1 to 2 of 6 before the Put stopped: its setup is now partly written. Put "
         "the setup again when the link works."},
        {"exceptionAtBlock2", 0x11, "019002", 1, false, 12, 2,
         "The meter acknowledged block 1 of 6 before the Put stopped: its setup is now partly written. Put the "
         "setup again when the link works."},
        {"wrongRegistersAtBlock6", 0x41, "011000410001", 5, true, 15, 0,
         "The meter acknowledged blocks 1 to 5 of 6 before the Put stopped: its setup is now partly written. Put "
         "the setup again when the link works."},
        {"silenceAtBlock1", 0x01, "", 0, true, 11, 21,
         "The meter did not acknowledge block 1 of 6, but it may have taken the block: its setup may now be partly "
         "written. Put the setup again when the link works."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ModbusRig rig(1);
        if (row.reply.empty()) {
            rig.meter.silent[row.failingStart] = true;
        } else {
            rig.meter.override10[row.failingStart] = row.reply;
        }
        const PutResult r = PutSetup(rig.program);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.linkStatus, row.linkStatus);
        EXPECT_EQ(r.blocksAcknowledged, row.acknowledged);
        EXPECT_EQ(r.failedBlockMayBeWritten, row.mayBeWritten);
        EXPECT_EQ(PartialWriteText(r), row.box);
        const std::size_t boxes = std::string(row.box).empty() ? 0 : 1;
        ASSERT_EQ(rig.op.boxes.size(), boxes);
        if (boxes == 1) {
            EXPECT_EQ(rig.op.boxes[0].text, row.box);
        }
        EXPECT_EQ(rig.op.status, PutFailureCaption(row.status));
    }
}

TEST(FailureWords, nameTheStepTheCauseAndTheStatus) {
    {
        ModbusRig rig(1);
        rig.meter.silent[0x01] = true;
        EXPECT_EQ(DescribePutFailure(PutSetup(rig.program)),
                  "Put failed at request 1 of 6 (registers 0001-000C): no reply from the meter within 3000 ms "
                  "(status 11); no block was acknowledged, though the meter may have taken block 1");
    }
    {
        ModbusRig rig(2);
        rig.meter.override10[0x4D] = "019003";
        EXPECT_EQ(DescribePutFailure(PutSetup(rig.program)),
                  "Put failed at request 4 of 6 (registers 004D-0057): the meter answered with Modbus exception 03 "
                  "(status 13); the meter acknowledged blocks 1 to 3 of 6, so its setup is partly written");
    }
    {
        ModbusRig rig(1);
        rig.meter.silent[0x11] = true;
        const GetResult r = GetSetup(rig.program);
        EXPECT_EQ(r.linkStatus, 21);
        EXPECT_EQ(DescribeGetFailure(r),
                  "Get failed at the read of registers 0011-002C: no reply from the meter within 3000 ms (status 21)");
    }
    {
        ModbusRig rig(1);
        rig.meter.override03[0x01] = "010302000A"; // one register where twelve were asked for
        EXPECT_EQ(DescribeGetFailure(GetSetup(rig.program)),
                  "Get failed: the reply to the read of registers 0001-000C was not a read reply of 12 registers "
                  "(status 1)");
    }
    {
        TransferRig rig(Line1(0));
        rig.peer.respond = [](const std::string& request) -> std::optional<std::string> {
            if (request == "*0XU1DZ") return std::string(118, '0');
            return std::nullopt;
        };
        const GetResult r = GetSetup(rig.program);
        EXPECT_EQ(DescribeGetFailure(r), "Get failed: the reply to XU1DZ (main block) was not 120 hex digits (status 1)");
        EXPECT_FALSE(Contains(DescribeGetFailure(r), "Modbus"));
    }
    {
        TransferRig rig(Line1(0));
        rig.peer.respond = [](const std::string&) -> std::optional<std::string> { return std::string("12"); };
        rig.program.setup.text = std::string(DefaultSetupText);
        const PutResult r = PutSetup(rig.program);
        EXPECT_EQ(DescribePutFailure(r),
                  "Put failed: the reply to X115 (board type) was not 4 hex digits (status 1); nothing was written");
        EXPECT_TRUE(rig.op.boxes.empty());
    }
}

// What the meter's side of the line sends back to one command.
enum class Reply { Good, NoCr, TooLong, Megabyte, Unprintable, Silent, WrongFunction };

struct CommandRow {
    const char* name;
    int protocol;
    char portType;
    const char* command;
    Reply reply;
    bool failed;
    const char* caption;
    int status = 0; // the transaction layer's own
};

class CommandRig : public TransferRig {
public:
    CommandRig(const CommandRow& row) : TransferRig(WithPortType(Line1(row.protocol), row.portType)) {
        peer.respond = [this, row](const std::string& request) -> std::optional<std::string> {
            switch (row.reply) {
            case Reply::Silent: return std::nullopt;
            case Reply::NoCr: port.SendFromPeer("  1234", 5000); return std::nullopt;
            case Reply::TooLong: return std::string(100, '7');
            case Reply::Megabyte: return std::string(1 << 20, '7');
            case Reply::Unprintable: return std::string("  12\x01" "34");
            case Reply::WrongFunction: return request.substr(0, 2) + "0500010000"; // another command's echo
            case Reply::Good: break;
            }
            if (row.protocol == 0) return std::string("  1234");
            if (request.substr(2, 2) == "04") return request.substr(0, 2) + "0404000004D2";
            return request.substr(0, 12);
        };
    }
};

// A missing echo before a reading or a coil write is swept in FaultInjectionTest.
TEST(CommandReplies, onlyTheMetersOwnAnswerCountsAsSentOrRead) {
    const CommandRow rows[] = {
        {"asciiReading", 0, '1', "gross", Reply::Good, false, "Gross Reading request sent.    Gross Reading received."},
        {"asciiNoCr", 0, '1', "gross", Reply::NoCr, true, "Communications failure.  Try again."},
        {"asciiTooLongLine", 0, '1', "net", Reply::TooLong, true, "Communications failure.  Try again."},
        // A line that does not stop is cut off by the reception bound itself.
        {"asciiMegabyteLine", 0, '1', "net", Reply::Megabyte, true, "Communications failure.  Try again.", 28},
        {"asciiUnprintable", 0, '1', "peak", Reply::Unprintable, true,
         "Communications failure.  Program may have to be re-started."},
        {"rtuReading", 1, '1', "gross", Reply::Good, false, "Gross Reading request sent.    Gross Reading received."},
        {"rtuPeakReset", 1, '1', "peak-reset", Reply::Good, false, "Peak Reset Command sent."},
        {"rtuEchoMissingTare", 1, '2', "tare-reset", Reply::Good, true, "Communications error.  Try again."},
        {"asciiModbusEchoMissingTare", 2, '2', "tare-reset", Reply::Good, true, "Communications error.  Try again."},
        {"rtuOtherCoilsEcho", 1, '1', "peak-reset", Reply::WrongFunction, true, "Communications error.  Try again."},
        {"rtuWriteEchoToAReading", 1, '1', "net", Reply::WrongFunction, true, "Communications failure.  Try again."},
        {"asciiModbusTare", 2, '1', "tare-reset", Reply::Good, false, "Tare Reset Command sent."},
    };
    for (const CommandRow& row : rows) {
        SCOPED_TRACE(row.name);
        CommandRig rig(row);
        const CommandOutcome out = RunMeterCommand(rig.program, *FindMeterCommand(row.command));
        EXPECT_EQ(out.failed, row.failed);
        EXPECT_EQ(out.caption, row.caption);
        EXPECT_EQ(out.status, row.status);
        EXPECT_EQ(out.cause.empty(), !row.failed) << out.cause;
        if (row.failed) {
            EXPECT_FALSE(out.reading.has_value());
            EXPECT_EQ(out.colour, ColourRed);
        }
    }
}

TEST(CommandReplies, theCauseSaysWhyTheReplyWasRefused) {
    const struct {
        CommandRow row;
        const char* cause;
    } cases[] = {
        {{"noCr", 0, '1', "gross", Reply::NoCr, true, ""}, "the reply was empty: no carriage return ended it"},
        {{"echo", 1, '2', "tare-reset", Reply::Good, true, ""},
         "the reply was empty: the settings say the line echoes (port type 2), but the request did not come back "
         "ahead of the reply"},
        {{"long", 0, '1', "gross", Reply::TooLong, true, ""},
         "the reply was 100 characters long, longer than any reading (32)"},
        {{"silent", 1, '1', "gross", Reply::Silent, true, ""}, "no reply from the meter within 3000 ms (status 21)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row.name);
        CommandRig rig(c.row);
        EXPECT_EQ(RunMeterCommand(rig.program, *FindMeterCommand(c.row.command)).cause, c.cause);
    }
}

} // namespace
} // namespace wm::test
