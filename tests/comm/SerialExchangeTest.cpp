#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "comm/CommBench.h"
#include "comm/Framing.h"
#include "comm/Hex.h"

namespace wm {
namespace {

using test::Bytes;
using test::Ms;
using test::SerialBench;

std::string Rtu(const std::string& message) { return message + CrcCheckBytes(message); }

TEST(SerialSend, CustomAsciiRequestStartsExactly300MsAfterSendCommand) {
    SerialBench b;
    b.x.TxCommand = "*1G130";
    b.txn.SendCommand();
    const auto sent = b.Sent();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].startUs, 300 * Ms);
    EXPECT_EQ(sent[0].bytes, "*1G130\r\n");
    EXPECT_EQ(b.x.TxCommand, "*1G130\r\n");
}

TEST(SerialSend, ModbusRequestIsPrefixedWithTheAddressAndFramedBySerialMode) {
    struct Row {
        int mode;
        std::string request, address, wire, prefixed;
    };
    const std::vector<Row> rows = {
        {1, "0400070002", "01", Bytes({0x01, 0x04, 0x00, 0x07, 0x00, 0x02, 0xC0, 0x0A}), "010400070002"},
        {2, "0300450001", "01", ":010300450001B6\r\n", ":010300450001"},
        {1, "0300450001", "F7", Rtu(Bytes({0xF7, 0x03, 0x00, 0x45, 0x00, 0x01})), "F70300450001"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.prefixed);
        SerialBench b;
        b.UseProtocol(row.mode);
        b.link.ModbusAddressHex = row.address;
        b.x.ModbusRequest = row.request;
        b.txn.SendCommand();
        ASSERT_EQ(b.Sent().size(), 1U);
        EXPECT_EQ(b.Sent()[0].bytes, row.wire);
        EXPECT_EQ(b.x.ModbusRequest, row.prefixed);
    }
}

struct ReplyRow {
    const char* name;
    int mode;
    std::string request; // command code (Custom ASCII) or ModbusRequest
    std::string reply;
    int status;
    std::string modbusReply;
};

TEST(SerialReceive, LeavesTheStatusAndReplyOfEachCase) {
    const std::string read = Bytes({0x01, 0x04, 0x04, 0x00, 0x00, 0x12, 0x34});
    std::string badCrc = Rtu(read);
    badCrc[3] = '\x01';
    const std::string hex61(61, 'A');
    const std::vector<ReplyRow> rows = {
        {"custom ascii line", 0, "G130", "1234\r", 0, "1234"},
        {"custom ascii ends at the first carriage return", 0, "G130", "12\r34\r", 0, "12"},
        {"custom ascii odd hex reply loses its last character", 0, "XU1DZ", hex61 + "\r", 0,
         hex61.substr(0, 60)},
        {"reading request keeps an odd length", 0, "B1", hex61 + "\r", 0, hex61},
        {"custom ascii without carriage return is silent", 0, "G130", "1234", 0, ""},
        {"rtu read", 1, "0400070002", Rtu(read), 0, BytesToHex(Rtu(read))},
        {"rtu bad crc", 1, "0400070002", badCrc, status::BadCrc, ""},
        {"rtu exception 2 still fills the reply", 1, "0400070002", Rtu(Bytes({0x01, 0x84, 0x02})), 2,
         BytesToHex(Rtu(Bytes({0x01, 0x84, 0x02})))},
        {"rtu one byte cannot be decoded", 1, "0400070002", Bytes({0x01}), status::ReadFailure, ""},
        {"ascii read", 2, "0300450001", ":0103020001F9\r\n", 0, "0103020001F9  "},
        {"ascii bad lrc", 2, "0300450001", ":0103020001F0\r\n", status::BadLrc, "0103020001F0  "},
        {"ascii without line feed", 2, "0300450001", ":0103020001F9\r", status::NoLineFeed, ""},
    };
    for (const ReplyRow& row : rows) {
        SCOPED_TRACE(row.name);
        SerialBench b;
        b.UseProtocol(row.mode);
        b.x.ModbusReply = "left from before";
        b.x.RxReply = "left from before";
        b.Answer(row.reply);
        if (row.mode == 0)
            b.AskAscii(row.request);
        else
            b.AskModbus(row.request);
        EXPECT_EQ(b.x.TransferStatus, row.status);
        EXPECT_EQ(b.x.ModbusReply, row.modbusReply);
        if (row.mode == 0) {
            EXPECT_EQ(b.x.RxReply, row.modbusReply);
        }
        EXPECT_FALSE(b.port.Rts());
    }
}

