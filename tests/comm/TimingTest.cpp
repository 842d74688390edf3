#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comm/CommBench.h"
#include "comm/Framing.h"

namespace wm {
namespace {

using test::Bytes;
using test::Ms;
using test::NodeBench;
using test::SerialBench;

constexpr std::uint32_t NearWrap = 0xFFFFFFFFU - 1500; // the tick counter wraps 1.5 s in

TEST(DelayMs, WaitsTheGivenTimeAlsoAcrossTheTickCounterWrap) {
    for (const std::uint32_t tickAtStart : {1'000'000U, NearWrap, 0xFFFFFFFFU}) {
        SCOPED_TRACE(tickAtStart);
        SerialBench b(tickAtStart);
        b.txn.DelayMs(300);
        EXPECT_EQ(b.vt.NowUs(), 300 * Ms);
        b.txn.DelayMs(2000);
        EXPECT_EQ(b.vt.NowUs(), 2300 * Ms);
        b.txn.DelayMs(0);
        b.txn.DelayMs(-5);
        EXPECT_EQ(b.vt.NowUs(), 2300 * Ms);
    }
}

TEST(DelayMs, ReturnsOnlyAtItsDeadlineWhenEventsWakeItEarlier) {
    SerialBench b;
    for (int i = 1; i <= 9; ++i) b.vt.At(static_cast<std::uint64_t>(i) * 10 * Ms, [] {});
    b.txn.DelayMs(100);
    EXPECT_EQ(b.vt.NowUs(), 100 * Ms);
}

TEST(SerialReceive, TickCounterWrapDoesNotDisturbTheTimeOutOrTheQuietGap) {
    {
        SerialBench b(NearWrap);
        b.Silence();
        b.x.TxCommand = "*1G130";
        b.txn.SendCommand();
        const std::uint32_t start = b.vt.TickMs();
        b.txn.ReceiveReply(); // the 3000 ms deadline lies beyond the wrap
        EXPECT_EQ(b.x.TransferStatus, status::NoReply);
        EXPECT_LT(b.vt.TickMs(), start);
        EXPECT_EQ(b.vt.TickMs() - start, 3000U);
    }
    {
        SerialBench b(0xFFFFFFFFU - 539); // wraps 540 ms in, inside the quiet-gap watch
        b.AnswerInPieces({{"0123", 2 * Ms}, {"4567\r", 250 * Ms}});
        b.AskAscii("G130");
        EXPECT_EQ(b.x.TransferStatus, 0);
        EXPECT_EQ(b.x.RxReply, "01234567");
    }
}

// A tick counter that steps back (a restarted counter), to show that the
// first-character wait then starts over instead of lasting for weeks.
class SteppingClock final : public Clock {
public:
    explicit SteppingClock(VirtualTime& time) : vt_(time) {}
    [[nodiscard]] std::uint32_t TickMs() const override { return vt_.TickMs() - back; }
    [[nodiscard]] double SecondsSinceMidnight() const override { return vt_.SecondsSinceMidnight(); }
    std::uint32_t back = 0;

private:
    VirtualTime& vt_;
};

TEST(SerialReceive, TickCounterSteppingBackRestartsTheWaitWith9000Ms) {
    SerialBench b;
    SteppingClock clock(b.vt);
    Transaction txn(b.link, b.x, b.port, clock, b.pump);
    b.vt.At(1000 * Ms, [&] { clock.back = 60'000; });
    txn.ReceiveReply();
    EXPECT_EQ(b.x.TransferStatus, status::NoReply);
    EXPECT_EQ(b.vt.NowUs(), 10'000 * Ms);
}

TEST(DelaySeconds, ZeroMeansAPauseThatShrinksWithTheBaudRate) {
    struct Row {
        int baudIndex;
        double expectedMs;
    };
    for (const Row row : {Row{0, 550}, Row{1, 450}, Row{5, 50}, Row{6, 0}, Row{7, 0}}) {
        SCOPED_TRACE(row.baudIndex);
        SerialBench b;
        b.link.BaudIndex = row.baudIndex;
        b.txn.DelaySeconds(0);
        EXPECT_NEAR(b.vt.NowMs(), row.expectedMs, 1.5);
        if (row.expectedMs == 0) {
            EXPECT_EQ(b.vt.Waits(), 0U);
        }
    }
}

TEST(DelaySeconds, CrossesMidnight) {
    struct Row {
        double secondsAtStart;
        float seconds;
    };
    // 86399.5 + 0.5 lands exactly on midnight, which the clock never shows;
    // 86399.699 + 0.3 leaves the deadline a hair before midnight while the
    // clock's next reading has already wrapped to 0.
    for (const Row row : {Row{86'399.9, 0.3F}, Row{86'399.5, 0.5F}, Row{86'399.999, 2.0F},
                          Row{86'399.699, 0.3F}, Row{36'000.0, 1.25F}}) {
        SCOPED_TRACE(row.secondsAtStart);
        SerialBench b(1'000'000, row.secondsAtStart);
        b.txn.DelaySeconds(row.seconds);
        EXPECT_NEAR(b.vt.NowMs(), row.seconds * 1000.0, 1.5);
    }
}

TEST(NodeReceive, NothingFromTheNodeGivesStatus20AfterTheBaudRatesTimeOut) {
    struct Row {
        int baudIndex;
        std::uint32_t timeoutMs;
    };
    for (const Row row : {Row{5, 3000}, Row{0, 9000}, Row{1, 5000}, Row{7, 3000}}) {
        SCOPED_TRACE(row.baudIndex);
        NodeBench b;
        b.link.BaudIndex = row.baudIndex;
        b.x.TxCommand = "*1G130";
        b.txn.SendCommand();
        const std::uint32_t start = b.vt.TickMs();
        b.txn.ReceiveReply();
        EXPECT_EQ(b.x.TransferStatus, status::NodeTimeout);
        EXPECT_EQ(b.vt.TickMs() - start, row.timeoutMs);
    }
}

TEST(NodeExchange, ModbusTravelsWithTheTcpHeaderAndIsCheckedByTransactionId) {
    NodeBench b;
    b.UseModbus(true);
    b.x.TransactionId = 4;
    b.x.NodeRxBuffer = "stale";
    b.x.NodeConnectPending = 1;
    const std::string head5 = Bytes({0x00, 0x05, 0x00, 0x00, 0x00, 0x05});
    const std::string head9 = Bytes({0x00, 0x09, 0x00, 0x00, 0x00, 0x05});
    const std::string pdu = Bytes({0x01, 0x03, 0x02, 0x00, 0x07});
    b.node.replies = {{head5 + pdu, 20 * Ms}, {head9 + pdu, 20 * Ms}};

    b.x.ModbusRequest = "0300450001";
    b.txn.SendCommand();
    EXPECT_EQ(b.x.NodeConnectPending, 0);
    EXPECT_EQ(b.x.NodeRxBuffer, "");
    ASSERT_EQ(b.node.sent.size(), 1U);
    EXPECT_EQ(b.node.sent[0],
              Bytes({0x00, 0x05, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x45, 0x00, 0x01}));
    b.txn.ReceiveReply();
    EXPECT_EQ(b.x.TransferStatus, 0);
    EXPECT_EQ(b.x.ModbusReply, "0103020007");
    EXPECT_EQ(b.x.NodeRxBuffer, head5 + pdu);

    b.x.ModbusRequest = "0300450001";
    b.txn.SendCommand(); // carries 6, the node answers with 9
    b.txn.ReceiveReply();
    EXPECT_EQ(b.x.TransferStatus, status::WrongTransaction);
    EXPECT_EQ(b.x.ModbusReply, "");
}

TEST(NodeExchange, CustomAsciiReplyIsTakenWholeWithoutItsLineEnd) {
    NodeBench b;
    b.UseModbus(false);
    b.node.replies = {{"12345\r\n", 30 * Ms}};
    b.x.TxCommand = "*1G130";
    b.txn.SendCommand();
    EXPECT_EQ(b.node.sent, std::vector<std::string>{"*1G130\r\n"});
    b.txn.ReceiveReply();
    EXPECT_EQ(b.x.TransferStatus, 0);
    EXPECT_EQ(b.x.RxReply, "12345");
    EXPECT_EQ(b.x.ModbusReply, "12345");
    EXPECT_EQ(b.x.NodeRxBuffer, "");
}

TEST(NodeExchange, BrokenNodeLinkEndsTheWaitWithoutAReply) {
    NodeBench b;
    b.UseModbus(false);
    b.x.RxReply = "1234";
    b.x.TxCommand = "*1G130";
    b.txn.SendCommand();
    b.node.connected = false;
    const std::uint64_t before = b.vt.NowUs();
    b.txn.ReceiveReply();
    EXPECT_EQ(b.x.TransferStatus, 0);
    EXPECT_EQ(b.x.RxReply, "");
    EXPECT_EQ(b.x.ModbusReply, "");
    EXPECT_EQ(b.vt.NowUs(), before);
    EXPECT_EQ(b.node.checks, 1);
}

} // namespace
} // namespace wm
