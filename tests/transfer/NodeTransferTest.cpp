// Get, Put, the operating commands and the signal-conditioner check through
// the Ethernet node, against the simulated node and its meter: the program's
// own node link on the in-memory sockets, in virtual time.
#include <gtest/gtest.h>

#include "comm/MeterCommands.h"
#include "sc/SigCond.h"
#include "setup/Defaults.h"
#include "support/SimNodeProgram.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

constexpr std::uint64_t S = 1'000'000;
// Custom ASCII to the simulated meter's address, 1.
const std::string kAscii = Line1(0, "007", '5', '1');

CommandOutcome Read(Program& program, const char* name) { return RunMeterCommand(program, *FindMeterCommand(name)); }

TEST(NodeTransfer, CustomAsciiGetAndPutTravelThroughTheNodeAsTheyAre) {
    SimNodeProgram rig(kAscii);
    ASSERT_TRUE(rig.Connect());
    rig.meter.readings.gross = -512;

    const CommandOutcome gross = Read(rig.program, "gross");
    ASSERT_TRUE(gross.succeeded) << gross.cause;
    EXPECT_EQ(gross.reading, "-00512");

    const GetResult got = GetSetup(rig.program);
    ASSERT_TRUE(got.ok()) << DescribeGetFailure(got);
    EXPECT_EQ(rig.program.setup.text, rig.meter.Image());

    rig.program.setup.Put(21, "00007B");
    const PutResult put = PutSetup(rig.program);
    ASSERT_TRUE(put.ok()) << put.status;
    EXPECT_EQ(rig.meter.Mid(21, 6), "00007B");

    std::vector<std::string> codes;
    for (const std::string& request : rig.MeterHeard()) codes.push_back(request.substr(2, 4));
    EXPECT_EQ(codes, (std::vector<std::string>{"B3\r\n", "XF0E", "XF1D", "X26D", "X236", "W112", "A1\r\n",
                                               "X115", "G12C", "WD18", "WC0B", "W31D", "W26D", "W236"}));
    // On the wire: the request as the serial line would carry it.
    EXPECT_EQ(rig.sockets.tcpSent.at(0).bytes, "*1B3\r\n");
}

TEST(NodeTransfer, ModbusTravelsWithTheTcpHeaderAndItsTransactionIdentifiers) {
    SimNodeProgram rig(Line1(1));
    ASSERT_TRUE(rig.Connect());
    rig.meter.readings.gross = 1234;

    const CommandOutcome gross = Read(rig.program, "gross");
    ASSERT_TRUE(gross.succeeded) << gross.cause;
    EXPECT_EQ(rig.SentHex().at(0), "000100000006" "01" "0400070002");

    const GetResult got = GetSetup(rig.program);
    ASSERT_TRUE(got.ok()) << DescribeGetFailure(got);
    const std::vector<std::string> sent = rig.SentHex();
    ASSERT_GE(sent.size(), 3U);
    EXPECT_EQ(sent[1], "000200000006" "01" "0800010000");
    EXPECT_EQ(sent[2].substr(0, 12), "000300000006");

    rig.program.setup.Put(21, "00007B");
    const PutResult put = PutSetup(rig.program);
    ASSERT_TRUE(put.ok()) << put.status;
    EXPECT_EQ(rig.meter.Mid(21, 6), "00007B");
    // Every request carries the next identifier, and the meter heard each
    // as an RTU frame.
    const std::vector<std::string> all = rig.SentHex();
    for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].substr(0, 8), Hex(static_cast<std::uint32_t>(i + 1), 4) + "0000") << i;
    EXPECT_EQ(rig.meter.Log().size(), all.size());
    for (const sim::LogEntry& e : rig.meter.Log()) EXPECT_EQ(e.framing, sim::Framing::ModbusRtu);
}

