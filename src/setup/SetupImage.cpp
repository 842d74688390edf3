#include "setup/SetupImage.h"

#include <algorithm>
#include <cstdlib>

#include "comm/Tables.h"

// The image normally holds only upper-case hexadecimal digits, but it can
// come from a file, and a file may hold anything. So every reader here takes
// a character that is missing (beyond the end of a short image, or before
// position 1) or is not a hexadecimal digit as the digit 0, and never reads
// outside the text. Lower-case digits are read like upper-case ones. Writers
// always write upper-case digits; a write beyond the end grows the text with
// "0" just far enough to hold it, and a write before position 1 or past
// MaxLength (a position no setup has) is dropped.

namespace wm {

namespace {

constexpr long long kFieldRange = 0x1000000; // three bytes
constexpr long long kHalfRange = 0x800000;
constexpr long long kScaleRange = 0x100000; // five digits

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

// The last `width` hexadecimal digits of value, upper case, zero padded.
std::string HexText(long long value, int width) {
    std::string s(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = HexDigits[static_cast<std::size_t>(value & 0xF)];
        value >>= 4;
    }
    return s;
}

// The last five decimal digits of magnitude, zero padded.
std::string FiveDigits(long long magnitude) {
    std::string s(5, '0');
    long long rest = magnitude % 100000;
    for (int i = 4; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    return s;
}

// Bits lo..hi limited to 0..7; false when no bit is left.
bool ClampBits(int& hi, int& lo) {
    lo = std::max(lo, 0);
    hi = std::min(hi, 7);
    return lo <= hi;
}

} // namespace

int SetupImage::DigitAt(int pos) const { return HexNumberAt(pos, 1); }

long long SetupImage::HexNumberAt(long long pos, int len) const {
    long long n = 0;
    for (long long p = pos; p < pos + len; ++p) {
        const bool inside = p >= 1 && p <= static_cast<long long>(text.size());
        n = n * 16 + (inside ? HexValue(text[static_cast<std::size_t>(p - 1)]) : 0);
    }
    return n;
}

int SetupImage::ByteAt(int pos) const { return static_cast<int>(HexNumberAt(pos, 2)); }

int SetupImage::GetBits(int hi, int lo, int pos) const {
    if (!ClampBits(hi, lo)) return 0;
    const int mask = (1 << (hi - lo + 1)) - 1;
    return (ByteAt(pos) >> lo) & mask;
}

void SetupImage::SetBits(int hi, int lo, int pos, int value) {
    if (pos < 1 || !ClampBits(hi, lo)) return;
    // A value wider than its bits is cut to them rather than spilling into
    // the neighbouring fields of the byte.
    const int mask = (1 << (hi - lo + 1)) - 1;
    const int kept = ByteAt(pos) & ~(mask << lo) & 0xFF;
    Put(pos, HexText(kept | ((value & mask) << lo), 2));
}

std::string SetupImage::FormatField(int kind, int pos, int& dp) const {
    if (kind == 20) {
        const int b = ByteAt(pos);
        return {static_cast<char>('0' + b / 100), static_cast<char>('0' + b / 10 % 10),
                static_cast<char>('0' + b % 10)};
    }
    const bool secondStyle = kind >= 10;
    if (secondStyle) kind -= 10;

    const int first = DigitAt(pos);
    const bool negative = (first & 8) != 0;
    long long magnitude = 0;
    if (kind == 4) {
        dp = first & 7;
        magnitude = HexNumberAt(pos + 1LL, 5);
    } else {
        const long long n = HexNumberAt(pos, 6);
        magnitude = n >= kHalfRange ? kFieldRange - n : n;
    }

    dp = std::clamp(dp, 1, 6);
    const std::string digits = FiveDigits(magnitude);
    const auto before = static_cast<std::size_t>(6 - dp);
    const std::string shown = digits.substr(0, before) + "." + digits.substr(before);
    if (secondStyle) return (negative ? "-" : " ") + shown;
    return (negative ? " - " : " +") + shown;
}

void SetupImage::StoreEnteredValue(int kind, int pos, const std::string& entered) {
    if (kind != 2 && kind != 3 && kind != 4) return;
    // An empty entry carries no value; storing it as zero would lose the old one.
    if (entered.empty()) return;
    const bool negative = entered.front() == '-';

    // The sign character is never the point. Without a point the number is
    // whole, as if the point followed its last digit (code 1 for five digits).
    const std::size_t found = entered.find('.', 1);
    const auto pointPos = static_cast<long long>(found == std::string::npos ? entered.size() + 1 : found + 1);
    const int code = static_cast<int>(std::clamp(8 - pointPos, 1LL, 6LL));

    // Anything but a digit after the sign is skipped. Only the last six hex
    // digits of the magnitude are ever stored, so it is kept modulo 2^24.
    long long m = 0;
    for (std::size_t i = 1; i < entered.size(); ++i) {
        const char c = entered[i];
        if (c >= '0' && c <= '9') m = (m * 10 + (c - '0')) % kFieldRange;
    }

    if (kind == 4) {
        const int first = code + (negative ? 8 : 0);
        Put(pos, std::string(1, HexDigits[static_cast<std::size_t>(first)]) + HexText(m % kScaleRange, 5));
        return;
    }
    const long long stored = (negative && m != 0) ? kFieldRange - m : m;
    Put(pos, HexText(stored, 6));
}

std::string SetupImage::Mid(int pos, int len) const {
    if (len <= 0) return {};
    const long long size = static_cast<long long>(text.size());
    const long long start = std::max<long long>(pos, 1);
    const long long end = std::min<long long>(static_cast<long long>(pos) + len - 1, size);
    if (start > end) return {};
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(end - start + 1));
}

void SetupImage::Put(int pos, const std::string& s) {
    if (pos < 1) return;
    const std::size_t need = static_cast<std::size_t>(pos - 1) + s.size();
    if (need > MaxLength) return;
    if (text.size() < need) text.resize(need, '0');
    text.replace(static_cast<std::size_t>(pos - 1), s.size(), s);
}

std::string CharName(int code) {
    if (code >= 0 && code < static_cast<int>(AsciiNames.size()))
        return std::string(AsciiNames[static_cast<std::size_t>(code)]);
    if (code > 32 && code <= 255) return std::string(1, static_cast<char>(code));
    return {};
}

} // namespace wm
