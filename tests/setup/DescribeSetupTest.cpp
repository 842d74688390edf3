#include <gtest/gtest.h>

#include <map>
#include <string>

#include "setup/Defaults.h"
#include "setup/Fields.h"

namespace wm {
namespace {

SetupImage DefaultImage() {
    SetupImage image;
    image.text = std::string(DefaultSetupText);
    return image;
}

std::map<std::string, FieldRow> RowsByName(const SetupImage& image) {
    std::map<std::string, FieldRow> rows;
    for (const FieldRow& row : DescribeSetup(image)) {
        EXPECT_TRUE(rows.emplace(row.name, row).second) << "duplicate row " << row.name;
    }
    return rows;
}

TEST(DescribeSetup, ShowsTheDefaultSetupAsThePagesDo) {
    const auto rows = RowsByName(DefaultImage());
    const struct {
        const char* name;
        const char* code;
        const char* text;
    } expected[] = {
        {"Tare", "000000", " +00000."}, // the default image is DefaultSetupText, 136 characters
        {"OutItems", "1", "Net Only"},
        {"ScTypeCode", "01", "DC"},
        {"AnaSource", "2", "Unfiltered Net"},
        {"DecPt", "1", "ddddd ."},
        {"Address", "1", " 1 (1)"},
        {"BaudRate", "5", " 9600"},
        {"ComOpt", "1", "RS232 Board"},
        {"RlyOpt", "1", "Relay Board"},
        {"LockJumper", "0", "  Lockout  jumper IS NOT installed"},
        {"TimConst", "6", " 1.2 Sec"},
        {"InCode", "6", "DC V"},
        {"Func", "0", "  0.2V"},
        {"AnaHi", "004E20", " +20000."},
        {"HiIn", "004E20", " +.20000"}, // InputDP 6 for DC V, range 0
        {"Scale", "100001", " +00001."},
        {"SetPt1", "0003E8", " +01000."},
        {"Revision", "6", "6"},
        {"StopChar", "13", "cr "},
        {"StartChar", "42", "*"},
        {"ModbusAddr", "1", "1"},
        {"DisThresh", "0", "off"},
        {"ScaleMethod", "0", "Scale,Offset"},
        {"InputDP", "6", " . ddddd"},
        {"Lockout0", "0", "Change Display Item: off"},
        {"Lockout3", "0", "Count: off"},
    };
    for (const auto& e : expected) {
        const auto it = rows.find(e.name);
        ASSERT_NE(it, rows.end()) << e.name;
        EXPECT_EQ(it->second.code, e.code) << e.name;
        EXPECT_EQ(it->second.text, e.text) << e.name;
    }
    EXPECT_EQ(rows.at("ExtAB").text, ExtABTexts[0]);
    EXPECT_EQ(rows.size(), AllFields().size() + 2);
}

TEST(DescribeSetup, SaysWhenTheShownModeOrRangeDiffersFromTheStoredCode) {
    SetupImage image = DefaultImage();
    image.Put(35, "03");
    image.Put(55, "A2");
    auto rows = RowsByName(image);
    EXPECT_EQ(rows["ScTypeCode"].text, "Load Cell");
    EXPECT_EQ(rows["InCode"].text, "code 10, shown as Strain");
    EXPECT_EQ(rows["Func"].text, " 100.0mV");
    EXPECT_EQ(rows["InputDP"].code, "3");

    image.Put(35, "01");
    image.Put(55, "75");
    rows = RowsByName(image);
    EXPECT_EQ(rows["InCode"].text, "DC A");
    EXPECT_EQ(rows["Func"].text, "code 5, shown as   2.0mA");

    image.Put(35, "02");
    rows = RowsByName(image);
    EXPECT_EQ(rows["ScTypeCode"].code, "02");
    EXPECT_EQ(rows["ScTypeCode"].text, "not DC or Load Cell");
}

TEST(DescribeSetup, MarksFieldsPastTheEndOfAShortImage) {
    SetupImage image = DefaultImage();
    image.text.resize(120);
    auto rows = RowsByName(image);
    EXPECT_EQ(rows["Revision"].text, "(not in image)");
    EXPECT_EQ(rows["Revision"].code, "");
    EXPECT_EQ(rows["ModbusAddr"].text, "(not in image)");
    EXPECT_EQ(rows["SetPt1"].code, "0003E8") << "the last field of the first block is still there";

    image.text.clear();
    for (const FieldRow& row : DescribeSetup(image)) {
        if (row.name == "ScaleMethod" || row.name == "InputDP") continue;
        EXPECT_EQ(row.text, "(not in image)") << row.name;
    }
}

TEST(DescribeSetup, CopesWithAnImageOfGarbage) {
    SetupImage image;
    for (int i = 0; i < 300; ++i) image.text += static_cast<char>((i * 37 + 11) % 256);
    const std::vector<FieldRow> rows = DescribeSetup(image);
    EXPECT_EQ(rows.size(), AllFields().size() + 2);
    const std::string json = DescribeSetupJson(image);
    for (char c : json) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "JSON keeps to printable ASCII";
    for (const FieldRow& row : rows)
        for (char c : FormatFieldRow(row)) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << row.name;
}

TEST(DescribeSetupJson, EscapesQuotesBackslashesAndNonAsciiBytes) {
    EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(JsonString(std::string("\x01\r\n\t", 4)), R"("\u0001\r\n\t")");
    EXPECT_EQ(JsonString("\xE9\x7F"), R"("\u00E9\u007F")");

    SetupImage image = DefaultImage();
    image.Put(127, "22"); // the start character is a double quote
    const std::string json = DescribeSetupJson(image);
    EXPECT_EQ(json.rfind("{\"length\":136,\"derived\":{\"ScType\":1,\"ScTypeText\":\"01\",", 0), 0U);
    EXPECT_NE(json.find(R"({"name":"StartChar","code":"34","text":"\""})"), std::string::npos);
    EXPECT_NE(json.find(R"({"name":"Tare","code":"000000","text":" +00000."})"), std::string::npos);
    EXPECT_EQ(json.back(), '}');
}

TEST(FormatFieldRow, QuotesTheTextAndEscapesUnprintableBytes) {
    EXPECT_EQ(FormatFieldRow({"StopChar", "13", "cr "}), "StopChar     13       \"cr \"");
    EXPECT_EQ(FormatFieldRow({"StartChar", "233", "\xE9"}), "StartChar    233      \"\\xE9\"");
}

} // namespace
} // namespace wm
