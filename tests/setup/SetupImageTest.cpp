#include "setup/SetupImage.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace wm {
namespace {

// An image of 136 "0" with `hex` placed at pos.
SetupImage ImageWith(int pos, const std::string& hex) {
    SetupImage image;
    image.text = std::string(136, '0');
    image.Put(pos, hex);
    return image;
}

struct BitsRow {
    const char* byte;
    int hi, lo, expected;
};

TEST(GetBits, ShiftsTheSelectedBitsDownToBitZero) {
    const BitsRow rows[] = {{"3A", 5, 4, 3}, {"A5", 7, 0, 0xA5}, {"A5", 0, 0, 1}, {"A5", 7, 7, 1},
                            {"A5", 6, 4, 2}, {"a5", 7, 0, 0xA5}, {"F0", 3, 0, 0}};
    for (const BitsRow& r : rows) {
        EXPECT_EQ(ImageWith(133, r.byte).GetBits(r.hi, r.lo, 133), r.expected)
            << r.byte << " bits " << r.hi << ".." << r.lo;
    }
}

struct SetBitsRow {
    const char* before;
    int hi, lo, value;
    const char* after;
};

TEST(SetBits, ReplacesOnlyTheGivenBitsAndWritesUpperCase) {
    const SetBitsRow rows[] = {
        {"F1", 3, 2, 2, "F9"}, {"01", 1, 0, 3, "03"}, {"00", 7, 0, 0xAB, "AB"},
        {"ff", 4, 4, 0, "EF"}, {"00", 3, 2, 7, "0C"}, // a value wider than its bits is cut to them
        {"80", 7, 7, 0, "00"},
    };
    for (const SetBitsRow& r : rows) {
        SetupImage image = ImageWith(37, r.before);
        image.SetBits(r.hi, r.lo, 37, r.value);
        EXPECT_EQ(image.Mid(37, 2), r.after) << r.before << " bits " << r.hi << ".." << r.lo;
        EXPECT_EQ(image.Mid(35, 2) + image.Mid(39, 2), "0000") << "neighbours untouched";
    }
}

struct FormatRow {
    int kind;
    const char* field;
    int dpIn;
    const char* expected;
    int dpOut;
};

TEST(FormatField, RendersSignDigitsAndPoint) {
    const FormatRow rows[] = {
        {2, "FFFB2E", 3, " - 012.34", 3}, // -1234
        {4, "300C8A", 0, " +032.10", 3},  // the field's own point code
        {12, "FFFB2E", 3, "-012.34", 3},  // second sign style
        {14, "300C8A", 0, " 032.10", 3},  {2, "000000", 1, " +00000.", 1},  {2, "FFFFFF", 1, " - 00001.", 1},
        {2, "01E240", 1, " +23456.", 1},  // 123456 keeps its last five digits
        {2, "800000", 1, " - 88608.", 1}, // most negative value
        {2, "003039", 0, " +12345.", 1},  // dp 0 is taken as 1
        {2, "003039", 7, " +.12345", 6},  // dp 7 as 6
        {3, "003039", 4, " +12.345", 4},  {4, "B00001", 0, " - 000.01", 3}, // sign bit with code 3
        {4, "800001", 0, " - 00001.", 1},                                   // point code 0 taken as 1
        {4, "7FFFFF", 0, " +.48575", 6},                                    // code 7 as 6; 0xFFFFF = 1048575
    };
    for (const FormatRow& r : rows) {
        const SetupImage image = ImageWith(97, r.field);
        int dp = r.dpIn;
        EXPECT_EQ(image.FormatField(r.kind, 97, dp), r.expected) << "kind " << r.kind << " " << r.field;
        EXPECT_EQ(dp, r.dpOut) << "kind " << r.kind << " " << r.field;
    }
}

TEST(FormatField, KindTwentyShowsOneByteAsThreeDecimalDigits) {
    int dp = 4;
    EXPECT_EQ(ImageWith(135, "0A").FormatField(20, 135, dp), "010");
    EXPECT_EQ(ImageWith(135, "F7").FormatField(20, 135, dp), "247");
    EXPECT_EQ(ImageWith(135, "00").FormatField(20, 135, dp), "000");
    EXPECT_EQ(dp, 4) << "kind 20 has no point";
}

struct StoreRow {
    int kind;
    const char* entered;
    const char* stored;
};

TEST(StoreEnteredValue, EncodesSignMagnitudeAndPointCode) {
    const StoreRow rows[] = {
        {2, "-00012.", "FFFFF4"}, {4, "+1.2345", "503039"},
        {2, "-00001.", "FFFFFF"}, {2, "-000.00", "000000"}, // minus zero is stored as zero
        {3, " 12.345", "003039"},                           // any sign character but "-" is positive
        {4, "-12345.", "903039"}, {4, "+.12345", "603039"},
        {4, "+12345", "103039"}, // no point: a whole number, code 1
        {2, "+99999.", "01869F"},
    };
    for (const StoreRow& r : rows) {
        SetupImage image = ImageWith(103, "ABCDEF");
        image.StoreEnteredValue(r.kind, 103, r.entered);
        EXPECT_EQ(image.Mid(103, 6), r.stored) << "kind " << r.kind << " " << r.entered;
        EXPECT_EQ(image.text.size(), 136U);
    }
}

TEST(StoreEnteredValue, LeavesTheFieldAloneForEmptyTextOrOtherKinds) {
    SetupImage image = ImageWith(103, "ABCDEF");
    image.StoreEnteredValue(2, 103, "");
    image.StoreEnteredValue(7, 103, "+00012.");
    image.StoreEnteredValue(20, 103, "+00012.");
    EXPECT_EQ(image.Mid(103, 6), "ABCDEF");
}

// The entry dialog's text for a value at a point code: sign, five digits, point.
std::string EntryText(bool negative, int magnitude, int dp) {
    std::string digits = std::to_string(magnitude);
    digits.insert(0, 5 - digits.size(), '0');
    digits.insert(static_cast<std::size_t>(6 - dp), ".");
    return (negative ? "-" : "+") + digits;
}

TEST(StoreEnteredValue, RoundTripsThroughFormatFieldForEveryKindAndPoint) {
    const int magnitudes[] = {0, 1, 9, 10, 1234, 32767, 65535, 99999};
    for (int kind : {2, 3, 4}) {
        for (int dp = 1; dp <= 6; ++dp) {
            for (int m : magnitudes) {
                for (bool negative : {false, true}) {
                    const std::string entered = EntryText(negative, m, dp);
                    SetupImage image = ImageWith(1, "");
                    image.StoreEnteredValue(kind, 73, entered);
                    int shownDp = kind == 4 ? 0 : dp;
                    const std::string shown = image.FormatField(kind, 73, shownDp);
                    const bool minus = negative && (m != 0 || kind == 4);
                    EXPECT_EQ(shown, (minus ? " - " : " +") + entered.substr(1)) << "kind " << kind;
                    EXPECT_EQ(shownDp, dp) << entered;
                }
            }
        }
    }
}

TEST(SetupImage, ShortOrDamagedTextReadsAsZeroAndNeverOutOfBounds) {
    SetupImage image;
    image.text = "Z#";
    EXPECT_EQ(image.ByteAt(1), 0);
    EXPECT_EQ(image.GetBits(7, 0, 1), 0);
    EXPECT_EQ(image.GetBits(7, 0, 135), 0);
    EXPECT_EQ(image.GetBits(7, 0, -3), 0);
    EXPECT_EQ(image.GetBits(2, 5, 1), 0) << "lo above hi selects no bits";
    EXPECT_EQ(image.ByteAt(INT_MAX), 0);
    int dp = 3;
    EXPECT_EQ(image.FormatField(4, INT_MAX, dp), " +00000.");
    EXPECT_EQ(image.FormatField(2, 97, dp), " +00000.");
    image.text = "1G";
    EXPECT_EQ(image.ByteAt(1), 0x10) << "a non-hex digit reads as 0";
}

TEST(SetupImage, WritesGrowAShortTextWithZerosOnlyAsFarAsNeeded) {
    SetupImage image;
    image.text = "";
    image.SetBits(1, 0, 5, 3);
    EXPECT_EQ(image.text, "000003");
    image.Put(3, "AB");
    EXPECT_EQ(image.text, "00AB03");
    image.StoreEnteredValue(2, 5, "-00001.");
    EXPECT_EQ(image.text, "00ABFFFFFF");
    image.Put(0, "99");
    image.SetBits(7, 0, -1, 0x99);
    image.Put(INT_MAX, "99");
    EXPECT_EQ(image.text, "00ABFFFFFF") << "writes at impossible positions are dropped";
}

TEST(SetupImage, MidLeavesOutWhatLiesOutsideTheText) {
    SetupImage image;
    image.text = "ABC";
    EXPECT_EQ(image.Mid(2, 100), "BC");
    EXPECT_EQ(image.Mid(-5, 7), "A");
    EXPECT_EQ(image.Mid(4, 2), "");
    EXPECT_EQ(image.Mid(1, 0), "");
    EXPECT_EQ(image.Mid(INT_MAX, INT_MAX), "");
}

TEST(CharName, NamesControlCodesAndShowsOtherCharacters) {
    EXPECT_EQ(CharName(0), "nul");
    EXPECT_EQ(CharName(13), "cr ");
    EXPECT_EQ(CharName(32), "sp ");
    EXPECT_EQ(CharName(42), "*");
    EXPECT_EQ(CharName(255), std::string(1, '\xFF'));
    EXPECT_EQ(CharName(-1), "");
    EXPECT_EQ(CharName(256), "");
}

} // namespace
} // namespace wm
