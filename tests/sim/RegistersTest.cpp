#include <gtest/gtest.h>

#include <limits>

#include "setup/Defaults.h"
#include "sim/Registers.h"
#include "sim/SimFraming.h"

namespace wm::sim {
namespace {

TEST(Registers, scaleValueBecomesFiveDigitsAndDecimalPointCode) {
    struct Row {
        std::int32_t value;
        const char* field;
    };
    const Row rows[] = {
        {1234567, "40303A"}, // 12346, code 4
        {100005, "502710"}, // 10000.5 rounds to even
        {-5, "E00005"},
        {-1, "E00001"},
        {0, "600000"},
        {0x7FFFFFFF, "1053E3"}, // 21475 after five divisions, code 1
        {std::numeric_limits<std::int32_t>::min(), "9053E3"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ScaledText(r.value), r.field) << r.value;
}

TEST(Registers, scaleFieldReportsMagnitudeTimesPowerOfTen) {
    struct Row {
        const char* field;
        std::int32_t value;
    };
    const Row rows[] = {
        {"40303A", 1234600},
        {"E00005", -5},
        {"502710", 100000},
        {"000001", 100000}, // code 0 is read as code 1
        {"700001", 1}, // code 7 is read as code 6
        {"1FFFFF", std::numeric_limits<std::int32_t>::max()}, // beyond 32 bits: saturates
    };
    for (const Row& r : rows)
        EXPECT_EQ(ScaledValue(r.field), r.value) << r.field;
}

TEST(Registers, sixDigitFieldIsA24BitSignedValue) {
    EXPECT_EQ(FieldValue("FFFF9C"), -100);
    EXPECT_EQ(FieldValue("7FFFFF"), 0x7FFFFF);
    EXPECT_EQ(FieldText(-100), "FFFF9C");
    EXPECT_EQ(FieldText(100), "000064");
}

// Where a Modbus Get takes each register's digits from: a register pair
// gives the low byte of the first and all of the second (six digits), a
// single register its low byte.
struct GetRow {
    std::uint16_t reg;
    int pos;
    bool pair;
};
constexpr GetRow GetRows[] = {
    {0x0001, 115, true},  {0x0003, 109, true},  {0x000B, 97, true},   {0x0011, 91, true},
    {0x0013, 85, true},   {0x0015, 79, true},   {0x0017, 73, true},   {0x0019, 1, true},
    {0x0021, 27, true},   {0x0023, 21, true},   {0x0029, 67, true},   {0x002B, 61, true},
    {0x0041, 59, false},  {0x0042, 57, false},  {0x0045, 55, false},  {0x0046, 53, false},
    {0x0047, 51, false},  {0x0048, 49, false},  {0x0049, 47, false},  {0x004A, 45, false},
    {0x004B, 9, false},   {0x004C, 133, false}, {0x004D, 33, false},  {0x004E, 43, false},
    {0x004F, 41, false},  {0x0051, 11, false},  {0x0052, 37, false},  {0x0057, 39, false},
    {0x005D, 127, false}, {0x005E, 125, false}, {0x005F, 135, false}, {0x0064, 131, false},
    {0x0065, 123, false}, {0x0066, 121, false}, {0x0068, 35, false},
};

std::string TestImage() {
    // Every byte different from its neighbours, so a register read from the
    // wrong place shows.
    std::string image;
    for (int i = 0; i < 68; ++i)
        image += HexByte(static_cast<unsigned>(i * 7 + 3));
    return image;
}

std::string LowDigits(std::uint16_t v) { return HexByte(v & 0xFF); }

TEST(Registers, everyRegisterOfTheGetReadsItsImageDigits) {
    const std::string image = TestImage();
    for (const GetRow& r : GetRows) {
        const auto at = static_cast<std::size_t>(r.pos - 1);
        std::string got = LowDigits(ReadHolding(image, r.reg));
        if (r.pair) got += HexWord(ReadHolding(image, static_cast<std::uint16_t>(r.reg + 1)));
        EXPECT_EQ(got, image.substr(at, r.pair ? 6 : 2)) << std::hex << r.reg;
    }
    EXPECT_EQ(ReadHolding(image, 0x0050), 0) << "a register no field uses";
}

TEST(Registers, putRequestsWriteBackEveryFieldTheGetReads) {
    const std::string target = TestImage();
    std::string image(DefaultSetupText);
    std::map<std::uint16_t, std::uint16_t> writes;
    for (const GetRow& r : GetRows) {
        const std::string digits = target.substr(static_cast<std::size_t>(r.pos - 1), r.pair ? 6 : 2);
        if (!r.pair) {
            writes[r.reg] = static_cast<std::uint16_t>(std::stoul(digits, nullptr, 16));
            continue;
        }
        // The high byte of the first register is the sign extension of the field.
        const std::string eight = (digits[0] >= '8' ? "FF" : "00") + digits;
        writes[r.reg] = static_cast<std::uint16_t>(std::stoul(eight.substr(0, 4), nullptr, 16));
        writes[static_cast<std::uint16_t>(r.reg + 1)] =
            static_cast<std::uint16_t>(std::stoul(eight.substr(4), nullptr, 16));
    }
    WriteHolding(image, writes);
    for (const GetRow& r : GetRows) {
        const auto at = static_cast<std::size_t>(r.pos - 1), len = static_cast<std::size_t>(r.pair ? 6 : 2);
        EXPECT_EQ(image.substr(at, len), target.substr(at, len)) << std::hex << r.reg;
    }
}

TEST(Registers, writingOneHalfOfAPairKeepsTheOther) {
    std::string image(DefaultSetupText); // setpoint 1 is 0003E8
    WriteHolding(image, {{0x0002, 0x0064}});
    EXPECT_EQ(image.substr(114, 6), "000064");
    WriteHolding(image, {{0x0001, 0xFFFF}});
    EXPECT_EQ(image.substr(114, 6), "FF0064");
}

} // namespace
} // namespace wm::sim