TEST(NodeTransfer, SigCondTypeAndTheCommandsWorkOverTheNode) {
    for (const int protocol : {0, 1}) {
        SimNodeProgram rig(protocol == 0 ? kAscii : Line1(1));
        ASSERT_TRUE(rig.Connect());
        const SCTypeReport report = ReadSCType(rig.program);
        EXPECT_TRUE(report.succeeded) << protocol;
        const CommandOutcome reset = Read(rig.program, "peak-reset");
        EXPECT_TRUE(reset.succeeded) << protocol << reset.cause;
        rig.vt.AdvanceUs(10'000); // a Custom ASCII reset gets no reply: it reaches the meter after the send
        EXPECT_EQ(rig.meter.Resets().peak, 1) << protocol;
    }
}

TEST(NodeTransfer, NotificationsOfTheNodeBeforeEveryReplyAreIgnored) {
    sim::NodeOptions options;
    options.notifyOnCall = true;
    options.notifyBeforeReplies = true;
    for (const int protocol : {0, 1}) {
        SimNodeProgram rig(protocol == 0 ? kAscii : Line1(1), options);
        ASSERT_TRUE(rig.Connect());
        const GetResult got = GetSetup(rig.program);
        EXPECT_TRUE(got.ok()) << protocol << " " << DescribeGetFailure(got);
    }
}

TEST(NodeTransfer, AWrongTransactionIdentifierFailsTheExchangeWithStatus27) {
    sim::NodeOptions options;
    options.wrongTransaction = true;
    SimNodeProgram rig(Line1(1), options);
    ASSERT_TRUE(rig.Connect());
    const CommandOutcome gross = Read(rig.program, "gross");
    EXPECT_TRUE(gross.failed);
    EXPECT_EQ(gross.status, status::WrongTransaction);
}

TEST(NodeTransfer, ADroppedConnectionIsToldDuringTheNextExchange) {
    sim::NodeOptions options;
    options.dropAfter = 2;
    SimNodeProgram rig(kAscii, options);
    ASSERT_TRUE(rig.Connect());
    EXPECT_TRUE(Read(rig.program, "gross").succeeded);
    EXPECT_TRUE(Read(rig.program, "net").succeeded);
    EXPECT_TRUE(rig.op.boxes.empty());
    const CommandOutcome peak = Read(rig.program, "peak");
    EXPECT_TRUE(peak.failed);
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, "Node communications appears broken.  Restart program.");
    EXPECT_EQ(rig.op.boxes[0].title, "Re-Connect");
}

TEST(NodeTransfer, ANodeThatNeverCallsBackEndsTheProgram) {
    sim::NodeOptions options;
    options.callBack = false;
    SimNodeProgram rig(kAscii, options);
    EXPECT_FALSE(rig.Connect());
    EXPECT_EQ(rig.op.Ids(), (std::vector<MessageId>{MessageId::NodeNotConnected}));
    EXPECT_EQ(rig.op.endRequests, 1);
    EXPECT_EQ(rig.node->Log().size(), 10U) << "ten control packets, none answered";
}

TEST(NodeTransfer, TheNodeHearsAKeepAliveEveryFourteenSecondsBetweenExchanges) {
    SimNodeProgram rig(kAscii);
    ASSERT_TRUE(rig.Connect());
    const std::uint64_t called = rig.vt.NowUs();
    // The Ethernet window's timer, started when the link came up.
    std::function<void()> tick = [&] {
        rig.program.node->TimerTick();
        rig.vt.AfterUs(S, tick);
    };
    rig.vt.AfterUs(S, tick);
    rig.vt.AdvanceUs(20 * S);
    EXPECT_TRUE(Read(rig.program, "gross").succeeded);
    rig.vt.AdvanceUs(10 * S);
    std::vector<std::uint64_t> after;
    for (const std::uint64_t at : rig.node->Session().KeepAlives()) after.push_back((at - called) / 1000);
    EXPECT_EQ(after, (std::vector<std::uint64_t>{14001, 28001})) << "14 s and 28 s, plus 1 ms on the way";
}

} // namespace
} // namespace wm::test
