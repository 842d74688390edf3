#include "MeterOnLine.h"

namespace wm::sim {
namespace {

using ContinuousOutput = MeterOnLine;

TEST_F(ContinuousOutput, startsWithA0AndStopsWithA1) {
    const std::string records = Ask("*1A0\r\n", 100);
    ASSERT_TRUE(meter.OutputRunning());
    ASSERT_GE(records.size(), 7U * 5);
    EXPECT_EQ(records.substr(0, 14), "+01234\r+01234\r") << "back to back at line rate";
    (void)Ask("*************1A1\r\n", 100);
    EXPECT_FALSE(meter.OutputRunning());
    rig.time.AdvanceUs(100'000);
    EXPECT_EQ(rig.port.Input(), "");
    EXPECT_FALSE(rig.time.HasPending()) << "no record timer left behind";
}

TEST_F(ContinuousOutput, recordsFollowTheOutputRateOfTheSetup) {
    std::string image = meter.Image();
    image.replace(46, 2, "D2"); // read rate / 2
    ASSERT_TRUE(meter.SetImage(image));
    (void)Ask("*1A0\r\n", 350);
    const auto records = FromMeter();
    ASSERT_GE(records.size(), 3U);
    EXPECT_EQ(records[2].startUs - records[1].startUs, 100'000U);
}

TEST_F(ContinuousOutput, recordIsFramedAsTheSetupSays) {
    struct Row {
        const char* byte9;
        const char* byte45;
        const char* stopStart; // image 125-128
        const char* record;
    };
    const Row rows[] = {
        {"01", "21", "0D2A", "-00020\r"}, // net only, CR
        {"01", "A1", "0D2A", "-00020\r\n"}, // include LF
        {"00", "21", "0D2A", "-00020 +00500\r"}, // net and gross, CR after the last
        {"08", "21", "0D2A", "-00020\r+00500\r"}, // CR after each item
        {"04", "21", "0D2A", "-00020 +00500 +00700\r"}, // net, gross, peak
        {"23", "21", "0D2A", "*+00700\r"}, // peak, custom start and stop characters
        {"22", "21", "002A", "*+00500"}, // stop code 0: only the start character
        {"07", "21", "0D2A", "-00020\r"}, // items code 7 counts as net only
    };
    meter.readings = {0, -20, 500, 700};
    for (const Row& r : rows) {
        std::string image = meter.Image();
        image.replace(8, 2, r.byte9);
        image.replace(44, 2, r.byte45);
        image.replace(124, 4, r.stopStart);
        ASSERT_TRUE(meter.SetImage(image));
        EXPECT_EQ(meter.NextRecord(), r.record) << r.byte9 << " " << r.byte45;
    }
}

TEST_F(ContinuousOutput, customCharactersNeedARevision) {
    std::string image = meter.Image();
    image.replace(8, 2, "21");
    image.replace(120, 2, "00"); // revision 0 has no custom characters
    ASSERT_TRUE(meter.SetImage(image));
    EXPECT_EQ(meter.NextRecord(), "+01234\r");
}

} // namespace
} // namespace wm::sim
