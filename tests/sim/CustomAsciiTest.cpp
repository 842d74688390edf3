#include "MeterOnLine.h"

namespace wm::sim {
namespace {

using CustomAscii = MeterOnLine;

TEST_F(CustomAscii, readingRequestsAnswerWithTheFormattedReading) {
    struct Row {
        const char* request;
        const char* decimalPoint; // image byte 39
        std::int32_t counts;
        const char* reply;
    };
    const Row rows[] = {
        {"*1B3\r\n", "01", 1234, "+01234\r"}, // gross, point after the last digit
        {"*1B3\r\n", "03", 1234, "+012.34\r"}, // an odd length the program keeps for B replies
        {"*1B2\r\n", "06", -5, "-.00005\r"}, // net
        {"*1B4\r\n", "02", 123456, "+9999.9\r"}, // peak beyond five digits
        {"*1B1\r\n", "01", 0, "+00000\r"}, // input
    };
    for (const Row& r : rows) {
        std::string image = meter.Image();
        image.replace(38, 2, r.decimalPoint);
        ASSERT_TRUE(meter.SetImage(image));
        meter.readings = {r.counts, r.counts, r.counts, r.counts};
        EXPECT_EQ(Ask(r.request), r.reply) << r.request << " dp " << r.decimalPoint;
    }
}

TEST_F(CustomAscii, setupReadsReturnTheirPartOfTheImage) {
    const std::string& image = meter.Image();
    struct Row {
        const char* request;
        int pos, len;
    };
    const Row rows[] = {
        {"*1XU1DZ\r\n", 1, 120}, {"*1XF1DZ\r\n", 1, 60},  {"*1XF0EZ\r\n", 61, 60},
        {"*1X26DZ\r\n", 121, 8}, {"*1X236Z\r\n", 129, 8}, {"*1G130\r\n", 49, 2},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Ask(r.request),
                  image.substr(static_cast<std::size_t>(r.pos - 1), static_cast<std::size_t>(r.len)) + "\r")
            << r.request;
    }
}

// A setup unlike the default in every field a Put writes.
std::string OtherSetup() {
    std::string image;
    for (int i = 0; i < 68; ++i)
        image += HexByte(static_cast<unsigned>(0xA5 ^ (i * 13)));
    image.replace(44, 2, "21"); // keep meter address 1
    return image;
}

TEST_F(CustomAscii, putOverSerialThenGetReturnsWhatWasPut) {
    const std::string put = OtherSetup();
    const std::string before = meter.Image();
    EXPECT_EQ(Ask("*1WP18" + put.substr(20, 100) + "Z\r\n"), "");
    EXPECT_EQ(Ask("*1W31D" + put.substr(0, 12) + "Z\r\n"), "");
    EXPECT_EQ(Ask("*1W26D" + put.substr(120, 8) + "Z\r\n"), "");
    EXPECT_EQ(Ask("*1W236" + put.substr(128, 8) + "\r\n"), "");
    // A Custom ASCII Put does not carry characters 13-20.
    std::string expected = put;
    expected.replace(12, 8, before.substr(12, 8));
    EXPECT_EQ(meter.Image(), expected);
    EXPECT_EQ(Ask("*1XU1DZ\r\n"), expected.substr(0, 120) + "\r");
    EXPECT_EQ(Ask("*1X26DZ\r\n") + Ask("*1X236Z\r\n"),
              expected.substr(120, 8) + "\r" + expected.substr(128, 8) + "\r");
}

TEST_F(CustomAscii, putOverEthernetWritesTheMainBlockInTwoHalves) {
    const std::string put = OtherSetup();
    (void)Ask("*1WD18" + put.substr(20, 52) + "Z\r\n");
    (void)Ask("*1WC0B" + put.substr(72, 48) + "Z\r\n");
    EXPECT_EQ(meter.Mid(21, 100), put.substr(20, 100));
    EXPECT_EQ(Ask("*1XF1DZ\r\n") + Ask("*1XF0EZ\r\n"), meter.Mid(1, 60) + "\r" + meter.Mid(61, 60) + "\r");
}

TEST_F(CustomAscii, malformedWritesChangeNothing) {
    const std::string before = meter.Image();
    const std::string put = OtherSetup();
    (void)Ask("*1WP18" + put.substr(20, 99) + "Z\r\n"); // one digit short
    (void)Ask("*1WP18" + put.substr(20, 100) + "\r\n"); // no Z
    (void)Ask("*1W31D00000000000G" + std::string("Z\r\n")); // not hex
    (void)Ask("*1W236\r\n"); // a 128-character image's last block: no digits
    EXPECT_EQ(meter.Image(), before);
    EXPECT_EQ(meter.Log().front().note, "not understood");
}

TEST_F(CustomAscii, getWriteBackStoresItsFourDigits) {
    (void)Ask("*1W1122150\r\n");
    EXPECT_EQ(meter.Mid(45, 4), "2150");
}

TEST_F(CustomAscii, signalConditionerIdentificationAndRestore) {
    EXPECT_EQ(Ask("*1X115\r\n"), "0001\r");
    EXPECT_EQ(Ask("*1G12C\r\n"), "60\r");
    meter.scFlagByte = "05";
    EXPECT_EQ(Ask("*1X110\r\n"), "0560\r");
    // Forcing the load-cell range also makes the board a load cell.
    (void)Ask("*1W11005D0\r\n");
    EXPECT_EQ(Ask("*1X110\r\n"), "05D0\r");
    EXPECT_EQ(Ask("*1X115\r\n"), "0003\r");
    EXPECT_EQ(meter.RangeByte(), "D0");
    EXPECT_EQ(meter.ScType(), "03");
}

TEST_F(CustomAscii, onlyRequestsForTheMetersAddressAreAnswered) {
    EXPECT_EQ(Ask("*2B3\r\n"), "");
    EXPECT_EQ(Ask("B3\r\n"), "");
    EXPECT_EQ(Ask("*****************1B3\r\n"), "+01234\r") << "any run of asterisks";
    ASSERT_TRUE(meter.SetMeterAddress('K'));
    EXPECT_EQ(meter.Mid(45, 2), "34"); // bits 0-4 hold 20, the command-mode bit stays
    EXPECT_EQ(Ask("*1B3\r\n"), "");
    EXPECT_EQ(Ask("*KB3\r\n"), "+01234\r");
    EXPECT_FALSE(meter.Log()[0].addressed);
    EXPECT_EQ(meter.Log()[0].note, "for address 2");
}

TEST_F(CustomAscii, addressWrittenByAPutTakesEffectWithItsLastBlock) {
    std::string put = meter.Image();
    put.replace(44, 2, "25"); // address 5
    (void)Ask("*1WP18" + put.substr(20, 100) + "Z\r\n");
    (void)Ask("*1W31D" + put.substr(0, 12) + "Z\r\n");
    (void)Ask("*1W26D" + put.substr(120, 8) + "Z\r\n");
    EXPECT_EQ(meter.MeterAddress(), '1') << "the rest of the Put still goes to the old address";
    (void)Ask("*1W236" + put.substr(128, 8) + "\r\n");
    EXPECT_EQ(meter.Image(), put);
    EXPECT_EQ(Ask("*1B3\r\n"), "");
    EXPECT_EQ(Ask("*5B3\r\n"), "+01234\r");
}

TEST_F(CustomAscii, resetsAndTareAreCarriedOutWithoutReply) {
    meter.readings = {0, 900, 1000, 5000};
    std::string image = meter.Image();
    image.replace(0, 6, "000064"); // tare 100
    ASSERT_TRUE(meter.SetImage(image));
    for (const char* r : {"*1C0\r\n", "*1C1\r\n", "*1C2\r\n", "*1C3\r\n", "*1W21D00000000\r\n"})
        EXPECT_EQ(Ask(r), "") << r;
    const ResetCounts& n = meter.Resets();
    EXPECT_EQ(n.meter + n.function + n.latchedAlarms + n.peak + n.tare, 5);
    EXPECT_EQ(meter.Mid(1, 6), "000000");
    EXPECT_EQ(meter.readings.net, 1000) << "no tare: net is gross";
    EXPECT_EQ(meter.readings.peak, 900) << "peak reset to the net reading (peak source net)";
}

TEST_F(CustomAscii, includeLfBitEndsRepliesWithCrLf) {
    std::string image = meter.Image();
    image.replace(44, 2, "A1"); // LF bit, command mode, address 1
    ASSERT_TRUE(meter.SetImage(image));
    EXPECT_EQ(Ask("*1G12C\r\n"), "60\r\n");
}

} // namespace
} // namespace wm::sim
