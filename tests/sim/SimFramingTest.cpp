#include <gtest/gtest.h>

#include "sim/SimFraming.h"

namespace wm::sim {
namespace {

using namespace std::string_literals;

TEST(SimFraming, crcMatchesKnownAnswers) {
    EXPECT_EQ(Crc16("123456789"), 0x4B37);
    EXPECT_EQ(RtuFrame({0x01, "\x03\x00\x00\x00\x01"s}), "\x01\x03\x00\x00\x00\x01\x84\x0A"s);
}

TEST(SimFraming, lrcIsTheNegatedByteSum) {
    // 01 03 00 45 00 01 adds up to 4A.
    EXPECT_EQ(Lrc("\x01\x03\x00\x45\x00\x01"s), 0xB6);
    EXPECT_EQ(Lrc("\x80\x80"s), 0x00);
    EXPECT_EQ(AsciiFrame({0x01, "\x03\x00\x45\x00\x01"s}), ":010300450001B6\r\n");
}

TEST(SimFraming, rtuFrameWithWrongOrShortCheckIsRejected) {
    const std::string good = "\x01\x03\x00\x00\x00\x01\x84\x0A"s;
    ASSERT_TRUE(ParseRtu(good));
    EXPECT_EQ(ParseRtu(good)->unit, 1);
    EXPECT_EQ(ParseRtu(good)->pdu, "\x03\x00\x00\x00\x01"s);
    EXPECT_FALSE(ParseRtu("\x01\x03\x00\x00\x00\x01\x0A\x84"s)); // check bytes swapped
    EXPECT_FALSE(ParseRtu("\x01\x03\x00"s));
}

TEST(SimFraming, modbusAsciiLineIsCheckedAndNoiseBeforeColonSkipped) {
    struct Row {
        const char* line;
        bool accepted;
    };
    const Row rows[] = {
        {":010300450001B6\r\n", true},
        {"\x7F:010300450001b6\r\n", true}, // lower case and a stray byte first
        {":010300450001B7\r\n", false},
        {":010300450001B\r\n", false}, // odd digit count
        {":01B6\r\n", false}, // no function code
        {"010300450001B6\r\n", false}, // no colon
    };
    for (const Row& r : rows)
        EXPECT_EQ(ParseModbusAscii(r.line).has_value(), r.accepted) << r.line;
}

} // namespace
} // namespace wm::sim
