#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comm/CommBench.h"
#include "comm/Exchange.h"
#include "comm/Framing.h"
#include "comm/Hex.h"

namespace wm {
namespace {

using test::Bytes;

// The CRC-16 of Modbus computed bit by bit, to check the table-driven form.
std::uint16_t BitwiseCrc(const std::string& bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

TEST(Hex, ConvertsBytesToUpperCaseDigitPairsAndBack) {
    EXPECT_EQ(ByteToHex(0), "00");
    EXPECT_EQ(ByteToHex(10), "0A");
    EXPECT_EQ(ByteToHex(171), "AB");
    EXPECT_EQ(ByteToHex(255), "FF");
    EXPECT_EQ(ByteToHex(256), "00");
    EXPECT_EQ(BytesToHex(Bytes({0x00, 0x7F, 0x80, 0xFF})), "007F80FF");
    EXPECT_EQ(HexToBytes("0300"), Bytes({0x03, 0x00}));
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(HexToBytes(BytesToHex(all)), all);
}

TEST(Hex, GarbledDigitsGiveZeroBytesAndAnOddDigitIsIgnored) {
    EXPECT_EQ(HexToBytes("ff0a"), Bytes({0xFF, 0x0A}));
    EXPECT_EQ(HexToBytes("0G30"), Bytes({0x00, 0x30}));
    EXPECT_EQ(HexToBytes("  12"), Bytes({0x00, 0x12}));
    EXPECT_EQ(HexToBytes("030"), Bytes({0x03}));
    EXPECT_EQ(HexToBytes(""), "");
    EXPECT_TRUE(IsHexText("09afAF"));
    EXPECT_FALSE(IsHexText("0G"));
}

TEST(Crc, MatchesKnownAnswersAndTheBitwiseForm) {
    EXPECT_EQ(CrcCheckBytes(Bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01})), Bytes({0x84, 0x0A}));
    EXPECT_EQ(Crc16("123456789"), 0x4B37);
    EXPECT_EQ(CrcCheckBytes("123456789"), Bytes({0x37, 0x4B}));
    EXPECT_EQ(CrcCheckBytes(""), Bytes({0xFF, 0xFF}));
    for (const std::string& message : {Bytes({0x01, 0x04, 0x00, 0x07, 0x00, 0x02}), Bytes({0x01, 0x83, 0x02}),
                                       Bytes({0xFF, 0x00, 0x80, 0x7F, 0x55}), std::string(300, '\xA5')}) {
        EXPECT_EQ(Crc16(message), BitwiseCrc(message)) << BytesToHex(message);
    }
}

TEST(Lrc, IsTheNegatedByteSum) {
    EXPECT_EQ(LrcDigits("010300450001"), "B6");
    EXPECT_EQ(LrcDigits("01FF"), "00");
    EXPECT_EQ(LrcDigits(""), "00");
    EXPECT_EQ(LrcDigits("0102"), "FD");
    EXPECT_EQ(BuildAsciiFrame("01FF"), ":01FF00\r\n");
}

TEST(RequestFrames, AreByteExact) {
    EXPECT_EQ(BuildRtuFrame("010400070002"), Bytes({0x01, 0x04, 0x00, 0x07, 0x00, 0x02, 0xC0, 0x0A}));
    EXPECT_EQ(BuildRtuFrame("010300450001"), Bytes({0x01, 0x03, 0x00, 0x45, 0x00, 0x01, 0x95, 0xDF}));
    EXPECT_EQ(BuildAsciiFrame("010300450001"), ":010300450001B6\r\n");
    std::int32_t id = 4;
    EXPECT_EQ(BuildTcpFrame(id, "010300450001"),
              Bytes({0x00, 0x05, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x45, 0x00, 0x01}));
    EXPECT_EQ(id, 5);
}

TEST(TcpTransactionId, StartsAtOneAndWrapsToOneAfterFFFF) {
    std::int32_t id = 0;
    EXPECT_EQ(BuildTcpFrame(id, "0108").substr(0, 2), Bytes({0x00, 0x01}));
    id = 65534;
    EXPECT_EQ(BuildTcpFrame(id, "0108").substr(0, 2), Bytes({0xFF, 0xFF}));
    EXPECT_EQ(BuildTcpFrame(id, "0108").substr(0, 2), Bytes({0x00, 0x01}));
    EXPECT_EQ(NextTransactionId(-3), 1);
}

TEST(TcpReply, IsAcceptedExactlyWhenItsIdMatches) {
    for (const std::int32_t id : {1, 255, 256, 0x1234, 65535}) {
        const std::string head = Bytes({id >> 8, id & 0xFF, 0, 0, 0, 5});
        const ReplyCheck good = CheckTcpReply(head + Bytes({0x01, 0x03, 0x02, 0x00, 0x07}), id);
        EXPECT_EQ(good.status, 0) << id;
        EXPECT_EQ(good.ModbusReply, "0103020007");
        EXPECT_EQ(CheckTcpReply(head, id + 1).status, status::WrongTransaction) << id;
        EXPECT_EQ(CheckTcpReply(head, id - 1).status, status::WrongTransaction) << id;
    }
    EXPECT_EQ(CheckTcpReply(Bytes({0x00}), 0).status, status::WrongTransaction);
}

// An exception reply is the meter refusing the request: every framing names
// its code apart from the status. Under RTU the codes 01..09 are the status
// as the operator has always seen them, and every other code is
// MeterRefused, never 0; Modbus ASCII and TCP keep status 0 for their
// callers' length checks.
TEST(ExceptionReply, IsNamedInEveryFramingAndNeverPassesUnderRtu) {
    struct Row {
        int code;
        int rtuStatus;
    };
    for (const Row r : {Row{1, 1}, Row{2, 2}, Row{9, 9}, Row{0x0A, status::MeterRefused},
                        Row{0x0B, status::MeterRefused}, Row{0x11, status::MeterRefused},
                        Row{0xFF, status::MeterRefused}}) {
        SCOPED_TRACE(r.code);
        const std::string pdu = Bytes({0x01, 0x83, r.code});
        const ReplyCheck rtu = CheckRtuReply(pdu + CrcCheckBytes(pdu));
        EXPECT_EQ(rtu.status, r.rtuStatus);
        EXPECT_EQ(rtu.exception, r.code);
        EXPECT_EQ(rtu.ModbusReply, BytesToHex(pdu + CrcCheckBytes(pdu)));

        const std::string hex = BytesToHex(pdu);
        const ReplyCheck ascii = CheckAsciiReply(":" + hex + LrcDigits(hex) + "\r\n");
        EXPECT_EQ(ascii.status, 0);
        EXPECT_EQ(ascii.exception, r.code);

        const ReplyCheck tcp = CheckTcpReply(Bytes({0x00, 0x07, 0, 0, 0, 3}) + pdu, 7);
        EXPECT_EQ(tcp.status, 0);
        EXPECT_EQ(tcp.exception, r.code);
    }
    // Not exceptions: a normal reply, a damaged frame, an exception without a code.
    const std::string read = Bytes({0x01, 0x03, 0x02, 0x00, 0x60});
    EXPECT_EQ(CheckRtuReply(read + CrcCheckBytes(read)).exception, 0);
    EXPECT_EQ(CheckAsciiReply(":018302FF\r\n").exception, 0); // wrong LRC: status 26 only
    EXPECT_EQ(CheckTcpReply(Bytes({0x00, 0x07, 0, 0, 0, 2, 0x01, 0x83}), 7).exception, 0);
    for (const std::string& pdu : {Bytes({0x01, 0x83}), Bytes({0x01, 0x83, 0x00})}) {
        const ReplyCheck r = CheckRtuReply(pdu + CrcCheckBytes(pdu));
        EXPECT_EQ(r.status, status::ReadFailure) << BytesToHex(pdu);
        EXPECT_EQ(r.exception, 0);
    }
}

// The checks take whatever the line delivered: no input may make them throw
// (the transaction layer lets nothing but its own codes out).
TEST(ReplyChecks, TakeAnyBytesWithoutThrowing) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245U + 12345U;
        return static_cast<int>((seed >> 16) & 0xFF);
    };
    std::vector<std::string> inputs = {"", "\n", "\r", ":", ":\r\n", "::\n", Bytes({0x01}), Bytes({0x83}),
                                       Bytes({0x00, 0x00}), std::string(600, '\xFF')};
    for (int n = 0; n < 400; ++n) {
        std::string s;
        const int length = next() % 24;
        for (int i = 0; i < length; ++i)
            s += static_cast<char>(n % 3 == 0 ? ":0123456789ABCDEF\r\n"[next() % 19] : next());
        inputs.push_back(s);
    }
    for (const std::string& in : inputs) {
        EXPECT_NO_THROW({
            (void)CheckRtuReply(in);
            (void)CheckAsciiReply(in);
            (void)CheckTcpReply(in, 1);
            (void)CheckCustomAsciiReply(in, "*1B1\r\n");
            (void)CheckCustomAsciiReply(in, "");
            (void)StripNodeLineEnd(in);
        }) << BytesToHex(in);
    }
}

