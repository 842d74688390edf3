#include "sc/CalibMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace wm {
namespace {

// The factors are single-precision constants: each is the float nearest the
// decimal value, as the board's calibration was characterised.
constexpr CalibRange kDCRanges[] = {
    {"Zero", "200 mV DC", "0 V DC", 10, "0V", "1A", "60", 0.0f, 11, 0, 0, 0.0f, 123},
    {"200 mV DC", "200 mV DC", "200 mV DC", 4, "200 mV DC", "1F", "60", 80000.0f, 11, 1, 1, 3.277f, 0},
    {"2 V DC", "2 V DC", "2 V DC", 4, "2 V DC", "20", "61", 80000.0f, 12, 1, 1, 3.302f, 0},
    {"20 V DC", "20 V DC", "20 V DC", 4, "20 V DC", "21", "62", 80000.0f, 13, 1, 1, 3.249f, 0},
    {"200 V DC", "200 V DC", "200 V DC", 4, "200 V DC", "22", "63", 80000.0f, 14, 1, 1, 3.275f, 0},
    {"660 V DC", "660 V DC", "660 V DC", 4, "660 V DC", "23", "64", 80000.0f, 15, 1, 1, 9.939f, 0},
    {"2 mA DC", "2 mA DC", "2 mA DC", 4, "2 mA DC", "25", "70", 80000.0f, 16, 1, 1, 3.244f, 0},
    {"20 mA DC", "20 mA DC", "20 mA DC", 4, "20 mA DC", "26", "71", 80000.0f, 17, 1, 1, 3.238f, 0},
    {"200 mA DC", "200 mA DC", "200 mA DC", 4, "200 mA DC", "27", "72", 80000.0f, 18, 1, 1, 3.241f, 0},
    // The 5 A range is calibrated at 2 A, a tenth of the usual reading.
    {"5 A DC", "5 A  DC", "2 A  DC", 4, "5 A  DC", "28", "73", 8000.0f, 19, 1, 1, 30.78f, 0},
};

constexpr CalibRange kLoadCellRanges[] = {
    {"Zero (Lo Range)", "500 mV DC", "0 V DC", 10, "0V", "1A", "D4", 0.0f, 35, 0, 0, 0.0f, 47},
    {"Zero (Hi Range)", "20 mV DC", "0 V DC", 10, "0V", "1E", "D0", 0.0f, 31, 0, 0, 0.0f, 122},
    {"20 mV DC", "20 mV DC", "20 mV DC", 4, "20 mV DC", "1F", "D0", 80000.0f, 31, 1, 1, 3.277f, 0},
    {"50 mV DC", "50 mV DC", "40 mV DC", 2, "50 mV DC", "20", "D1", 80000.0f, 32, 1, 1, 3.218f, 0},
    {"100 mV DC", "100 mV DC", "100 mV DC", 8, "100 mV DC", "21", "D2", 80000.0f, 33, 1, 1, 3.217f, 0},
    {"250 mV DC", "250 mV DC", "200 mV DC", 4, "250 mV DC", "22", "D3", 80000.0f, 34, 1, 1, 3.241f, 0},
    {"500 mV DC", "500 mV DC", "400 mV DC", 2, "500 mV DC", "23", "D4", 80000.0f, 35, 1, 1, 3.408f, 0},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Written by hand rather than through a stream so that no locale can change it.
std::string Hex4(std::uint16_t word) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out(4, '0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = kDigits[word & 0xF];
        word = static_cast<std::uint16_t>(word >> 4);
    }
    return out;
}

// Clamps to [lo, hi] and says whether it had to. A NaN (an impossible
// reading) counts as out of range and becomes the lower limit.
CalibResult Clamped(double value, double lo, double hi) {
    CalibResult r;
    if (std::isnan(value)) {
        r.value = lo;
        r.outOfRange = true;
    } else {
        r.value = std::clamp(value, lo, hi);
        r.outOfRange = r.value != value;
    }
    return r;
}

double ClampOrZero(double value, double lo, double hi) {
    return std::isnan(value) ? 0.0 : std::clamp(value, lo, hi);
}

} // namespace

std::span<const CalibRange> CalibRanges(int scType) {
    if (scType == kScTypeDC) return kDCRanges;
    if (scType == kScTypeLoadCell) return kLoadCellRanges;
    return {};
}

const CalibRange* FindCalibRange(int scType, int listIndex) {
    const auto ranges = CalibRanges(scType);
    if (listIndex < 0 || static_cast<std::size_t>(listIndex) >= ranges.size()) return nullptr;
    return &ranges[static_cast<std::size_t>(listIndex)];
}

std::string RmvDP(std::string_view reply) {
    std::string out(reply);
    if (const auto dot = out.find('.'); dot != std::string::npos) out.erase(dot, 1);
    return out;
}

double ReadingValue(std::string_view text) {
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && IsBlank(text[i])) ++i;
    };
    skipBlanks();
    double sign = 1.0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') sign = -1.0;
        ++i;
    }
    double value = 0.0;
    double scale = 0.0; // 0 until a point is seen, then the weight of the next digit
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsBlank(c)) continue;
        if (c == '.' && scale == 0.0) {
            scale = 0.1;
            continue;
        }
        if (!IsDigit(c)) break;
        if (scale == 0.0) {
            value = value * 10.0 + (c - '0');
        } else {
            value += (c - '0') * scale;
            scale /= 10.0;
        }
    }
    return sign * value;
}

bool FullScaleReadingOk(double reading, bool positiveInput) {
    return positiveInput ? reading >= 10000.0 : reading <= -10000.0;
}

double AvgReading(double plusReading, double minusReading) {
    return (std::fabs(minusReading) + plusReading) / 2.0;
}

std::optional<int> CalibWordValue(std::string_view hex, bool isSigned) {
    if (hex.size() != 4) return std::nullopt;
    int word = 0;
    for (const char c : hex) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        word = word * 16 + d;
    }
    if (isSigned && word >= 0x8000) word -= 0x10000;
    return word;
}

double RoundHalfEven(double value) {
    const double away = std::round(value); // halves away from zero
    if (std::fabs(value - std::trunc(value)) != 0.5) return away;
    return 2.0 * std::round(value / 2.0);
}

std::string MakeHex(double value) {
    const double word = RoundHalfEven(ClampOrZero(value, 0.0, 65535.0));
    return Hex4(static_cast<std::uint16_t>(word));
}

std::string MakeHex2(double value) {
    const double word = RoundHalfEven(ClampOrZero(value, -32768.0, 32767.0));
    return Hex4(static_cast<std::uint16_t>(static_cast<int>(word) & 0xFFFF));
}

CalibResult CalcFS(const CalibRange& range, double avgReading, double curCalib) {
    const double raw = (static_cast<double>(range.vDesired) - avgReading) * static_cast<double>(range.factor) + curCalib;
    CalibResult r = Clamped(raw, 0.0, 65535.0);
    r.hex = MakeHex(r.value);
    return r;
}

CalibResult CalcZero(const CalibRange& range, double plusReading, double curCalib) {
    const double raw = curCalib - range.zeroK * plusReading / 10.0;
    CalibResult r = Clamped(raw, -32767.0, 32767.0);
    r.hex = MakeHex2(r.value);
    return r;
}

} // namespace wm
