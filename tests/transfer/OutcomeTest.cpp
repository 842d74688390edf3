// Outcomes are typed: a meter's refusal is named by its exception code in
// every framing, results say whether they succeeded, and message boxes are
// answered by their identity.
#include <gtest/gtest.h>

#include "support/ModbusPeer.h"
#include "support/TransferRig.h"
#include "comm/MeterCommands.h"
#include "sc/SigCond.h"
#include "setup/Defaults.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void Serve(TransferRig& rig, ModbusPeer& m) {
    rig.peer.respond = [&m](const std::string& q) { return m.Answer(q); };
    rig.node.respond = [&m](const std::string& q) { return m.Answer(q); };
}

// An exception 0B to the Get's first block: RTU fails with status 30 (it
// read as success before), Modbus ASCII and TCP with the Get's own code 1;
// the words name the exception in each.
TEST(MeterRefusal, isNamedByItsCodeInEveryFraming) {
    struct Row {
        const char* name;
        int protocol;
        bool node;
        int status;
    };
    for (const Row r : {Row{"rtu", 1, false, status::MeterRefused}, Row{"ascii", 2, false, getstatus::FirstBlock},
                        Row{"tcp", 1, true, getstatus::FirstBlock}}) {
        SCOPED_TRACE(r.name);
        TransferRig rig(Line1(r.protocol), r.node ? kNodeLine2 : kSerialLine2);
        ModbusPeer m;
        m.override03[0x01] = "01830B";
        Serve(rig, m);
        const GetResult get = GetSetup(rig.program);
        EXPECT_FALSE(get.ok());
        EXPECT_EQ(get.status, r.status);
        EXPECT_EQ(rig.program.x.ModbusException, 0x0B);
        EXPECT_EQ(get.step.exception, 0x0B);
        EXPECT_TRUE(Contains(DescribeGetFailure(get), "the meter answered with Modbus exception 0B"))
            << DescribeGetFailure(get);
    }
}

TEST(MeterRefusal, aCommandRefusedWithAnUnnumberedCodeFails) {
    TransferRig rig(Line1(1));
    ModbusPeer m; // answers function 05 with an exception
    Serve(rig, m);
    const CommandOutcome out = RunMeterCommand(rig.program, *FindMeterCommand("function-reset"));
    EXPECT_TRUE(out.failed);
    EXPECT_FALSE(out.succeeded);
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.cause, "the meter answered with Modbus exception 01 (status 1)");
}

TEST(Results, sayWhetherTheySucceeded) {
    // A refused Get and an abandoned Put leave status 0, and are no success.
    TransferRig busy(Line1(1));
    ModbusPeer m;
    m.regs[0x68] = 0x0001;
    m.regs[0x45] = 0x0060;
    Serve(busy, m);
    std::optional<GetResult> innerGet;
    std::optional<CommandOutcome> innerCommand;
    busy.vt.AfterUs(100'000, [&] {
        innerGet = GetSetup(busy.program);
        innerCommand = RunMeterCommand(busy.program, *FindMeterCommand("gross"));
    });
    const GetResult outer = GetSetup(busy.program);
    EXPECT_TRUE(outer.ok());
    ASSERT_TRUE(innerGet && innerCommand);
    EXPECT_EQ(innerGet->status, 0);
    EXPECT_FALSE(innerGet->ok());
    EXPECT_TRUE(innerCommand->refused);
    EXPECT_FALSE(innerCommand->succeeded || innerCommand->failed);

    TransferRig abandoned(Line1(0));
    abandoned.peer.respond = [](const std::string& q) -> std::optional<std::string> {
        if (q == "*0X115") return std::string("0001");
        if (q == "*0G12C") return std::string("80"); // no board kind
        return std::nullopt;
    };
    abandoned.program.setup.text = std::string(DefaultSetupText);
    const PutResult put = PutSetup(abandoned.program);
    EXPECT_EQ(put.status, 0);
    EXPECT_TRUE(put.abandoned);
    EXPECT_FALSE(put.ok());
}

