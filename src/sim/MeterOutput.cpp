// Readings as the meter prints them, and its continuous output.
#include <algorithm>
#include <cstdlib>

#include "sim/Meter.h"
#include "sim/Registers.h"

namespace wm::sim {
namespace {

// The meter takes about twenty readings a second; the output rate field
// divides that.
constexpr std::uint64_t ReadIntervalUs = 50'000;

} // namespace

std::string Meter::FormatReading(std::int32_t counts) const {
    int dp = ByteAt(39) & 0x07;
    if (dp < 1) dp = 1;
    if (dp > 6) dp = 6;
    std::int64_t magnitude = std::llabs(static_cast<long long>(counts));
    if (magnitude > 99999) magnitude = 99999; // all five digits lit: the display's limit
    const std::string raw = std::to_string(magnitude);
    const std::string digits = std::string(5 - raw.size(), '0') + raw;
    const std::size_t whole = static_cast<std::size_t>(6 - dp); // digits before the point
    std::string text(1, counts < 0 ? '-' : '+');
    text += digits.substr(0, whole);
    if (dp > 1) text += "." + digits.substr(whole);
    return text;
}

void Meter::TakeReading() {
    const ReadingsMotion& m = motion;
    if (m.kind == Motion::Steady) return;
    if (m.kind == Motion::Ramp) {
        // A sawtooth: low, low + step, ... up to high, then low again.
        const std::int64_t span = std::max<std::int64_t>(std::int64_t{m.high} - m.low, 0);
        const auto steps = static_cast<std::uint64_t>(span / std::max(m.step, 1) + 1);
        readings.gross = static_cast<std::int32_t>(m.low + static_cast<std::int64_t>(m.taken % steps) * m.step);
    } else {
        readings.gross = m.centre + Noise();
    }
    ++motion.taken;
    TareChanged();
    const std::int32_t source = (ByteAt(33) & 0x02) ? readings.gross : readings.net;
    if (source > readings.peak) readings.peak = source;
}

std::string Meter::NextRecord() {
    TakeReading();
    const int format = ByteAt(9);
    std::vector<std::int32_t> items;
    switch (format & 0x07) {
    case 0: items = {readings.net, readings.gross}; break;
    case 2: items = {readings.gross}; break;
    case 3: items = {readings.peak}; break;
    case 4: items = {readings.net, readings.gross, readings.peak}; break;
    default: items = {readings.net}; break;
    }
    const bool customChars = (format & 0x20) != 0 && ByteAt(121) > 0;
    const bool endEachItem = (format & 0x08) != 0 && !customChars;
    const std::string lineEnd = (ByteAt(45) & 0x80) ? "\r\n" : "\r";
    std::string record;
    if (customChars && ByteAt(127) != 0) record += static_cast<char>(ByteAt(127));
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0 && !endEachItem) record += ' ';
        record += FormatReading(items[i]);
        if (endEachItem) record += lineEnd;
    }
    if (customChars) {
        if (ByteAt(125) != 0) record += static_cast<char>(ByteAt(125));
    } else if (!endEachItem) {
        record += lineEnd;
    }
    return record;
}

std::uint64_t Meter::RecordIntervalUs() const {
    if (behaviour.recordIntervalMs > 0) return std::uint64_t{behaviour.recordIntervalMs} * 1000;
    int rate = ByteAt(47) & 0x0F;
    if (rate == 0) return 0;
    if (rate > 9) rate = 9;
    return ReadIntervalUs << (rate - 1);
}

void Meter::MatchTypeToRange() {
    // Writing the board's range through its own commands also sets its type:
    // the DC modes belong to the DC board, the millivolt modes to the load cell.
    const int mode = ByteAt(55) >> 4;
    if (mode == 0x6 || mode == 0x7 || mode == 0xA) SetScType("01");
    if (mode == 0xC || mode == 0xD) SetScType("03");
}

void Meter::TareChanged() { readings.net = readings.gross - FieldValue(Mid(1, 6)); }

void Meter::PeakReset() { readings.peak = (ByteAt(33) & 0x02) ? readings.gross : readings.net; }

} // namespace wm::sim
