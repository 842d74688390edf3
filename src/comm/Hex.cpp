#include "comm/Hex.h"

#include <algorithm>

#include "app/Tables.h"

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

} // namespace wm
