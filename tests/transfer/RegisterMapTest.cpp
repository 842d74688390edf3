#include <gtest/gtest.h>

#include <set>

#include "setup/Defaults.h"
#include "transfer/RegisterMap.h"

namespace wm {
namespace {

// A setup whose every register-held character differs from its
// neighbours', with numeric fields inside +-99999 and a scale in its
// shortest form: the values a Put and a Get carry unchanged.
SetupImage VariedSetup() {
    SetupImage im;
    im.text = std::string(DefaultSetupText);
    int n = 0;
    for (const RegisterDef& r : ModbusRegisters) {
        ++n;
        switch (r.encoding) {
        case RegEncoding::LowByte: im.Put(r.pos, Hex(static_cast<std::uint32_t>(0x11 * n + 3), 2)); break;
        case RegEncoding::Pair:
            im.Put(r.pos, n % 2 == 0 ? Hex(static_cast<std::uint32_t>(0x1000 * n + n), 6)
                                     : Hex(static_cast<std::uint32_t>(0x1000000 - 0x100 * n - n), 6));
            break;
        case RegEncoding::Scaled: im.Put(r.pos, "C0303A"); break;
        case RegEncoding::Zero: break;
        }
    }
    return im;
}

// Register digits of a read reply of the block: the map's values where it
// has a row, "BEEF" for registers a Get reads past.
std::string ReadDigits(const SetupImage& image, const RegisterBlock& block) {
    std::string digits;
    for (int reg = block.start; reg < block.start + block.count;) {
        const RegisterDef* row = FindRegister(reg);
        digits += row != nullptr ? RegisterValues(image, *row) : "BEEF";
        reg += row != nullptr ? row->Count() : 1;
    }
    return digits;
}

TEST(RegisterMap, keepsItsOwnRules) { EXPECT_TRUE(RegisterMapConsistent()); }

TEST(RegisterMap, everyRegisterWrittenFromTheImageLandsBackOnItsOwnCharacters) {
    const SetupImage source = VariedSetup();
    for (const RegisterDef& r : ModbusRegisters) {
        SetupImage landed;
        landed.text = std::string(136, '7');
        LandRegister(landed, r, RegisterValues(source, r));
        std::string expected(136, '7');
        if (r.landed)
            expected.replace(static_cast<std::size_t>(r.pos - 1), static_cast<std::size_t>(r.Width()),
                             source.Mid(r.pos, r.Width()));
        EXPECT_EQ(landed.text, expected) << "register " << std::hex << r.reg;
    }
}

TEST(RegisterMap, aGetOfWhatAPutWroteGivesBackTheSetup) {
    const SetupImage source = VariedSetup();
    for (const bool ethernet : {false, true}) {
        SetupImage landed;
        landed.text = std::string(136, '7');
        for (const RegisterBlock& block : GetBlocks(ethernet)) LandBlock(landed, block, ReadDigits(source, block));
        std::set<int> held;
        for (const RegisterDef& r : ModbusRegisters) {
            if (!r.landed) continue;
            for (int c = r.pos; c < r.pos + r.Width(); ++c) held.insert(c);
        }
        for (int c = 1; c <= 136; ++c)
            EXPECT_EQ(landed.Mid(c, 1), held.count(c) != 0 ? source.Mid(c, 1) : "7")
                << "character " << c << (ethernet ? " through the node" : " on the serial line");
    }
    // The registers a Put writes are the same values, block by block.
    for (const RegisterBlock& block : PutBlocks)
        EXPECT_EQ(BlockValues(source, block), ReadDigits(source, block)) << std::hex << block.start;
}

// Values a Put cannot carry as they are: what the Get then lands.
TEST(RegisterMap, valuesOutsideTheRegistersComeBackAsTheNearestTheyHold) {
    struct Row {
        const char* field; // Pair: SetPt1; Scaled: Scale
        bool scaled;
        const char* landed;
    };
    for (const Row r : {Row{"0F0000", false, "01869F"}, Row{"F00000", false, "FE7961"}, Row{"100001", true, "502710"},
                        Row{"000001", true, "502710"}}) {
        const RegisterDef& row = *FindRegister(r.scaled ? 0x09 : 0x01);
        SetupImage source, landed;
        source.Put(row.pos, r.field);
        LandRegister(landed, row, RegisterValues(source, row));
        EXPECT_EQ(landed.Mid(row.pos, 6), r.landed) << r.field;
    }
}

TEST(RegisterMap, requestHeadsAreTheOnesTheMeterHasAlwaysBeenSent) {
    std::vector<std::string> heads;
    for (const RegisterBlock& b : PutBlocks) heads.push_back(WriteRequestHead(b));
    EXPECT_EQ(heads, (std::vector<std::string>{"100001000C18", "100011000A14", "100021000C18", "10004D000B16",
                                               "10005D000306", "100041000C18"}));
    heads.clear();
    for (const RegisterBlock& b : GetBlocks(false)) heads.push_back(ReadRequest(b));
    EXPECT_EQ(heads, (std::vector<std::string>{"030001000C", "030011001C", "030041000B", "03004C000C", "03005D000C"}));
    heads.clear();
    for (const RegisterBlock& b : GetBlocks(true)) heads.push_back(ReadRequest(b));
    EXPECT_EQ(heads, (std::vector<std::string>{"030001000C", "030011000A", "030021000C", "030041000B", "03004C000C",
                                               "03005D000C"}));
}

TEST(RegisterMap, blocksTellWhichOfThemCarryTheDuplexBitAndTheSlaveAddress) {
    const int duplex = FieldNamed("Duplex").pos, address = FieldNamed("ModbusAddr").pos;
    for (const RegisterBlock& b : GetBlocks(false)) {
        EXPECT_EQ(BlockLands(b, duplex), b.start == 0x41) << std::hex << b.start;
        EXPECT_EQ(BlockLands(b, address), b.start == 0x5D) << std::hex << b.start;
    }
    for (const RegisterBlock& b : PutBlocks) EXPECT_EQ(BlockWrites(b, address), b.start == 0x5D) << std::hex << b.start;
}

TEST(RegisterMap, slaveAddressZeroBecomesOneAndNoOtherIsTouched) {
    for (const auto& [before, after] :
         std::vector<std::pair<std::string, std::string>>{{"00", "01"}, {"01", "01"}, {"2A", "2A"}, {"0", "0"}}) {
        SetupImage im;
        im.text = std::string(134, 'C') + before;
        MakeBroadcastAddressOne(im);
        EXPECT_EQ(im.text, std::string(134, 'C') + after) << before;
    }
}

} // namespace
} // namespace wm
