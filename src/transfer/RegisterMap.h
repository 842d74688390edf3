#pragma once
// The meter's Modbus holding registers and where the setup image keeps each
// one: a single table that a Get lands its read replies through and a Put
// builds its writes from, and the blocks in which the two transfer them.
//
// Every register the program reads or writes has one row, in register
// order. A row names the catalogue field whose characters (numeric fields)
// or whose byte (every other field) the register holds. Besides the setup
// fields there are three kinds of rows:
//  - copies: 0005-0008, 0025-0028, 0043 and 0044 are registers this
//    program does not show; a Put fills them with the values of 0001-0004,
//    0021-0024, 0041 and 0042, as the meter has always been sent them, and
//    a Get reads past them;
//  - unused registers in the middle of a write (0050, 0053-0056): written 0;
//  - register 0064, whose low byte the image carries at 131-132 without
//    reading it.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "setup/Fields.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"
#include "setup/SetupImage.h"

namespace wm {

// How a register, or a pair of registers, holds its part of the image.
enum class RegEncoding : std::uint8_t {
    Pair,    // two registers, one six-character numeric field: the field is the low
             // byte of the first register and the whole second one; written
             // sign-extended, limited to +-99999
    LowByte, // one register holding a whole byte of the image in its low byte;
             // written with high byte 00
    Scaled,  // 0009-000A: the scale as one signed 32-bit number
             // (ScaledFieldFromRegisters, ScaledFieldToHex8)
    Zero,    // a register the setup does not use: written 0000, read past
};

struct RegisterDef {
    int reg = 0;
    RegEncoding encoding = RegEncoding::Zero;
    const FieldDef* field = nullptr; // the field held; nullptr for an unused or a carried register
    int pos = 0;                     // first image character held (0 for an unused register)
    bool landed = true;              // false: a Put writes it, a Get reads past it

    [[nodiscard]] constexpr int Count() const {
        return encoding == RegEncoding::Pair || encoding == RegEncoding::Scaled ? 2 : 1;
    }
    // Image characters the register (pair) holds.
    [[nodiscard]] constexpr int Width() const {
        if (encoding == RegEncoding::Zero) return 0;
        return encoding == RegEncoding::LowByte ? 2 : 6;
    }
    [[nodiscard]] constexpr int LastReg() const { return reg + Count() - 1; }
};

namespace regmap {
constexpr RegisterDef Pair(int reg, const FieldDef& field) { return {reg, RegEncoding::Pair, &field, field.pos, true}; }
constexpr RegisterDef PairCopy(int reg, const FieldDef& field) {
    return {reg, RegEncoding::Pair, &field, field.pos, false};
}
constexpr RegisterDef Scaled(int reg, const FieldDef& field) {
    return {reg, RegEncoding::Scaled, &field, field.pos, true};
}
// The byte that holds field (with every other field of that byte).
constexpr RegisterDef Byte(int reg, const FieldDef& field) {
    return {reg, RegEncoding::LowByte, &field, field.pos, true};
}
constexpr RegisterDef ByteCopy(int reg, const FieldDef& field) {
    return {reg, RegEncoding::LowByte, &field, field.pos, false};
}
// A byte of the characters the image carries without reading them.
constexpr RegisterDef CarriedByte(int reg, int pos) { return {reg, RegEncoding::LowByte, nullptr, pos, true}; }
constexpr RegisterDef Unused(int reg) { return {reg, RegEncoding::Zero, nullptr, 0, false}; }
} // namespace regmap

// clang-format off
inline constexpr std::array<RegisterDef, 47> ModbusRegisters = {{
    regmap::Pair(0x01, FieldNamed("SetPt1")),
    regmap::Pair(0x03, FieldNamed("SetPt2")),
    regmap::PairCopy(0x05, FieldNamed("SetPt1")),
    regmap::PairCopy(0x07, FieldNamed("SetPt2")),
    regmap::Scaled(0x09, FieldNamed("Scale")),
    regmap::Pair(0x0B, FieldNamed("Offset")),

    regmap::Pair(0x11, FieldNamed("LoIn")),
    regmap::Pair(0x13, FieldNamed("LoRd")),
    regmap::Pair(0x15, FieldNamed("HiIn")),
    regmap::Pair(0x17, FieldNamed("HiRd")),
    regmap::Pair(0x19, FieldNamed("Tare")),

    regmap::Pair(0x21, FieldNamed("SP1Diff")),
    regmap::Pair(0x23, FieldNamed("SP2Diff")),
    regmap::PairCopy(0x25, FieldNamed("SP1Diff")),
    regmap::PairCopy(0x27, FieldNamed("SP2Diff")),
    regmap::Pair(0x29, FieldNamed("AnaLo")),
    regmap::Pair(0x2B, FieldNamed("AnaHi")),

    regmap::Byte(0x41, FieldNamed("State1")),
    regmap::Byte(0x42, FieldNamed("NoRdgsAlm")),
    regmap::ByteCopy(0x43, FieldNamed("State1")),
    regmap::ByteCopy(0x44, FieldNamed("NoRdgsAlm")),
    regmap::Byte(0x45, FieldNamed("InCode")),
    regmap::Byte(0x46, FieldNamed("ExtAB")),
    regmap::Byte(0x47, FieldNamed("TimConst")),
    regmap::Byte(0x48, FieldNamed("ComOpt")),
    regmap::Byte(0x49, FieldNamed("BaudRate")),
    regmap::Byte(0x4A, FieldNamed("Address")),
    regmap::Byte(0x4B, FieldNamed("OutItems")),
    regmap::Byte(0x4C, FieldNamed("SerProtocol")),
    regmap::Byte(0x4D, FieldNamed("DisThresh")),
    regmap::Byte(0x4E, FieldNamed("Lock1")),
    regmap::Byte(0x4F, FieldNamed("Lock2")),
    regmap::Unused(0x50),
    regmap::Byte(0x51, FieldNamed("AutoZ")),
    regmap::Byte(0x52, FieldNamed("AnaSource")),
    regmap::Unused(0x53),
    regmap::Unused(0x54),
    regmap::Unused(0x55),
    regmap::Unused(0x56),
    regmap::Byte(0x57, FieldNamed("DecPt")),

    regmap::Byte(0x5D, FieldNamed("StartChar")),
    regmap::Byte(0x5E, FieldNamed("StopChar")),
    regmap::Byte(0x5F, FieldNamed("ModbusAddr")),
    regmap::CarriedByte(0x64, UninterpretedRanges[2].pos + 2),
    regmap::Byte(0x65, FieldNamed("Family")),
    regmap::Byte(0x66, FieldNamed("Revision")),
    regmap::Byte(0x68, FieldNamed("ScTypeCode")),
}};
// clang-format on

// Where a pause of one ModbusGap falls around the progress shown before a
// block's request.
enum class BlockPause : std::uint8_t { None, BeforeProgress, AfterProgress };

// One request of a Get (read) or a Put (write) and what it shows.
struct RegisterBlock {
    int start = 0;
    int count = 0;
    std::int16_t failCode = 0; // TransferStatus when the reply cannot be used
    int progress = 0;          // the progress bar's value as the request comes up
    BlockPause pause = BlockPause::AfterProgress;

