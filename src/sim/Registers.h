#pragma once
// The meter's Modbus view of its setup image. Every holding register the
// setup transfers use is one row of a table: a pair of registers holding a
// signed 32-bit value of a 6-digit field, the scale register pair, or one
// register holding one byte of the image in its low byte. Registers between
// 0001 and LastHoldingRegister that no row names read as 0000 and ignore
// writes; registers outside that range do not exist.
#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace wm::sim {

enum class RegisterKind {
    Pair, // two registers, high first: the 6-digit 24-bit field, sign-extended
    Scaled, // two registers, high first: the scale field as a plain 32-bit value
    Byte, // one register: 00 and the image byte
};

struct RegisterField {
    std::uint16_t reg;
    RegisterKind kind;
    int pos; // 1-based image position of the field or byte
};

// Some fields appear twice (setpoints at 0001 and 0005, the setpoint
// differences at 0021 and 0025, alarm bytes at 0041 and 0043): the meter
// keeps one value and shows it in both places.
inline constexpr std::array<RegisterField, 42> HoldingRegisters = {{
    {0x0001, RegisterKind::Pair, 115}, {0x0003, RegisterKind::Pair, 109},   {0x0005, RegisterKind::Pair, 115},
    {0x0007, RegisterKind::Pair, 109}, {0x0009, RegisterKind::Scaled, 103}, {0x000B, RegisterKind::Pair, 97},
    {0x0011, RegisterKind::Pair, 91},  {0x0013, RegisterKind::Pair, 85},    {0x0015, RegisterKind::Pair, 79},
    {0x0017, RegisterKind::Pair, 73},  {0x0019, RegisterKind::Pair, 1},     {0x0021, RegisterKind::Pair, 27},
    {0x0023, RegisterKind::Pair, 21},  {0x0025, RegisterKind::Pair, 27},    {0x0027, RegisterKind::Pair, 21},
    {0x0029, RegisterKind::Pair, 67},  {0x002B, RegisterKind::Pair, 61},    {0x0041, RegisterKind::Byte, 59},
    {0x0042, RegisterKind::Byte, 57},  {0x0043, RegisterKind::Byte, 59},    {0x0044, RegisterKind::Byte, 57},
    {0x0045, RegisterKind::Byte, 55},  {0x0046, RegisterKind::Byte, 53},    {0x0047, RegisterKind::Byte, 51},
    {0x0048, RegisterKind::Byte, 49},  {0x0049, RegisterKind::Byte, 47},    {0x004A, RegisterKind::Byte, 45},
    {0x004B, RegisterKind::Byte, 9},   {0x004C, RegisterKind::Byte, 133},   {0x004D, RegisterKind::Byte, 33},
    {0x004E, RegisterKind::Byte, 43},  {0x004F, RegisterKind::Byte, 41},    {0x0051, RegisterKind::Byte, 11},
    {0x0052, RegisterKind::Byte, 37},  {0x0057, RegisterKind::Byte, 39},    {0x005D, RegisterKind::Byte, 127},
    {0x005E, RegisterKind::Byte, 125}, {0x005F, RegisterKind::Byte, 135},   {0x0064, RegisterKind::Byte, 131},
    {0x0065, RegisterKind::Byte, 123}, {0x0066, RegisterKind::Byte, 121},   {0x0068, RegisterKind::Byte, 35},
}};

inline constexpr std::uint16_t FirstHoldingRegister = 0x0001;
inline constexpr std::uint16_t LastHoldingRegister = 0x0068;
// The stored input-mode/range byte of the signal conditioner.
inline constexpr std::uint16_t RangeRegister = 0x0045;

// A 6-digit field as a signed 32-bit value: 24-bit two's complement.
[[nodiscard]] std::int32_t FieldValue(const std::string& field);
// The low 24 bits of a value as six upper-case digits.
[[nodiscard]] std::string FieldText(std::int32_t value);

// The scale field (sign bit and decimal-point code in the first digit,
// five digits of magnitude) as the 32-bit value the meter reports: the
// magnitude times 10^(6 - code). Saturates at the 32-bit limits.
[[nodiscard]] std::int32_t ScaledValue(const std::string& field);
// A 32-bit value back into a scale field, keeping at most five digits of
// magnitude: each surplus digit is divided away (rounding half to even) and
// lowers the decimal-point code, down to code 1.
[[nodiscard]] std::string ScaledText(std::int32_t value);

// One holding register as the meter reports it; the image must be at least
// 136 characters.
[[nodiscard]] std::uint16_t ReadHolding(const std::string& image, std::uint16_t reg);
// Writes registers (number -> value) into the image. A field of two
// registers of which only one is written keeps the other half.
void WriteHolding(std::string& image, const std::map<std::uint16_t, std::uint16_t>& values);

} // namespace wm::sim
