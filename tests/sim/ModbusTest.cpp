#include "MeterOnLine.h"

namespace wm::sim {
namespace {

using Modbus = MeterOnLine;

TEST_F(Modbus, rtuReadsGrossNetAndPeakAsSigned32BitInputRegisters) {
    meter.readings = {0, 0x162E, 1234, -2};
    struct Row {
        std::string request, reply;
    };
    const Row rows[] = {
        {"\x01\x04\x00\x07\x00\x02\xC0\x0A"s, "\x01\x04\x04\x00\x00\x04\xD2\x79\x19"s}, // gross 1234
        {"\x01\x04\x00\x03\x00\x02\x81\xCB"s, "\x01\x04\x04\x00\x00\x16\x2E\x75\xF8"s}, // net
        {"\x01\x04\x00\x05\x00\x02\x61\xCA"s, "\x01\x04\x04\xFF\xFF\xFF\xFE\x3B\xD0"s}, // peak -2
    };
    for (const Row& r : rows)
        EXPECT_EQ(Ask(r.request), r.reply);
}

TEST_F(Modbus, asciiReadsTheGrossReading) { EXPECT_EQ(Ask(":010400070002F2\r\n"), ":010404000004D221\r\n"); }

TEST_F(Modbus, rtuWriteMultipleThenReadHoldingReturnsTheValues) {
    EXPECT_EQ(Ask("\x01\x10\x00\x01\x00\x02\x04\x00\x00\x03\xE8\x32\xDD"s),
              "\x01\x10\x00\x01\x00\x02\x10\x08"s);
    EXPECT_EQ(Ask("\x01\x03\x00\x01\x00\x02\x95\xCB"s), "\x01\x03\x04\x00\x00\x03\xE8\xFA\x8D"s);
    EXPECT_EQ(meter.Mid(115, 6), "0003E8");
}

TEST_F(Modbus, asciiWriteIsSeenByTheRtuRead) {
    EXPECT_EQ(Ask(":01100001000204000003E8FD\r\n"), ":011000010002EC\r\n");
    EXPECT_EQ(Ask("\x01\x03\x00\x01\x00\x02\x95\xCB"s), "\x01\x03\x04\x00\x00\x03\xE8\xFA\x8D"s);
}

TEST_F(Modbus, scaleIsWrittenAsAValueAndKeptAsFiveDigitsWithItsPoint) {
    // 1234567 keeps 12346 with code 4, and reads back as 1234600.
    EXPECT_EQ(Ask("\x01\x10\x00\x09\x00\x02\x04\x00\x12\xD6\x87\x8D\xC2"s),
              "\x01\x10\x00\x09\x00\x02\x91\xCA"s);
    EXPECT_EQ(meter.Mid(103, 6), "40303A");
    EXPECT_EQ(Ask("\x01\x03\x00\x09\x00\x02\x14\x09"s), "\x01\x03\x04\x00\x12\xD6\xA8\x05\xE8"s);
}

TEST_F(Modbus, unknownFunctionsAndRegistersGetExceptionReplies) {
    EXPECT_EQ(Ask("\x01\x07\x41\xE2"s), "\x01\x87\x01\x82\x30"s); // illegal function
    EXPECT_EQ(Ask("\x01\x03\x01\x00\x00\x01\x85\xF6"s), "\x01\x83\x02\xC0\xF1"s); // illegal address
    EXPECT_EQ(meter.Log().back().note, "exception 2");
}

TEST_F(Modbus, onlyTheMetersSlaveAddressAndIntactFramesAreAnswered) {
    EXPECT_EQ(Ask("\x02\x04\x00\x07\x00\x02\xC0\x39"s), "");
    EXPECT_EQ(Ask("\x01\x04\x00\x07\x00\x02\xC0\x0B"s), "");
    EXPECT_EQ(Ask(":020400070002F1\r\n"), "");
    EXPECT_EQ(meter.Log()[0].note, "for slave 2");
    EXPECT_EQ(meter.Log()[1].note, "bad CRC or short frame");
}

TEST_F(Modbus, slaveAddressWrittenToRegister005FAppliesToTheNextRequest) {
    EXPECT_EQ(Ask("\x01\x10\x00\x5F\x00\x01\x02\x00\x05\x6A\xFC"s), "\x01\x10\x00\x5F\x00\x01\x31\xDB"s)
        << "the reply still comes from address 1";
    EXPECT_EQ(meter.ModbusAddress(), 5);
    EXPECT_EQ(Ask("\x01\x04\x00\x07\x00\x02\xC0\x0A"s), "");
    EXPECT_EQ(Ask("\x05\x04\x00\x07\x00\x02\xC1\x8E"s), "\x05\x04\x04\x00\x00\x04\xD2\x3C\xD9"s);
}

TEST_F(Modbus, coilsDiagnosticsAndBroadcast) {
    const std::string coil4 = "\x01\x05\x00\x04\xFF\x00\xCD\xFB"s;
    EXPECT_EQ(Ask(coil4), coil4);
    const std::string diagnostics = "\x01\x08\x00\x01\x00\x00\xB1\xCB"s;
    EXPECT_EQ(Ask(diagnostics), diagnostics);
    EXPECT_EQ(Ask("\x00\x05\x00\x04\xFF\x00\xCC\x2A"s), "") << "broadcasts are not answered";
    EXPECT_EQ(meter.Resets().peak, 2);
}

TEST_F(Modbus, tareResetWritesZeroTareAndCounts) {
    std::string image = meter.Image();
    image.replace(0, 6, "000064");
    ASSERT_TRUE(meter.SetImage(image));
    EXPECT_EQ(Ask("\x01\x10\x00\x19\x00\x02\x04\x00\x00\x00\x00\x32\xC9"s),
              "\x01\x10\x00\x19\x00\x02\x90\x0F"s);
    EXPECT_EQ(meter.Mid(1, 6), "000000");
    EXPECT_EQ(meter.Resets().tare, 1);
}

TEST_F(Modbus, signalConditionerRegistersAreTheAsciiIdentification) {
    EXPECT_EQ(Ask("\x01\x03\x00\x45\x00\x01\x95\xDF"s), "\x01\x03\x02\x00\x60\xB8\x6C"s);
    EXPECT_EQ(Ask("\x01\x03\x00\x68\x00\x01\x05\xD6"s), "\x01\x03\x02\x00\x01\x79\x84"s);
    // Forcing the load-cell range through register 0045, as the restore does.
    EXPECT_EQ(Ask("\x01\x10\x00\x45\x00\x01\x02\x00\xD0\xA9\x59"s), "\x01\x10\x00\x45\x00\x01\x10\x1C"s);
    EXPECT_EQ(Ask("*1X115\r\n"), "0003\r");
    EXPECT_EQ(Ask("*1G12C\r\n"), "D0\r");
}

TEST_F(Modbus, customAsciiPutIsReadBackByModbus) {
    std::string put = meter.Image();
    put.replace(114, 6, "FFFF9C"); // setpoint 1 = -100
    (void)Ask("*1WP18" + put.substr(20, 100) + "Z\r\n");
    EXPECT_EQ(Ask("\x01\x03\x00\x01\x00\x02\x95\xCB"s), "\x01\x03\x04\xFF\xFF\xFF\x9C\xBB\x8E"s);
}

} // namespace
} // namespace wm::sim
