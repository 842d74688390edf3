// The calibration's ranges and arithmetic, without a meter: the word
// limits, the reading texts and the range tables the window is built from.
// The worked corrections of a full-scale and a zero range are pinned on the
// wire in CalibrationTest.
#include <gtest/gtest.h>

#include <string>

#include "sc/CalibMath.h"

namespace wm::test {
namespace {

const CalibRange& Range(int scType, int index) {
    const CalibRange* range = FindCalibRange(scType, index);
    EXPECT_NE(range, nullptr) << "type " << scType << " index " << index;
    static const CalibRange kNone{};
    return range ? *range : kNone;
}

TEST(CalibMath, zeroConstantDependsOnBoardAndRange) {
    struct Case {
        int scType, index;
        const char* hex; // the word after a reading of 10 from word 0: -K
    };
    const Case cases[] = {{kScTypeDC, 0, "FF85"}, {kScTypeLoadCell, 0, "FFD1"}, {kScTypeLoadCell, 1, "FF86"}};
    for (const auto& c : cases) {
        EXPECT_EQ(CalcZero(Range(c.scType, c.index), 10.0, 0.0).hex, c.hex) << c.scType << "/" << c.index;
    }
}

TEST(CalibMath, correctionsBeyondTheWordAreClampedAndFlagged) {
    struct Case {
        const char* name;
        bool zero;
        int scType, index;
        double reading, cur;
        double value;
        const char* hex;
        bool outOfRange;
    };
    const Case cases[] = {
        // Full scale, unsigned word 0..65535.
        {"readingFarLowPushesAboveFFFF", false, kScTypeDC, 5, 10000, 60000, 65535, "FFFF", true},
        {"readingFarHighPushesBelowZero", false, kScTypeDC, 1, 200000, 8000, 0, "0000", true},
        {"exactlyFFFFIsNotOutOfRange", false, kScTypeDC, 1, 80000, 65535, 65535, "FFFF", false},
        {"exactlyZeroIsNotOutOfRange", false, kScTypeLoadCell, 2, 80000, 0, 0, "0000", false},
        // Zero, signed word; -32768 is beyond a correction's reach.
        {"zeroAbove32767", true, kScTypeDC, 0, -1000, 32000, 32767, "7FFF", true},
        {"zeroBelowMinus32767", true, kScTypeDC, 0, 1000, -32000, -32767, "8001", true},
        {"zeroAtMinus32767", true, kScTypeLoadCell, 1, 10, -32645, -32767, "8001", false},
    };
    for (const auto& c : cases) {
        const CalibRange& range = Range(c.scType, c.index);
        const CalibResult r = c.zero ? CalcZero(range, c.reading, c.cur) : CalcFS(range, c.reading, c.cur);
        EXPECT_DOUBLE_EQ(r.value, c.value) << c.name;
        EXPECT_EQ(r.hex, c.hex) << c.name;
        EXPECT_EQ(r.outOfRange, c.outOfRange) << c.name;
    }
}

TEST(CalibMath, makeHexRoundsClampsAndWritesUpperCase) {
    struct Case {
        double value;
        const char* hex;
        const char* hex2;
    };
    const Case cases[] = {
        {0, "0000", "0000"},          {6689.2, "1A21", "1A21"},     {43981, "ABCD", "7FFF"},
        {0.5, "0000", "0000"},        {1.5, "0002", "0002"},        {2.5, "0002", "0002"},
        {-0.5, "0000", "0000"},       {-1, "0000", "FFFF"},         {-1.5, "0000", "FFFE"},
        {-147.6, "0000", "FF6C"},     {-148.5, "0000", "FF6C"},     {-32767, "0000", "8001"},
        {-32768, "0000", "8000"},     {-40000, "0000", "8000"},     {32767.4, "7FFF", "7FFF"},
        {65535.4, "FFFF", "7FFF"},    {70000, "FFFF", "7FFF"},      {255, "00FF", "00FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeHex(c.value), c.hex) << c.value;
        EXPECT_EQ(MakeHex2(c.value), c.hex2) << c.value;
    }
}

TEST(CalibMath, readingTextsLoseTheirPointAndReadAsNumbers) {
    struct Case {
        const char* reply;
        const char* withoutPoint;
        double value;
    };
    const Case cases[] = {
        {"+805.00", "+80500", 80500},  {"-803.00", "-80300", -80300}, {"+80500.", "+80500", 80500},
        {"+80500", "+80500", 80500},   {"-0.012", "-0012", -12},      {" +12", " +12", 12},
        {"+80500\r", "+80500\r", 80500}, {"", "", 0},                 {".", "", 0},
        {"OVER", "OVER", 0},           {"1.2.3", "12.3", 12.3},
    };
    for (const auto& c : cases) {
        const std::string text = RmvDP(c.reply);
        EXPECT_EQ(text, c.withoutPoint) << c.reply;
        EXPECT_DOUBLE_EQ(ReadingValue(text), c.value) << c.reply;
    }
}

TEST(CalibMath, fullScaleReadingsMustShowARealSignal) {
    struct Case {
        double reading;
        bool positiveInput, ok;
    };
    const Case cases[] = {
        {10000, true, true},    {9999, true, false},    {0, true, false},      {-80000, true, false},
        {-10000, false, true},  {-9999, false, false},  {80000, false, false}, {-80300, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FullScaleReadingOk(c.reading, c.positiveInput), c.ok) << c.reading << " " << c.positiveInput;
    }
}

TEST(CalibMath, calibrationWordReadsSignedOnlyForZeroRanges) {
    EXPECT_EQ(CalibWordValue("FFFF", false), 65535);
    EXPECT_EQ(CalibWordValue("FFFF", true), -1);
    EXPECT_EQ(CalibWordValue("8000", true), -32768);
    EXPECT_EQ(CalibWordValue("7fff", true), 32767);
    EXPECT_EQ(CalibWordValue("ff6c", true), -148);
    EXPECT_EQ(CalibWordValue("1F4", false), std::nullopt);
    EXPECT_EQ(CalibWordValue("1F40\r", false), std::nullopt);
    EXPECT_EQ(CalibWordValue("1G40", false), std::nullopt);
}

TEST(CalibMath, rangeListsPerBoard) {
    EXPECT_EQ(CalibRanges(kScTypeDC).size(), 10u);
    EXPECT_EQ(CalibRanges(kScTypeLoadCell).size(), 7u);
    EXPECT_TRUE(CalibRanges(2).empty());
    EXPECT_EQ(FindCalibRange(kScTypeDC, 10), nullptr);
    EXPECT_EQ(FindCalibRange(kScTypeLoadCell, 7), nullptr);
    EXPECT_EQ(FindCalibRange(kScTypeDC, -1), nullptr);
    EXPECT_EQ(FindCalibRange(0, 0), nullptr);

    // Spot rows, texts with their exact blanks.
    struct Case {
        int scType, index;
        const char* listText;
        const char* p;
        const char* inb;
        int scaleF;
        const char* nvAdr;
        const char* inpTyp;
        float vDesired;
        int jIndx;
        float factor;
    };
    const Case cases[] = {
        {kScTypeDC, 0, "Zero", "200 mV DC", "0 V DC", 10, "1A", "60", 0, 11, 0},
        {kScTypeDC, 5, "660 V DC", "660 V DC", "660 V DC", 4, "23", "64", 80000, 15, 9.939f},
        {kScTypeDC, 9, "5 A DC", "5 A  DC", "2 A  DC", 4, "28", "73", 8000, 19, 30.78f},
        {kScTypeLoadCell, 0, "Zero (Lo Range)", "500 mV DC", "0 V DC", 10, "1A", "D4", 0, 35, 0},
        {kScTypeLoadCell, 1, "Zero (Hi Range)", "20 mV DC", "0 V DC", 10, "1E", "D0", 0, 31, 0},
        {kScTypeLoadCell, 3, "50 mV DC", "50 mV DC", "40 mV DC", 2, "20", "D1", 80000, 32, 3.218f},
        {kScTypeLoadCell, 4, "100 mV DC", "100 mV DC", "100 mV DC", 8, "21", "D2", 80000, 33, 3.217f},
        {kScTypeLoadCell, 6, "500 mV DC", "500 mV DC", "400 mV DC", 2, "23", "D4", 80000, 35, 3.408f},
    };
    for (const auto& c : cases) {
        const CalibRange& r = Range(c.scType, c.index);
        const std::string where = std::to_string(c.scType) + "/" + std::to_string(c.index);
        EXPECT_STREQ(r.listText, c.listText) << where;
        EXPECT_STREQ(r.p, c.p) << where;
        EXPECT_STREQ(r.inb, c.inb) << where;
        EXPECT_EQ(r.scaleF, c.scaleF) << where;
        EXPECT_STREQ(r.nvAdr, c.nvAdr) << where;
        EXPECT_STREQ(r.inpTyp, c.inpTyp) << where;
        EXPECT_EQ(r.vDesired, c.vDesired) << where;
        EXPECT_EQ(r.jIndx, c.jIndx) << where;
        EXPECT_EQ(r.factor, c.factor) << where;
    }
}

// What the window does with a row follows from whether it is a zero range;
// a row whose fields disagree would run one formula with the other's data.
TEST(CalibMath, everyRowIsConsistentlyZeroOrFullScale) {
    for (const int scType : {kScTypeDC, kScTypeLoadCell}) {
        for (const CalibRange& r : CalibRanges(scType)) {
            const bool zero = r.calcTyp == 0;
            EXPECT_EQ(r.calcMod, r.calcTyp) << r.listText;
            EXPECT_EQ(std::string(r.f) == "0V", zero) << r.listText;
            EXPECT_EQ(std::string(r.inb) == "0 V DC", zero) << r.listText;
            EXPECT_EQ(r.vDesired == 0.0f, zero) << r.listText;
            EXPECT_EQ(r.factor == 0.0f, zero) << r.listText;
            EXPECT_EQ(r.zeroK != 0, zero) << r.listText;
            EXPECT_EQ(r.scaleF == 10, zero) << r.listText;
            EXPECT_EQ(std::string(r.nvAdr).size(), 2u) << r.listText;
            EXPECT_EQ(std::string(r.inpTyp).size(), 2u) << r.listText;
        }
    }
}

} // namespace
} // namespace wm::test