TEST(SerialReceive, SilenceGivesStatus21AfterExactly3000Ms) {
    SerialBench b;
    b.Silence();
    b.x.TxCommand = "*1G130";
    b.txn.SendCommand();
    const std::uint32_t start = b.vt.TickMs();
    b.txn.ReceiveReply();
    EXPECT_EQ(b.x.TransferStatus, status::NoReply);
    EXPECT_EQ(b.vt.TickMs() - start, 3000U);
    EXPECT_LT(b.vt.Waits(), 50U);
}

TEST(SerialReceive, ReplyEndsAfterTheQuietGapOfTenCharactersPlus50Ms) {
    struct Row {
        const char* name;
        std::uint64_t secondPieceUs;
        std::string firstReply;
    };
    // The first character arrives about 3 ms after the request; the quiet-gap
    // watch starts 200 ms later and gives up after 60 ms at 9600 baud.
    const std::vector<Row> rows = {
        {"a pause shorter than the gap is bridged", 240 * Ms, "0123456789"},
        {"a pause longer than the gap cuts the reply", 300 * Ms, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SerialBench b;
        std::vector<std::string> discarded;
        b.txn.trace = [&](const char* dir, const std::string& bytes, std::uint32_t) {
            if (std::string(dir) == "discard") discarded.push_back(bytes);
        };
        b.AnswerInPieces({{"01234", 2 * Ms}, {"56789\r", row.secondPieceUs}});
        b.Answer("ABCD\r");
        b.AskAscii("G130");
        EXPECT_EQ(b.x.TransferStatus, 0);
        EXPECT_EQ(b.x.RxReply, row.firstReply);
        b.AskAscii("G131");
        EXPECT_EQ(b.x.RxReply, "ABCD");
        const std::vector<std::string> expectDiscarded =
            row.firstReply.empty() ? std::vector<std::string>{"56789\r"} : std::vector<std::string>{};
        EXPECT_EQ(discarded, expectDiscarded);
    }
}

TEST(SerialReceive, EchoOfTheRequestIsRemovedFromAnEchoingLine) {
    SerialBench b;
    b.link.PortType = 2;
    b.port.echo = true;
    b.Answer("1234\r");
    b.AskAscii("G130");
    EXPECT_EQ(b.x.TransferStatus, 0);
    EXPECT_EQ(b.x.RxReply, "1234");

    b.UseProtocol(1);
    const std::string reply = Rtu(Bytes({0x01, 0x03, 0x02, 0x00, 0x07}));
    b.Answer(reply);
    b.AskModbus("0300450001");
    EXPECT_EQ(b.x.TransferStatus, 0);
    EXPECT_EQ(b.x.ModbusReply, BytesToHex(reply));
}

TEST(SerialReceive, EchoThatDoesNotMatchTheRequestLeavesNoReply) {
    SerialBench b;
    b.link.PortType = 2; // the line is said to echo, but does not
    b.x.ModbusReply = "old";
    b.Answer("1234\r");
    b.AskAscii("G130");
    EXPECT_EQ(b.x.TransferStatus, 0);
    EXPECT_EQ(b.x.RxReply, "");
    EXPECT_EQ(b.x.ModbusReply, "");
}

TEST(SerialReceive, TraceSeesEveryFrameSentAndEveryReplyCollected) {
    SerialBench b;
    std::vector<std::string> lines;
    b.txn.trace = [&](const char* dir, const std::string& bytes, std::uint32_t) {
        lines.push_back(dir + (":" + bytes));
    };
    b.Answer("12\r");
    b.AskAscii("G130");
    EXPECT_EQ(lines, (std::vector<std::string>{"tx:*1G130\r\n", "rx:12\r"}));
}

// A port whose reads fail, as a device that vanished mid-reply does.
class FailingPort final : public SerialPortControl {
public:
    void SetDevice(const std::string&) override {}
    [[nodiscard]] std::string Device() const override { return "failing"; }
    bool SetSettings(const std::string&) override { return true; }
    [[nodiscard]] std::string Settings() const override { return "9600,n,8,1"; }
    bool Open(std::string&) override { return true; }
    void Close() override {}
    [[nodiscard]] bool IsOpen() const override { return true; }
    void SetRTSEnable(bool) override {}
    void SetDTREnable(bool) override {}
    void SetHandshaking(int) override {}
    [[nodiscard]] int InBufferCount() override { return 1; }
    [[nodiscard]] int OutBufferCount() override { return 0; }
    std::string Input() override { throw std::runtime_error("device removed"); }
    void Output(const std::string&) override {}
    [[nodiscard]] bool Gone() const override { return false; }
};

// A port reports a device that went away through Gone(); one that throws is
// a fault of the program, which must not pass for a link fault.
TEST(SerialReceive, APortThatThrowsIsNotTakenForALinkFault) {
    VirtualTime vt;
    FailingPort port;
    LinkState link;
    link.PortType = 1;
    Exchange x;
    Transaction txn(link, x, port, vt, vt);
    EXPECT_THROW(txn.ReceiveReply(), std::runtime_error);
    EXPECT_NE(x.TransferStatus, status::ReadFailure);
    EXPECT_FALSE(txn.Waiting());
}

TEST(SerialReceive, NestedExchangeStartedDuringAWaitIsRefused) {
    SerialBench b;
    b.Answer("1234\r", 100 * Ms);
    bool waitingSeen = false;
    std::vector<int> nestedStatus;
    b.vt.At(350 * Ms, [&] {
        waitingSeen = b.txn.Waiting();
        b.x.TxCommand = "*1B1";
        b.txn.SendCommand();
        nestedStatus.push_back(b.x.TransferStatus);
        b.txn.ReceiveReply();
        nestedStatus.push_back(b.x.TransferStatus);
        EXPECT_EQ(b.x.RxReply, "");
        EXPECT_EQ(b.x.ModbusReply, "");
    });
    b.x.TxCommand = "*1G130";
    b.txn.SendCommand();
    b.txn.ReceiveReply();
    EXPECT_TRUE(waitingSeen);
    EXPECT_EQ(nestedStatus, (std::vector<int>{status::Refused, status::Refused}));
    EXPECT_EQ(b.txn.Refused(), 2);
    EXPECT_EQ(b.Sent().size(), 1U);
    EXPECT_EQ(b.x.TxCommand, "*1G130\r\n");
    EXPECT_EQ(b.x.TransferStatus, 0);
    EXPECT_EQ(b.x.RxReply, "1234");
    EXPECT_FALSE(b.txn.Waiting());
}

// A refusal answers the refused caller only: the exchange that was waiting,
// here in a pause after its reply, finds its reply and status as they were,
// in each protocol.
TEST(SerialReceive, ARefusalDuringAPauseLeavesTheWaitingExchangesReply) {
    struct Row {
        int serialMode;
        std::string reply;
    };
    const std::string rtu = Bytes({0x01, 0x83, 0x02});
    const Row rows[] = {{0, "1234\r"}, {1, rtu + CrcCheckBytes(rtu)}, {2, ":018302" + LrcDigits("018302") + "\r\n"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.serialMode);
        SerialBench b;
        b.UseProtocol(r.serialMode);
        b.link.ModbusAddressHex = "01";
        b.Answer(r.reply);
        if (r.serialMode == 0) {
            b.AskAscii("G130");
        } else {
            b.AskModbus("0300450001");
        }
        const Exchange before = b.x;
        int nested = -1;
        b.vt.AfterUs(100 * Ms, [&] {
            b.x.ModbusRequest = "0400070002";
            b.txn.SendCommand();
            b.txn.ReceiveReply();
            nested = b.x.TransferStatus;
        });
        b.txn.DelayMs(500);
        EXPECT_EQ(nested, status::Refused);
        EXPECT_EQ(b.x.TransferStatus, before.TransferStatus);
        EXPECT_EQ(b.x.ModbusException, r.serialMode == 0 ? 0 : 2);
        EXPECT_EQ(b.x.RxReply, before.RxReply);
        EXPECT_EQ(b.x.ModbusReply, before.ModbusReply);
        EXPECT_EQ(b.x.ModbusRequest, before.ModbusRequest);
        EXPECT_EQ(b.Sent().size(), 1U);
    }
}

} // namespace
} // namespace wm