    [[nodiscard]] constexpr bool Holds(const RegisterDef& r) const {
        return r.reg >= start && r.LastReg() < start + count;
    }
};

// The reads of a Get, after the diagnostics echo. Through the node the
// registers 0011-002C come in two requests, its buffer being smaller; the
// serial line reads them in one (001B-0020 are read and ignored).
inline constexpr std::array<RegisterBlock, 5> GetBlocksSerial = {{
    {0x01, 12, getstatus::FirstBlock, 20},
    {0x11, 28, getstatus::SecondBlock, 46},
    {0x41, 11, getstatus::BlockAt0041, 72},
    {0x4C, 12, getstatus::BlockAt004C, 85},
    {0x5D, 12, getstatus::BlockAt005D, 100},
}};
inline constexpr std::array<RegisterBlock, 6> GetBlocksEthernet = {{
    {0x01, 12, getstatus::FirstBlock, 20},
    {0x11, 10, getstatus::ThirdBlock, 46},
    {0x21, 12, getstatus::BlockAt0021, 59},
    {0x41, 11, getstatus::BlockAt0041, 72},
    {0x4C, 12, getstatus::BlockAt004C, 85},
    {0x5D, 12, getstatus::BlockAt005D, 100},
}};

// The writes of a Put, in the order the meter takes them: the block with
// the slave address (005D-005F) before the last, which then goes to the
// address just written.
inline constexpr std::array<RegisterBlock, kModbusPutBlocks> PutBlocks = {{
    {0x01, 12, putstatus::Request1, 40, BlockPause::None},
    {0x11, 10, putstatus::Request2Or3, 50, BlockPause::BeforeProgress},
    {0x21, 12, putstatus::Request2Or3, 60, BlockPause::BeforeProgress},
    {0x4D, 11, putstatus::Request4, 70, BlockPause::AfterProgress},
    {0x5D, 3, putstatus::Request5, 80, BlockPause::AfterProgress},
    {0x41, 12, putstatus::Request6, 100, BlockPause::AfterProgress},
}};

[[nodiscard]] std::span<const RegisterBlock> GetBlocks(bool ethernet);

// The row of the register (the first of a pair); nullptr when the map has none.
[[nodiscard]] const RegisterDef* FindRegister(int reg);

// The register's value as a Put writes it: four hex digits a register.
[[nodiscard]] std::string RegisterValues(const SetupImage& image, const RegisterDef& r);
// Lands the register's four hex digits a register in the image, as a Get
// does; copies and unused registers land nowhere.
void LandRegister(SetupImage& image, const RegisterDef& r, std::string_view digits);

// "03" start count: the read request of the block.
[[nodiscard]] std::string ReadRequest(const RegisterBlock& block);
// "10" start count bytes, then the values of every register of the block.
[[nodiscard]] std::string WriteRequest(const SetupImage& image, const RegisterBlock& block);
// The head alone: function, start, register count and byte count.
[[nodiscard]] std::string WriteRequestHead(const RegisterBlock& block);
// The block's register values as a Put writes them.
[[nodiscard]] std::string BlockValues(const SetupImage& image, const RegisterBlock& block);
// Lands the registers of a read reply's data (four hex digits a register,
// from block.start) that the map lands; the rest are read past.
void LandBlock(SetupImage& image, const RegisterBlock& block, std::string_view digits);
// True when the block transfers the register that holds image position pos
// (in a Get only if it lands there).
[[nodiscard]] bool BlockLands(const RegisterBlock& block, int pos);
[[nodiscard]] bool BlockWrites(const RegisterBlock& block, int pos);

// A slave address of 0 is the broadcast address, which never answers: a
// setup holding it is given address 1.
void MakeBroadcastAddressOne(SetupImage& image);

// The map's own rules (rows ascend without overlap, each encoding fits its
// field, every write register has a row, every landed row is read whole).
[[nodiscard]] bool RegisterMapConsistent();

} // namespace wm
