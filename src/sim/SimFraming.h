#pragma once
// The simulated meter's own framing: the CRC-16 and LRC check fields, hex
// text, and the Modbus RTU and ASCII frames. It is written apart from the
// program's comm/ framing on purpose: the tests run one against the other,
// so a slip in either shows up as a frame the other side rejects.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wm::sim {

// CRC-16 as Modbus RTU uses it: reflected polynomial 0xA001, start 0xFFFF.
// A frame carries the low byte first.
[[nodiscard]] std::uint16_t Crc16(std::string_view bytes);
// Modbus ASCII check byte: the two's complement of the 8-bit byte sum.
[[nodiscard]] std::uint8_t Lrc(std::string_view bytes);

// Two upper-case digits per byte, high digit first.
[[nodiscard]] std::string Hex(std::string_view bytes);
[[nodiscard]] std::string HexByte(unsigned value);
[[nodiscard]] std::string HexWord(unsigned value);
// Digit pairs (either case) back to bytes; nullopt for odd length or a
// character that is not a hex digit.
[[nodiscard]] std::optional<std::string> Unhex(std::string_view text);
// True when text is all hex digits (either case) and has exactly len of them.
[[nodiscard]] bool IsHexOfLength(std::string_view text, std::size_t len);
[[nodiscard]] std::string UpperCase(std::string_view text);

// A Modbus message as both serial framings carry it: the slave address
// (unit) and the PDU (function code and data).
struct ModbusAdu {
    std::uint8_t unit = 0;
    std::string pdu;
};

// Address, PDU, CRC low byte, CRC high byte.
[[nodiscard]] std::string RtuFrame(const ModbusAdu& adu);
// nullopt when the frame is shorter than address, function and CRC, or the
// CRC does not match.
[[nodiscard]] std::optional<ModbusAdu> ParseRtu(std::string_view frame);
// ":", the hex of address and PDU, the LRC digits, CR, LF.
[[nodiscard]] std::string AsciiFrame(const ModbusAdu& adu);
// One received line: anything before the ":" is line noise and skipped; the
// text ends at the CR or LF. nullopt for bad hex, too few bytes or a wrong LRC.
[[nodiscard]] std::optional<ModbusAdu> ParseModbusAscii(std::string_view line);

} // namespace wm::sim
