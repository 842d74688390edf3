#include "setup/Fields.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace wm {
namespace {

static_assert(FieldNamed("ExtAB").pos == 53);
static_assert(FieldNamed("Scale").kind == FieldKind::Scale);

SetupImage ZeroImage() {
    SetupImage image;
    image.text = std::string(136, '0');
    return image;
}

TEST(InCode, EncodesModesSkippingElevenAndDecodesElevenAsRatio) {
    const std::pair<int, int> modeToCode[] = {{2, 6}, {3, 7}, {6, 10}, {7, 12}, {8, 13}};
    for (auto [mode, code] : modeToCode) {
        EXPECT_EQ(EncodeInCode(mode), code) << "mode " << mode;
        EXPECT_EQ(DecodeInCode(code), mode) << "code " << code;
    }
    EXPECT_EQ(DecodeInCode(11), 6);
    for (const InputModeDef& m : InputModes) EXPECT_EQ(EncodeInCode(m.inputMode), m.inCode) << m.text;
}

TEST(InCode, RangeByteIsCodeTimesSixteenPlusRange) {
    EXPECT_EQ(RangeByteText(6, 0), "A0");
    EXPECT_EQ(RangeByteText(8, 0), "D0");
    EXPECT_EQ(RangeByteText(3, 3), "73");
    SetupImage image = ZeroImage();
    StoreRangeByte(image, 7, 4);
    EXPECT_EQ(image.Mid(55, 2), "C4");
}

// The range texts themselves are pinned where they are shown (DescribeSetup).
TEST(InputRanges, RatioHasThreeRangesAndModesWithoutARuleAreNotLimited) {
    ASSERT_EQ(FindInputMode(6)->ranges.size(), 3U);
    EXPECT_EQ(FindInputMode(6)->ranges[2], " 20.0V");
    EXPECT_EQ(FindInputMode(4), nullptr);
    EXPECT_EQ(MaxRange(2), 4);
    EXPECT_EQ(MaxRange(3), 3);
    EXPECT_EQ(MaxRange(6), 2);
    EXPECT_EQ(MaxRange(5), -1) << "modes 4 and 5 are not limited";
    EXPECT_EQ(ModesForScType(2).size(), 3U);
    EXPECT_EQ(ModesForScType(3).front().text, "Strain");
    EXPECT_TRUE(ModesForScType(4).empty());
}

TEST(InputDP, FollowsModeAndRange) {
    struct Row {
        int mode, range, dp;
    };
    const Row rows[] = {{2, 0, 6}, {2, 4, 2}, {6, 2, 4}, {3, 0, 5}, {3, 2, 3}, {3, 3, 4},
                        {7, 0, 4}, {7, 1, 4}, {7, 2, 3}, {8, 4, 3}, {4, 0, 9}, {-4, 0, 9}};
    for (const Row& r : rows) EXPECT_EQ(InputDPFor(r.mode, r.range, 9), r.dp) << r.mode << "/" << r.range;
}

struct DeriveRow {
    const char* type;
    const char* rangeByte;
    int scType, mode, range, inputDP;
};

TEST(DeriveSetup, CorrectsModeAndRangeButNotTheImage) {
    const DeriveRow rows[] = {
        {"03", "A2", 3, 7, 2, 3},                           // Ratio is not a load-cell mode
        {"01", "75", 1, 3, 0, 5},                           // range 5 is past the current list
        {"01", "73", 1, 3, 3, 4}, {"01", "B1", 1, 6, 1, 5}, // InCode 11 decodes to Ratio
        {"01", "D0", 1, 2, 0, 6},                           // a load-cell mode on a DC board
        {"02", "60", 2, 2, 0, 6},                           // unknown type: left for the check to ask about
        {"1F", "C0", 0, 7, 0, 4},                           // not a decimal code: never DC or load cell
        {"01", "35", 1, 2, 0, 6},                           // InCode 3 decodes to mode -1 on a DC board
    };
    for (const DeriveRow& r : rows) {
        SetupImage image = ZeroImage();
        image.Put(35, r.type);
        image.Put(55, r.rangeByte);
        const std::string before = image.text;
        const DerivedSetup d = DeriveSetup(image);
        EXPECT_EQ(d.ScTypeText, r.type);
        EXPECT_EQ(d.ScType, r.scType) << r.type << r.rangeByte;
        EXPECT_EQ(d.InputMode, r.mode) << r.type << r.rangeByte;
        EXPECT_EQ(d.InputRange, r.range) << r.type << r.rangeByte;
        EXPECT_EQ(d.InputDP, r.inputDP) << r.type << r.rangeByte;
        EXPECT_EQ(image.text, before);
    }
}

TEST(DeriveSetup, ReadsDisplayPointAndBoardOptions) {
    SetupImage image = ZeroImage();
    image.Put(35, "01");
    image.Put(55, "30"); // mode -1 has no point rule
    image.Put(39, "F7");
    image.Put(49, "6D");
    DerivedSetup prior;
    prior.InputDP = 2;
    const DerivedSetup d = DeriveSetup(image, prior);
    EXPECT_EQ(d.DisplayDP, 7) << "left raw; FormatField clamps it";
    EXPECT_EQ(d.RlyOpt, 1);
    EXPECT_EQ(d.AnaOpt, 1);
    EXPECT_EQ(d.ComOpt, 3);
    image.Put(35, "07");
    EXPECT_EQ(DeriveSetup(image, prior).InputDP, 2) << "a mode without a rule keeps the old point";
}

TEST(ExtAB, TextsHoldTheExactBlankRuns) {
    EXPECT_EQ(ExtABTexts[0], "Meter Reset" + std::string(38, ' ') + "Meter Hold");
    EXPECT_EQ(ExtABTexts[7], "Tare Reset" + std::string(41, ' ') + "Tare");
    EXPECT_EQ(ExtABTexts[15], "Meter Hold" + std::string(41, ' ') + "Display Item");
}

TEST(Lockouts, CodesPlaceEachBoxOnItsByteAndBit) {
    const LockoutPlace expected[16] = {{43, 3}, {43, 2}, {43, 1}, {43, 0}, {43, 7}, {43, 6},
                                       {43, 5}, {43, 4}, {41, 3}, {41, 2}, {41, 1}, {41, 0},
                                       {41, 7}, {41, 6}, {41, 5}, {41, 4}};
    std::set<std::pair<int, int>> seen;
    for (int i = 0; i < 16; ++i) {
        const LockoutPlace p = LockoutPlaceOf(i);
        EXPECT_EQ(p.byte, expected[i].byte) << i;
        EXPECT_EQ(p.bit, expected[i].bit) << i;
        seen.insert({p.byte, p.bit});
    }
    EXPECT_EQ(seen.size(), 16U);
}

// Bits each field occupies in its byte.
int MaskOf(const FieldDef& f) { return ((1 << (f.hi - f.lo + 1)) - 1) << f.lo; }

TEST(Catalogue, FieldsLieInsideTheImageAndNeverShareABitOrCharacter) {
    std::map<int, int> used; // byte position -> bits taken
    std::set<int> numericChars;
    std::set<std::string_view> names;
    for (const FieldDef& f : AllFields()) {
        EXPECT_TRUE(names.insert(f.name).second) << "duplicate " << f.name;
        EXPECT_GE(f.pos, 1) << f.name;
        EXPECT_LE(f.LastPos(), 136) << f.name;
        for (const CharRange& r : UninterpretedRanges)
            EXPECT_TRUE(f.LastPos() < r.pos || f.pos >= r.pos + r.len)
                << f.name << " reads carried characters";
        if (f.type == FieldType::Numeric) {
            EXPECT_TRUE(f.kind >= 2 && f.kind <= 4) << f.name;
            for (int c = f.pos; c <= f.LastPos(); ++c) numericChars.insert(c);
            continue;
        }
        EXPECT_EQ(f.pos % 2, 1) << f.name << " must start a byte";
        ASSERT_TRUE(f.lo >= 0 && f.lo <= f.hi && f.hi <= 7) << f.name;
        EXPECT_EQ(used[f.pos] & MaskOf(f), 0) << f.name << " overlaps another field";
        used[f.pos] |= MaskOf(f);
    }
    for (const auto& [pos, mask] : used) {
        EXPECT_FALSE(numericChars.count(pos) || numericChars.count(pos + 1)) << "byte " << pos;
        (void)mask;
    }
}

TEST(Catalogue, EveryBitOfTheSetupBytesIsAFieldOrKnownToBeUnused) {
    // Bits the meter's setup does not use; they pass through unchanged.
    const std::map<int, int> unused = {{9, 0x80},  {33, 0xE0}, {35, 0xFC}, {37, 0xF0},
                                       {39, 0xF8}, {49, 0x13}, {57, 0xE0}};
    std::map<int, int> used;
    for (const FieldDef& f : AllFields())
        if (f.type != FieldType::Numeric && f.pos <= 60) used[f.pos] |= MaskOf(f);
    for (int pos = 9; pos <= 59; pos += 2) {
        if (pos >= 13 && pos <= 32) continue; // carried and numeric characters
        const auto it = unused.find(pos);
        EXPECT_EQ(used[pos] | (it == unused.end() ? 0 : it->second), 0xFF) << "byte " << pos;
    }
}

TEST(Catalogue, ListsFitTheirBits) {
    for (const FieldDef& f : AllFields()) {
        if (f.type != FieldType::Bits) continue;
        if (f.shown == Shown::ListText && f.hi == f.lo) {
            EXPECT_EQ(f.texts.size(), 2U) << f.name;
        }
        EXPECT_LE(f.texts.size(), std::size_t{1} << (f.hi - f.lo + 1)) << f.name;
        if (!f.codes.empty()) {
            EXPECT_EQ(f.codes.size(), f.texts.size()) << f.name;
        }
        for (int code : f.codes) EXPECT_LE(code, (1 << (f.hi - f.lo + 1)) - 1) << f.name;
    }
}

TEST(Catalogue, FindsFieldsByNameAndControl) {
    EXPECT_EQ(FindField("nope"), nullptr);
    ASSERT_NE(FindFieldByControl("txtSetpt1"), nullptr);
    EXPECT_EQ(FindFieldByControl("txtSetpt1")->name, "SetPt1");
    EXPECT_EQ(FindFieldByControl("cboSCOpt")->name, "ScTypeCode");
    EXPECT_EQ(FindFieldByControl("chkLock(4)")->name, "Lockout4");
    EXPECT_EQ(FindFieldByControl("chkLock"), nullptr) << "an array's elements are named with their index";
    EXPECT_EQ(FindField("Lock1"), nullptr) << "the lockout bytes are no fields of their own";
    static_assert(FieldNamed("Lock1").pos == 43 && FieldNamed("Lock2").pos == 41);
    EXPECT_EQ(FindFieldByControl(""), nullptr) << "fields without a control are not found by it";
}

TEST(Catalogue, ShownTextCoversCodesPastTheList) {
    const struct {
        const char* field;
        int code;
        const char* text;
    } rows[] = {{"OutItems", 6, "Net Only"}, {"OutItems", 4, "Net + Gross + Peak"},
                {"AutoZ", 12, "code 12"},    {"CntBy", 9, "Count by 1000's"},
                {"BaudRate", 7, "code 7"},   {"State1", 3, "code 3"},
                {"DecPt", 0, "code 0"},      {"DecPt", 3, "ddd . dd"},
                {"DecPt", 7, "code 7"},      {"ScTypeCode", 3, "Load Cell"},
                {"ScTypeCode", 2, "code 2"}, {"TimConst", 15, "No Filter"},
                {"ComOpt", 3, "code 3"},     {"InCode", 10, "Ratio"}};
    for (const auto& r : rows) EXPECT_EQ(ShownText(*FindField(r.field), r.code), r.text) << r.field << r.code;
    EXPECT_EQ(EntryForCode(FieldNamed("DecPt"), 1), 0);
    EXPECT_EQ(EntryForCode(FieldNamed("AutoZ"), 10), -1);
    EXPECT_EQ(EntryForCode(FieldNamed("OutItems"), 7), 1);
    EXPECT_EQ(CodeForEntry(FieldNamed("DecPt"), 5), 6);
    EXPECT_EQ(CodeForEntry(FieldNamed("ScTypeCode"), 1), 3);
    EXPECT_EQ(CodeForEntry(FieldNamed("ExtAB"), 15), 15);
}

TEST(Catalogue, StoresCodesExceptIntoReadOnlyAndNumericFields) {
    SetupImage image = ZeroImage();
    EXPECT_TRUE(StoreFieldCode(image, FieldNamed("ExtAB"), 15));
    EXPECT_TRUE(StoreFieldCode(image, FieldNamed("DummyZ"), 1));
    EXPECT_EQ(image.Mid(53, 2), "8F");
    EXPECT_FALSE(StoreFieldCode(image, FieldNamed("LockJumper"), 1));
    EXPECT_FALSE(StoreFieldCode(image, FieldNamed("Tare"), 1));
    EXPECT_EQ(image.Mid(49, 2), "00");
    EXPECT_EQ(image.Mid(1, 6), "000000");
}

TEST(Catalogue, HelpTopicsFollowTypeAndModeWhereTheyDependOnThem) {
    DerivedSetup d;
    d.ScType = 3;
    d.InputMode = 7;
    EXPECT_EQ(HelpTopicOf(FieldNamed("InCode"), d), 1308);
    EXPECT_EQ(HelpTopicOf(FieldNamed("Func"), d), 1316);
    EXPECT_EQ(HelpTopicOf(FieldNamed("AnaHi"), d), 2167);
}

TEST(ScalingMethod, ReadingCoordinatesLeaveCoordAsItWas) {
    SetupImage image = ZeroImage();
    SetScalingMethod(image, ScalingMethod::Coordinates);
    EXPECT_EQ(ScalingMethodOf(image), ScalingMethod::Coordinates);
    SetScalingMethod(image, ScalingMethod::ReadingCoordinates);
    EXPECT_EQ(ScalingMethodOf(image), ScalingMethod::ReadingCoordinates);
    EXPECT_EQ(image.GetBits(4, 4, 53), 1);
    SetScalingMethod(image, ScalingMethod::Coordinates);
    EXPECT_EQ(image.GetBits(3, 3, 33), 0);
    SetScalingMethod(image, ScalingMethod::ScaleOffset);
    EXPECT_EQ(image.Mid(33, 2) + image.Mid(53, 2), "0000");
}

} // namespace
} // namespace wm