struct DecodeRow {
    const char* name;
    int serialMode; // 1 RTU, 2 ASCII
    std::string collected;
    int status;
    std::string modbusReply;
};

TEST(ModbusSerialReply, GivesTheStatusAndReplyTextOfEachCase) {
    const std::string read = Bytes({0x01, 0x04, 0x04, 0x00, 0x00, 0x12, 0x34});
    const std::string readFrame = read + CrcCheckBytes(read);
    std::string badCrc = readFrame;
    badCrc.back() = static_cast<char>(badCrc.back() ^ 0x01);
    const std::vector<DecodeRow> rows = {
        {"rtu read keeps the crc digits", 1, readFrame, 0, "01040400001234F6F3"},
        {"rtu one flipped crc bit", 1, badCrc, status::BadCrc, ""},
        {"rtu single byte", 1, Bytes({0x01}), status::ReadFailure, ""},
        {"rtu nothing", 1, "", status::ReadFailure, ""},
        {"ascii read", 2, ":0103020001F9\r\n", 0, "0103020001F9  "},
        {"ascii junk after the line", 2, ":0103020001F9\r\n:99", 0, "0103020001F9  "},
        {"ascii wrong lrc keeps the text", 2, ":0103020001F8\r\n", status::BadLrc, "0103020001F8  "},
        {"ascii lower-case lrc", 2, ":01030200010a\r\n", status::BadLrc, "01030200010a  "},
        {"ascii no line feed", 2, ":0103020001F9\r", status::NoLineFeed, ""},
        {"ascii line feed alone", 2, "\n", status::ReadFailure, ""},
        {"ascii too short for an lrc", 2, ":0\r\n", status::ReadFailure, ""},
        {"ascii garbled digits do not crash", 2, ":01ZZ\r\n", status::BadLrc, "01ZZ  "},
    };
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.name);
        const ReplyCheck r =
            row.serialMode == 1 ? CheckRtuReply(row.collected) : CheckAsciiReply(row.collected);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.ModbusReply, row.modbusReply);
    }
}

