#include "MeterOnLine.h"

#include <algorithm>

namespace wm::sim {
namespace {

using ContinuousOutput = MeterOnLine;

// The readings list stops the output with sixteen asterisks before the
// address, the plot and graph with one: the meter skips leading asterisks.
TEST_F(ContinuousOutput, startsWithA0AndStopsWithA1AfterOneOrSixteenAsterisks) {
    for (const char* stop : {"****************1A1\r\n", "*1A1\r\n"}) {
        SCOPED_TRACE(stop);
        const std::string records = Ask("*1A0\r\n", 100);
        ASSERT_TRUE(meter.OutputRunning());
        ASSERT_GE(records.size(), 7U * 5);
        EXPECT_EQ(records.substr(0, 14), "+01234\r+01234\r") << "back to back at line rate";
        (void)Ask(stop, 100);
        EXPECT_FALSE(meter.OutputRunning());
        rig.time.AdvanceUs(100'000);
        EXPECT_EQ(rig.port.Input(), "");
        EXPECT_FALSE(rig.time.HasPending()) << "no record timer left behind";
    }
}

// The weight of each record in the output: sign and five digits, then CR.
std::vector<int> Weights(const std::string& records) {
    std::vector<int> out;
    for (std::size_t at = 0; at + 7 <= records.size(); at += 7)
        out.push_back(std::stoi(records.substr(at, 6)));
    return out;
}

TEST_F(ContinuousOutput, rampClimbsByItsStepWithEveryReadingAndWraps) {
    meter.motion = {.kind = Motion::Ramp, .low = -3, .high = 4, .step = 3};
    const std::vector<int> gross = Weights(Ask("*1A0\r\n", 100));
    ASSERT_GE(gross.size(), 7U);
    EXPECT_EQ(std::vector<int>(gross.begin(), gross.begin() + 7), (std::vector<int>{-3, 0, 3, -3, 0, 3, -3}));

    // A reading asked for is a reading too. The net follows the gross less
    // the tare; the peak (of the net) keeps the highest.
    (void)Ask("*1A1\r\n");
    meter.motion = {.kind = Motion::Ramp, .low = 100, .high = 130, .step = 10};
    meter.readings.peak = 0;
    ASSERT_TRUE(meter.SetImage("000064" + meter.Image().substr(6))); // tare 100
    EXPECT_EQ(Ask("*1B3\r\n"), "+00100\r");
    EXPECT_EQ(Ask("*1B2\r\n"), "+00010\r");
    EXPECT_EQ(Ask("*1B2\r\n"), "+00020\r");
    EXPECT_EQ(Ask("*1B4\r\n"), "+00030\r");
    EXPECT_EQ(Ask("*1B2\r\n"), "+00000\r") << "wrapped to the low end";
    EXPECT_EQ(Ask("*1B4\r\n"), "+00030\r");
}

TEST_F(ContinuousOutput, noisyReadingsStayNearTheWeightAndRepeatWithTheSeed) {
    const auto run = [](std::uint32_t seed) {
        SimRig other;
        std::string error;
        EXPECT_TRUE(other.port.Open(error));
        other.meter.motion.kind = Motion::Noisy;
        other.meter.calib.noiseCounts = 5;
        other.meter.calib.noiseState = seed;
        other.port.Output("*1A0\r\n");
        other.time.AdvanceUs(300'000);
        return Weights(other.port.Input());
    };
    const std::vector<int> first = run(7);
    ASSERT_GE(first.size(), 30U);
    EXPECT_EQ(run(7), first);
    EXPECT_NE(run(8), first);
    EXPECT_EQ(*std::min_element(first.begin(), first.end()), 1234 - 5);
    EXPECT_EQ(*std::max_element(first.begin(), first.end()), 1234 + 5);
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
        {"08", "A1", "0D2A", "-00020\r\n+00500\r\n"}, // CR LF after each item
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
