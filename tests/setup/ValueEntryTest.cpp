#include "setup/ValueEntry.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace wm {
namespace {

constexpr int Pos = 11; // a numeric field away from the image's ends

// The boxes as one text, "|" between them, hidden boxes left out.
std::string Boxes(const ValueEntry& entry) {
    std::string s;
    for (int i = entry.FirstBox(); i < ValueEntry::BoxCount; ++i) {
        if (i > entry.FirstBox()) s += '|';
        s += entry.Box(i);
    }
    return s;
}

// '<' and '>' are the arrow keys; every other character is typed.
std::vector<KeyOutcome> Press(ValueEntry& entry, std::string_view keys) {
    std::vector<KeyOutcome> outcomes;
    for (char c : keys) {
        if (c == '<') outcomes.push_back(entry.Left());
        else if (c == '>') outcomes.push_back(entry.Right());
        else outcomes.push_back(entry.Type(c));
    }
    return outcomes;
}

SetupImage ImageWith(const std::string& field) {
    SetupImage image;
    image.Put(Pos, field);
    return image;
}

struct StoreCase {
    const char* name;
    int kind;
    std::string field; // the stored digits before the entry
    int dp;            // the display point handed to FormatField (kinds 2, 3)
    std::string keys;
    std::string boxes; // after the keys
    std::string stored;
    std::string shown;
};

TEST(ValueEntry, KeySequencesStoreTheFieldAndGiveThePageText) {
    const StoreCase cases[] = {
        {"digitOnThePointBoxKeepsThePoint", 2, "003039", 3, ">>>9", "+|1|2|9.|4|5", "003291", " +129. 45"},
        {"negativeValueStoredAsTwosComplement", 2, "FFCFC7", 5, "", "-|1.|2|3|4|5", "FFCFC7", " - 1. 2345"},
        {"typedNegativeValue", 3, "000000", 5, "-12345", "-|1.|2|3|4|5", "FFCFC7", " - 1. 2345"},
        {"signTypedPositiveClearsTheNegative", 2, "FFCFC7", 5, "+", "+|1.|2|3|4|5", "003039", " +1. 2345"},
        {"pointAfterLastDigitGetsNoBlank", 2, "003039", 1, "", "+|1|2|3|4|5.", "003039", " +12345."},
        {"movablePointTypedOnBoxTwo", 4, "103039", 0, ">>.", "+|1|2.|3|4|5", "403039", " +12. 345"},
        {"movablePointNegativeAddsEight", 4, "903039", 0, ">>.", "-|1|2.|3|4|5", "C03039", " - 12. 345"},
        {"movablePointOnTheSignBox", 4, "103039", 0, ".", "+.|1|2|3|4|5", "603039", " +. 12345"},
        {"movablePointThenDigitsKeepIt", 4, "203039", 0, ">>>>.<<<9876", "+|9|8|7|6.|5", "2181CD", " +9876. 5"},
    };
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetupImage image = ImageWith(c.field);
        int dp = c.dp;
        ValueEntry entry(c.kind, Pos, image.FormatField(c.kind, Pos, dp));
        for (KeyOutcome o : Press(entry, c.keys)) EXPECT_EQ(o, KeyOutcome::Taken);
        EXPECT_EQ(Boxes(entry), c.boxes);
        EXPECT_EQ(entry.Enter(image), KeyOutcome::Stored);
        EXPECT_EQ(image.Mid(Pos, 6), c.stored);
        EXPECT_EQ(entry.EntryText(), c.shown);
        EXPECT_EQ(image.Mid(Pos + 6, 2), "00") << "neighbour untouched";
    }
}

TEST(ValueEntry, ByteAboveTwoFiftyFiveIsRefusedAndTheNextTryIsStored) {
    SetupImage image = ImageWith("05FF");
    ValueEntry entry(7, Pos, "5");
    EXPECT_EQ(Boxes(entry), "0|0|5");
    EXPECT_EQ(entry.Current(), 3);

    Press(entry, "256");
    EXPECT_EQ(entry.Enter(image), KeyOutcome::DroppedBeep);
    EXPECT_EQ(entry.Current(), 4);
    EXPECT_EQ(image.Mid(Pos, 4), "05FF");
    EXPECT_FALSE(entry.LastByteEntry());

    Press(entry, "<042");
    EXPECT_EQ(entry.Enter(image), KeyOutcome::Stored);
    EXPECT_EQ(image.Mid(Pos, 4), "2AFF");
    EXPECT_EQ(entry.EntryText(), " 42");
    EXPECT_EQ(entry.LastByteEntry(), 42);
}

