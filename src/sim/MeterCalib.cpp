// The signal conditioner's calibration memory and its input reading.
//
// The board's words: the gain word of each range makes the reading of a
// full-scale input grow by a fixed number of counts per step of the word,
// and the zero word of the range's amplifier shifts every reading of that
// amplifier by a fixed number of counts per step. A word other than the
// board's "true" one therefore shows as a reading off the desired value, by
// an amount the calibration can correct. The sensitivities below are the
// board's own, a little different from the factors the program corrects
// with (as a real board's are), so a calibration gets within noise in two
// attempts rather than exactly in one.
#include <algorithm>
#include <cmath>

#include "sim/Meter.h"

namespace wm::sim {
namespace {

// One range of the board, found by the input-type byte the calibration
// writes with "W110".
struct SimRange {
    int scType;
    int inputType;      // the range byte (image 55-56)
    int gainAddress;    // its gain word
    int zeroAddress;    // the zero word of its amplifier
    double fullCounts;  // reading of the calibration input at scale factor 1 with the true gain word
    double wordsPerCount; // gain word steps per count of reading at the calibrating scale factor
    int calibScale;     // the scale factor the range is calibrated at
    double zeroSteps;   // zero word steps per count of reading at scale factor 10
};

// Full-scale input: 80000 counts at the calibrating scale factor (8000 for
// the 5 A range, calibrated at 2 A). The zero amplifiers: the DC board has
// one; the load-cell board one for its 20 mV range and one for the others.
constexpr SimRange kRanges[] = {
    {1, 0x60, 0x1F, 0x1A, 20000, 3.30, 4, 12.3},  {1, 0x61, 0x20, 0x1A, 20000, 3.32, 4, 12.3},
    {1, 0x62, 0x21, 0x1A, 20000, 3.27, 4, 12.3},  {1, 0x63, 0x22, 0x1A, 20000, 3.29, 4, 12.3},
    {1, 0x64, 0x23, 0x1A, 20000, 10.0, 4, 12.3},  {1, 0x70, 0x25, 0x1A, 20000, 3.26, 4, 12.3},
    {1, 0x71, 0x26, 0x1A, 20000, 3.26, 4, 12.3},  {1, 0x72, 0x27, 0x1A, 20000, 3.26, 4, 12.3},
    {1, 0x73, 0x28, 0x1A, 2000, 31.0, 4, 12.3},   {3, 0xD0, 0x1F, 0x1E, 20000, 3.30, 4, 12.2},
    {3, 0xD1, 0x20, 0x1A, 40000, 3.24, 2, 4.7},   {3, 0xD2, 0x21, 0x1A, 10000, 3.24, 8, 4.7},
    {3, 0xD3, 0x22, 0x1A, 20000, 3.26, 4, 4.7},   {3, 0xD4, 0x23, 0x1A, 40000, 3.43, 2, 4.7},
};

// The words at which the board reads true: a gain word that differs per
// range, and one zero word for every amplifier.
double TrueGainWord(int address) { return 6680.0 + 37.0 * (address - 0x1F); }
constexpr double TrueZeroWord = -148.0;

const SimRange* RangeFor(int scType, int inputType) {
    for (const SimRange& r : kRanges)
        if (r.scType == scType && r.inputType == inputType) return &r;
    return nullptr;
}

bool IsHexCode(const std::string& code, std::size_t from, std::size_t len) {
    return code.size() == from + len && IsHexOfLength(std::string_view(code).substr(from), len);
}

int HexValue(std::string_view digits) {
    int v = 0;
    for (char c : digits) v = v * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    return v;
}

} // namespace

std::uint16_t Meter::CalibWord(int address) const {
    const auto it = calib.words.find(address);
    return it == calib.words.end() ? 0 : it->second;
}

// The board's identification block: the word at 1B (characters 37-40) and
// the type word of "X115" (characters 61-64) among the board's other
// settings, which the simulation keeps at zero.
std::string Meter::IdentBlock() const {
    std::string block(64, '0');
    block.replace(36, 4, HexWord(CalibWord(0x1B)));
    block.replace(60, 4, scIdentByte + ScType());
    return block;
}

std::string Meter::CalibRead(const std::string& code, bool& handled) const {
    handled = true;
    if (code == "XL24") return IdentBlock();
    if (code.starts_with("X1") && IsHexCode(code, 2, 2)) return HexWord(CalibWord(HexValue(code.substr(2))));
    handled = false;
    return {};
}

bool Meter::CalibWrite(const std::string& code) {
    if (code.starts_with("W305") && IsHexCode(code, 4, 12)) {
        const int scale = HexValue(code.substr(15));
        if (scale < 1 || scale > 10) return false;
        calib.scaleFactor = scale;
        return true;
    }
    if (code.starts_with("W1") && IsHexCode(code, 2, 6)) {
        SetCalibWord(HexValue(code.substr(2, 2)), static_cast<std::uint16_t>(HexValue(code.substr(4))));
        return true;
    }
    return false;
}

// A small linear-congruential generator: the same noise on every run, so a
// test of a whole calibration is repeatable.
std::int32_t Meter::Noise() {
    if (calib.noiseCounts <= 0) return 0;
    calib.noiseState = calib.noiseState * 1103515245u + 12345u;
    const auto span = static_cast<std::uint32_t>(2 * calib.noiseCounts + 1);
    return static_cast<std::int32_t>((calib.noiseState >> 16) % span) - calib.noiseCounts;
}

std::int32_t Meter::InputReading() {
    std::optional<double> input = calib.appliedInput;
    if (calib.inputSource) {
        if (const auto fromSource = calib.inputSource()) input = fromSource;
    }
    const SimRange* range = RangeFor(ByteAt(35), ByteAt(55));
    if (!input || range == nullptr) return readings.input;
    const double scale = calib.scaleFactor;
    const double gainWord = CalibWord(range->gainAddress);
    const auto zeroWord = static_cast<double>(static_cast<std::int16_t>(CalibWord(range->zeroAddress)));
    // Counts at scale factor 1.
    const double gain = range->fullCounts + (gainWord - TrueGainWord(range->gainAddress)) /
                                                (range->wordsPerCount * range->calibScale);
    const double offset = (zeroWord - TrueZeroWord) / (range->zeroSteps * 10.0);
    const double counts = (*input * gain + offset) * scale + Noise();
    return static_cast<std::int32_t>(std::lround(std::clamp(counts, -99999.0, 99999.0)));
}

} // namespace wm::sim