TEST(ModbusSerialReply, RtuAndAsciiFormsHaveTheSameLength) {
    const std::string pdu = Bytes({0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02});
    const std::string hex = BytesToHex(pdu);
    const ReplyCheck rtu = CheckRtuReply(pdu + CrcCheckBytes(pdu));
    const ReplyCheck ascii = CheckAsciiReply(":" + hex + LrcDigits(hex) + "\r\n");
    ASSERT_EQ(rtu.status, 0);
    ASSERT_EQ(ascii.status, 0);
    EXPECT_EQ(rtu.ModbusReply.size(), 2 * 5 + 8); // byte count and four data bytes
    EXPECT_EQ(ascii.ModbusReply.size(), rtu.ModbusReply.size());
    EXPECT_EQ(ascii.ModbusReply.substr(0, hex.size()), hex);
}

TEST(StatusMeaning, NamesEveryCodeOfTheTransactionLayer) {
    EXPECT_EQ(StatusMeaning(0), "no fault found");
    EXPECT_NE(StatusMeaning(2).find("illegal data address"), std::string::npos);
    for (const int code : {1, 3, 4, 5, 6, 7, 8, 9, 20, 21, 24, 25, 26, 27, 28, 29, 30, 31}) {
        EXPECT_NE(StatusMeaning(code).rfind("status ", 0), 0U) << code;
    }
    EXPECT_EQ(StatusMeaning(22), "status 22");
}

} // namespace
} // namespace wm
