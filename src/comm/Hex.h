#pragma once
// Modbus messages travel through the upper layers as text of upper-case
// hexadecimal digit pairs; these turn bytes (one char each, 0..255) into such
// text and back.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wm {

// Two upper-case digits, high first. Only the low 8 bits of value count, so
// 256 gives "00" and -1 gives "FF".
[[nodiscard]] std::string ByteToHex(int value);

// Each byte as its two digits, in order.
[[nodiscard]] std::string BytesToHex(std::string_view bytes);

// Each pair of digits as one byte, first digit high ("0300" gives 03 00).
// Lower-case digits are accepted. A pair holding anything that is not a
// hexadecimal digit gives the byte 0, and an odd last digit is ignored, so a
// garbled reply decodes to something of the expected length instead of
// failing; callers that must tell the difference test IsHexText first.
[[nodiscard]] std::string HexToBytes(std::string_view hex);

// 0..15 for a hexadecimal digit of either case, -1 for anything else.
[[nodiscard]] int HexDigitValue(char c);

// True when every character is a hexadecimal digit (an empty text is).
[[nodiscard]] bool IsHexText(std::string_view text);

// The value of up to eight hex digits; nullopt when one is not a digit.
[[nodiscard]] std::optional<std::uint32_t> HexNumber(std::string_view s);
// value as exactly `digits` upper-case hex digits (higher digits dropped).
[[nodiscard]] std::string Hex(std::uint32_t value, int digits);
[[nodiscard]] std::string UpperCase(std::string s);

} // namespace wm