// A restore names the type it set only when the meter took it.
TEST(Results, aRestoreSaysWhetherTheMeterTookTheNewType) {
    struct Row {
        const char* name;
        int protocol;
        std::optional<std::string> reply; // to the Modbus write; Custom ASCII: to X110
        bool succeeded;
        int status;
    };
    const Row rows[] = {
        {"modbus acknowledged", 1, "011000450001", true, 0},
        {"modbus exception", 1, "019003", false, 3},
        {"modbus exception in ascii", 2, "019003", false, 0},
        {"modbus wrong register", 1, "011000460001", false, 0},
        {"modbus silent", 1, std::nullopt, false, status::NoReply},
        {"ascii sent", 0, "4BA1", true, 0},
        {"ascii garbled", 0, "4BZ1", false, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TransferRig rig(Line1(r.protocol));
        rig.peer.respond = [&r](const std::string&) { return r.reply; };
        const SCRestoreReport report = RestoreSCType(rig.program, SCBoard::DC);
        EXPECT_EQ(report.succeeded, r.succeeded);
        EXPECT_EQ(report.status, r.status);
        // A restore the meter did not take is told as a communication
        // error, and the text area keeps its WAIT line.
        const std::vector<std::string> lines =
            r.succeeded ? std::vector<std::string>{"Signal Conditioner type set to DC and 200 mV range."}
                        : std::vector<std::string>{kSCWaitLine};
        EXPECT_EQ(report.lines, lines);
        EXPECT_EQ(rig.op.boxes.size(), r.succeeded ? 0U : 1U);
    }

    TransferRig read(Line1(0));
    read.peer.respond = [](const std::string&) -> std::optional<std::string> { return std::string("00D3"); };
    EXPECT_TRUE(ReadSCType(read.program).succeeded);
    TransferRig unread(Line1(0));
    EXPECT_FALSE(ReadSCType(unread.program).succeeded);
}

// The Put check's boxes, each by its identity; the mismatch question is
// answered by identity alone, whatever else is queued.
TEST(MessageIds, thePutCheckBoxesAreKnownByIdentity) {
    struct Row {
        const char* meterRange;
        const char* dataType;
        std::optional<Answer> mismatchAnswer;
        MessageId id;
        bool written;
    };
    for (const Row r : {Row{"80", "01", std::nullopt, MessageId::MeterTypeUndetermined, false},
                        Row{"60", "02", std::nullopt, MessageId::IncompatibleData, false},
                        Row{"D3", "01", Answer::Yes, MessageId::SCMismatch, true},
                        Row{"D3", "01", Answer::No, MessageId::SCMismatch, false}}) {
        SCOPED_TRACE(static_cast<int>(r.id));
        TransferRig rig(Line1(0));
        rig.peer.respond = [&r](const std::string& q) -> std::optional<std::string> {
            if (q == "*0X115") return std::string(r.meterRange[0] == 'D' ? "0003" : "0001");
            if (q == "*0G12C") return std::string(r.meterRange);
            return std::nullopt;
        };
        rig.program.setup.text = std::string(DefaultSetupText);
        rig.program.setup.Put(35, r.dataType);
        if (r.mismatchAnswer) rig.op.answerFor[MessageId::SCMismatch] = *r.mismatchAnswer;
        rig.op.answers.push_back(Answer::Cancel); // a queued answer the check must not take
        const PutResult put = PutSetup(rig.program);
        EXPECT_EQ(rig.op.Ids(), (std::vector<MessageId>{r.id}));
        EXPECT_EQ(put.ok(), r.written);
        if (r.mismatchAnswer) {
            EXPECT_EQ(rig.op.answers.size(), 1U);
        }
    }
}

TEST(MessageIds, theSettingsAndSignalConditionerBoxesCarryTheirs) {
    TransferRig corrupt(Line1(0));
    corrupt.program.setup.text = std::string(DefaultSetupText);
    corrupt.program.setup.Put(35, "07");
    corrupt.op.answerFor[MessageId::CorruptType] = Answer::No;
    EXPECT_EQ(CheckSCAfterGet(corrupt.program), SCCheck::Defaulted);
    EXPECT_EQ(corrupt.op.Ids(), (std::vector<MessageId>{MessageId::CorruptType}));

    TransferRig garbled(Line1(0));
    (void)ReadSCType(garbled.program);
    EXPECT_EQ(garbled.op.Ids(), (std::vector<MessageId>{MessageId::CommunicationError}));

    TransferRig unreadable(Line1(0));
    std::filesystem::remove(unreadable.SettingsFile());
    unreadable.program.conn.OpenConnection();
    EXPECT_EQ(unreadable.op.Ids(), (std::vector<MessageId>{MessageId::ConnectionProblem}));
}

} // namespace
} // namespace wm::test
