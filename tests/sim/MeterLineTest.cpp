// The meter's own line setting: which port settings it hears, on a real
// line and as a pseudo-terminal carries them, and wmsim's --parity.
#include <gtest/gtest.h>

#include "sim/MeterLine.h"
#include "sim/SimOptions.h"

namespace wm::sim {
namespace {

TEST(MeterLine, TheMeterHearsOnlyItsOwnBaudRateAndFrame) {
    const MeterLine even{19200, 'e'};
    const auto port = [](const char* text) { return ParseLineSettings(text); };
    // On a real line every part of the frame counts.
    EXPECT_TRUE(MeterHears(even, Framing::ModbusRtu, port("19200,e,8,1"), false));
    EXPECT_FALSE(MeterHears(even, Framing::ModbusRtu, port("9600,e,8,1"), false));
    EXPECT_FALSE(MeterHears(even, Framing::ModbusRtu, port("19200,o,8,1"), false));
    EXPECT_FALSE(MeterHears(even, Framing::ModbusRtu, port("19200,n,8,2"), false));
    EXPECT_FALSE(MeterHears(even, Framing::ModbusRtu, port("19200,e,7,1"), false));
    EXPECT_TRUE(MeterHears(even, Framing::ModbusAscii, port("19200,e,7,1"), false));
    EXPECT_TRUE(MeterHears({9600, 'n'}, Framing::ModbusAscii, port("9600,n,7,2"), false));
    // Custom ASCII is 8,n,1 whatever the Modbus parity.
    EXPECT_TRUE(MeterHears(even, Framing::CustomAscii, port("19200,n,8,1"), false));
    EXPECT_FALSE(MeterHears(even, Framing::CustomAscii, port("19200,e,8,1"), false));
    // A pseudo-terminal shows the baud rate and the stop bits only.
    EXPECT_TRUE(MeterHears(even, Framing::ModbusRtu, port("19200,n,8,1"), true));
    EXPECT_FALSE(MeterHears(even, Framing::ModbusRtu, port("19200,n,8,2"), true));
    EXPECT_FALSE(MeterHears(even, Framing::ModbusRtu, port("38400,n,8,1"), true));
    // A meter that tells the framing by each request's first byte: the baud rate only.
    EXPECT_TRUE(MeterHears(even, std::nullopt, port("19200,n,8,2"), false));
    EXPECT_FALSE(MeterHears(even, std::nullopt, port("9600,n,8,1"), false));

    Meter meter;
    EXPECT_EQ(FixedFraming(meter), std::nullopt);
    meter.behaviour.protocol = Protocol::ModbusAscii;
    EXPECT_EQ(FixedFraming(meter), Framing::ModbusAscii);

    EXPECT_EQ(ParseSimOptions({}).options.parity, 'n');
    EXPECT_EQ(ParseSimOptions({"--parity", "odd"}).options.parity, 'o');
    EXPECT_EQ(ParseSimOptions({"--parity=e"}).options.parity, 'e');
    EXPECT_NE(ParseSimOptions({"--parity", "mark"}).error, "");
}

} // namespace
} // namespace wm::sim
