#include "comm/Hex.h"

#include <cctype>

#include <algorithm>

#include "comm/Tables.h"

namespace wm {

std::string ByteToHex(int value) {
    const auto byte = static_cast<unsigned>(value) & 0xFFU;
    return {HexDigits[byte >> 4], HexDigits[byte & 0x0FU]};
}

std::string BytesToHex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) out += ByteToHex(static_cast<unsigned char>(c));
    return out;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string HexToBytes(std::string_view hex) {
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = HexDigitValue(hex[i]);
        const int lo = HexDigitValue(hex[i + 1]);
        out += (hi < 0 || lo < 0) ? '\0' : static_cast<char>(hi * 16 + lo);
    }
    return out;
}

bool IsHexText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) >= 0; });
}

std::optional<std::uint32_t> HexNumber(std::string_view s) {
    if (s.empty() || s.size() > 8) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = HexDigitValue(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

std::string Hex(std::uint32_t value, int digits) {
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = HexDigits[value & 15];
        value >>= 4;
    }
    return s;
}

std::string UpperCase(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace wm
