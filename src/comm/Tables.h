#pragma once
// The program's fixed lookup tables and colours. They never change after
// start-up, so they are constants; every index is zero-based.
#include <array>
#include <cstdint>
#include <string_view>

#include "platform/Operator.h"

namespace wm {

// Index = BaudIndex.
inline constexpr std::array<std::string_view, 8> BaudRates = {"300", "600", "1200", "2400",
                                                              "4800", "9600", "19200", "38400"};

inline constexpr std::array<char, 16> HexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                   '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// Each value 0..15 in binary, most significant bit first (node packets).
inline constexpr std::array<std::string_view, 16> NibbleBits = {
    "0000", "0001", "0010", "0011", "0100", "0101", "0110", "0111",
    "1000", "1001", "1010", "1011", "1100", "1101", "1110", "1111"};

// Three-character names of the control codes 0..32, trailing blanks kept.
inline constexpr std::array<std::string_view, 33> AsciiNames = {
    "nul", "soh", "stx", "etx", "eot", "enq", "ack", "bel", "bs ", "ht ", "lf ",
    "vt ", "ff ", "cr ", "so ", "si ", "dle", "dc1", "dc2", "dc3", "dc4", "nak",
    "syn", "etb", "can", "em ", "sub", "esc", "fs ", "gs ", "rs ", "us ", "sp "};

// Signal-conditioner type names; the Put check uses 2 (DC) and 4 (load cell).
inline constexpr std::array<std::string_view, 9> SCTypeNames = {
    "Temp TC", "Temp RTD", "DC", "RMS Rev M", "Load Cell", "RMS Special", "RMS Rev R", "TC", "RTD/OHMS"};

// Input-mode code 0..14 as the meter reports it -> board group; 3 goes with a
// DC board, 5 with a load-cell board.
inline constexpr std::array<int, 15> SCTypeByCode = {0, 0, 0, 0, 1, 2, 3, 3, 4, 4, 3, 0, 5, 5, 6};

// Per input index 0..8, the input-mode list entry page 1 compares with.
inline constexpr std::array<int, 9> SCModeTable = {0, 1, 0, 1, 0, 1, 2, 0, 1};

inline constexpr char CarriageReturn = '\r';

inline constexpr Rgb ColourWhite{255, 255, 255};
inline constexpr Rgb ColourBlack{0, 0, 0};
inline constexpr Rgb ColourRed{255, 0, 0};
inline constexpr Rgb ColourDarkRed{128, 0, 0};
inline constexpr Rgb ColourGreen{0, 255, 0};
inline constexpr Rgb ColourPaleGreen{192, 255, 192};

namespace detail {
// Table entry i of the reflected CRC-16 with polynomial 0xA001.
constexpr std::uint16_t CrcEntry(std::uint16_t i) {
    std::uint16_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    return crc;
}
constexpr std::array<std::uint8_t, 256> CrcTable(bool high) {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        const std::uint16_t e = CrcEntry(static_cast<std::uint16_t>(i));
        t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(high ? (e & 0xFF) : (e >> 8));
    }
    return t;
}
} // namespace detail

// The two byte tables of the table-driven Modbus CRC: CrcHiTable[i] is the
// low byte of the 16-bit table entry of i, CrcLoTable[i] its high byte (the
// reference routine's naming follows the register each one feeds).
inline constexpr std::array<std::uint8_t, 256> CrcHiTable = detail::CrcTable(true);
inline constexpr std::array<std::uint8_t, 256> CrcLoTable = detail::CrcTable(false);

} // namespace wm