TEST(ValueEntry, ByteOfZeroKeepsOneDigitAndTwoFiftyFiveIsAllowed) {
    const std::pair<std::string, std::string> entries[] = {{"000", " 0"}, {"255", " 255"}, {"200", " 200"}};
    for (const auto& [keys, shown] : entries) {
        SetupImage image = ImageWith("77");
        ValueEntry entry(7, Pos, " 42");
        Press(entry, keys);
        EXPECT_EQ(entry.Enter(image), KeyOutcome::Stored) << keys;
        EXPECT_EQ(entry.EntryText(), shown);
        EXPECT_EQ(image.ByteAt(Pos), std::stoi(keys));
    }
}

struct LoadCase {
    int kind;
    const char* text;
    std::string boxes;
    int pointCode;
    int current;
};

TEST(ValueEntry, LoadsTheBoxesFromThePageText) {
    const LoadCase cases[] = {
        {2, " +123.45", "+|1|2|3.|4|5", 3, 0},
        {3, "+12345", "+|1|2|3|4|5", 8, 0},     // no point: none is shown
        {2, " +.12345", "+.|1|2|3|4|5", 6, 0},
        {4, " - 1.2345", "-|1.|2|3|4|5", 5, 0}, // kind 4 steps over its point
        {7, " 42", "0|4|2", 1, 3},
        {7, "1234", "2|3|4", 1, 3},             // only the last three digits
        {7, "", "0|0|0", 1, 3},
    };
    for (const LoadCase& c : cases) {
        ValueEntry entry(c.kind, Pos, c.text);
        EXPECT_EQ(Boxes(entry), c.boxes) << c.text;
        EXPECT_EQ(entry.PointCode(), c.pointCode) << c.text;
        EXPECT_EQ(entry.Current(), c.current) << c.text;
    }
}

TEST(ValueEntry, ArrowsStopAtTheVisibleEndsAndLeftAfterRightOnTheLastBoxStaysOnce) {
    ValueEntry entry(2, Pos, " +123.45");
    entry.Left();
    EXPECT_EQ(entry.Current(), 0);
    Press(entry, ">>>>>");
    EXPECT_FALSE(entry.PastLastDigit()) << "arriving on the last box is not past it";
    entry.Right();
    EXPECT_TRUE(entry.PastLastDigit());
    entry.Left();
    EXPECT_EQ(entry.Current(), 5);
    entry.Left();
    EXPECT_EQ(entry.Current(), 4);
    Press(entry, "987");
    EXPECT_EQ(entry.Current(), 5);
    EXPECT_EQ(Boxes(entry), "+|1|2|3.|9|7");

    ValueEntry byte(7, Pos, "5");
    byte.Left();
    byte.Focus(1);
    EXPECT_EQ(byte.Current(), 3) << "the hidden boxes are never reached";
}

struct RefusalCase {
    int kind;
    int box;
    char key;
    KeyOutcome outcome;
};

TEST(ValueEntry, RefusedKeysBeepOutsideKindFourExceptThePoint) {
    const RefusalCase cases[] = {
        {2, 0, '5', KeyOutcome::DroppedBeep}, {2, 0, '.', KeyOutcome::Dropped},
        {2, 3, '+', KeyOutcome::DroppedBeep}, {3, 3, 'a', KeyOutcome::DroppedBeep},
        {3, 3, '.', KeyOutcome::Dropped},     {2, 0, '-', KeyOutcome::Taken},
        {7, 3, '3', KeyOutcome::DroppedBeep}, {7, 3, '2', KeyOutcome::Taken},
        {7, 4, '9', KeyOutcome::Taken},       {7, 4, '.', KeyOutcome::Dropped},
        {7, 5, '-', KeyOutcome::DroppedBeep}, {4, 0, '5', KeyOutcome::Dropped},
        {4, 2, 'x', KeyOutcome::Dropped},     {4, 2, '+', KeyOutcome::Dropped},
        {4, 0, '-', KeyOutcome::Taken},       {4, 5, '0', KeyOutcome::Taken},
    };
    for (const RefusalCase& c : cases) {
        ValueEntry entry(c.kind, Pos, c.kind == 7 ? "5" : " +123.45");
        entry.Focus(c.box);
        const std::string before = Boxes(entry);
        EXPECT_EQ(entry.Type(c.key), c.outcome) << "kind " << c.kind << " box " << c.box << " key " << c.key;
        if (c.outcome != KeyOutcome::Taken) {
            EXPECT_EQ(Boxes(entry), before);
            EXPECT_EQ(entry.Current(), c.box);
        }
    }
}

} // namespace
} // namespace wm
