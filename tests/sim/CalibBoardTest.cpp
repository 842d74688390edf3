// The simulated signal conditioner's calibration memory and its input
// reading, asked through Custom ASCII as the calibration asks.
#include <filesystem>
#include <fstream>

#include "sim/SimOptions.h"
#include <unistd.h>

#include "MeterOnLine.h"

namespace wm::sim {
namespace {

struct CalibBoard : MeterOnLine {
    // The reply to one command to the meter, without its CR; empty for none.
    std::string Command(const std::string& code) {
        std::string reply = Ask("*" + std::string(1, meter.MeterAddress()) + code + "\r\n");
        if (!reply.empty() && reply.back() == '\r') reply.pop_back();
        return reply;
    }
};

TEST_F(CalibBoard, wordsAreReadAndWrittenByAddress) {
    EXPECT_EQ(Command("X11F"), "1F40");
    EXPECT_EQ(Command("X11A"), "0000");
    EXPECT_EQ(Command("W11F1a21"), "") << "writes are not answered";
    EXPECT_EQ(Command("X11F"), "1A21");
    EXPECT_EQ(meter.CalibWord(0x1F), 0x1A21);
    // A write of the wrong length is not a word and changes nothing.
    EXPECT_EQ(Command("W11F1A2"), "");
    EXPECT_EQ(meter.Log().back().note, "not understood");
    EXPECT_EQ(Command("X11F"), "1A21");
    // The range byte keeps its own command, and the Get's write-back its block.
    EXPECT_EQ(Command("W11000D2"), "");
    EXPECT_EQ(meter.RangeByte(), "D2");
    EXPECT_EQ(meter.ScType(), "03");
    EXPECT_EQ(Command("X110"), "00D2");
}

TEST_F(CalibBoard, identificationBlockCarriesWord1BAndBoardType) {
    std::string block = Command("XL24");
    ASSERT_EQ(block.size(), 64U);
    EXPECT_EQ(block.substr(36, 4), "0200");
    EXPECT_EQ(block.substr(62, 2), "01");
    Command("W11B0123");
    meter.SetScType("03");
    block = Command("XL24");
    EXPECT_EQ(block.substr(36, 4), "0123");
    EXPECT_EQ(block.substr(62, 2), "03");
}

// With noise off the reading is the board's arithmetic: the 200 mV range
// with its gain word 1F40 reads 80400 at scale factor 4, and the zero word
// 0 shifts every reading by +12 counts at scale factor 10 (4.8 at 4).
TEST_F(CalibBoard, inputReadingFollowsInputScaleAndWords) {
    meter.calib.noiseCounts = 0;
    meter.readings.input = 777;
    EXPECT_EQ(Command("B1"), "+00777") << "no input applied: the fixed reading";
    meter.calib.appliedInput = 1.0;
    Command("W1100060");
    EXPECT_EQ(Command("B1"), "+20101") << "scale factor 1";
    Command("W30500000010000" "4");
    EXPECT_EQ(Command("B1"), "+80405");
    meter.calib.appliedInput = -1.0;
    EXPECT_EQ(Command("B1"), "-80395");
    meter.calib.appliedInput = 0.0;
    Command("W30500000010000A");
    EXPECT_EQ(Command("B1"), "+00012");
    Command("W11AFF6C"); // the zero word that cancels the offset
    EXPECT_EQ(Command("B1"), "+00000");
    Command("W305000000100001");
    EXPECT_EQ(meter.calib.scaleFactor, 1);
    // The load-cell 20 mV range has a zero amplifier of its own.
    meter.SetScType("03");
    Command("W11000D0");
    EXPECT_EQ(Command("B1"), "+00001") << "its zero word 0 is off by 148 steps of 12.2 per count, over 10";
}

TEST(CalibOptions, commandLineSetsInputNoiseAndWords) {
    const ParsedSimOptions ok =
        ParseSimOptions({"--input", "-1", "--noise=0", "--calib-word", "1f:1A21", "--input-file", "/tmp/x"});
    ASSERT_EQ(ok.error, "");
    Meter meter;
    std::string problem;
    ASSERT_TRUE(ApplySimOptions(ok.options, meter, problem)) << problem;
    EXPECT_EQ(meter.calib.appliedInput, -1.0);
    EXPECT_EQ(meter.calib.noiseCounts, 0);
    EXPECT_EQ(meter.CalibWord(0x1F), 0x1A21);
    EXPECT_TRUE(static_cast<bool>(meter.calib.inputSource));

    for (const char* bad : {"--input=3", "--input=x", "--input=", "--calib-word=1F", "--calib-word=1G:0000",
                            "--calib-word=1F:12345", "--noise=-1"})
        EXPECT_NE(ParseSimOptions({bad}).error, "") << bad;
    EXPECT_EQ(ParseAppliedInput(" +1\r\n"), 1.0);
    EXPECT_EQ(ParseAppliedInput("-0.5"), -0.5);
    EXPECT_EQ(ParseAppliedInput("1 2"), std::nullopt);
}

TEST(CalibOptions, inputFileIsReadAtEveryReading) {
    const auto file = std::filesystem::temp_directory_path() / ("wm-calib-input-" + std::to_string(::getpid()));
    ParsedSimOptions parsed = ParseSimOptions({"--input-file", file.string(), "--input", "1"});
    ASSERT_EQ(parsed.error, "");
    Meter meter;
    std::string problem;
    ASSERT_TRUE(ApplySimOptions(parsed.options, meter, problem));
    meter.calib.noiseCounts = 0;
    meter.SetCalibWord(0x1A, 0xFF6C);
    std::filesystem::remove(file);
    EXPECT_EQ(meter.InputReading(), 20100) << "no file: the input given on the command line";
    std::ofstream(file) << "-1\n";
    EXPECT_EQ(meter.InputReading(), -20100);
    std::ofstream(file) << "nonsense";
    EXPECT_EQ(meter.InputReading(), 20100) << "a file without a number changes nothing";
    std::filesystem::remove(file);
}

} // namespace
} // namespace wm::sim
