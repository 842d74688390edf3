// The traffic log's reader on arbitrary text, and its writer on lines built
// from arbitrary bytes: whatever the reader takes, written again it reads
// back the same and writes the same text; whatever the writer makes, the
// reader takes back whole, on one line.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "comm/TrafficLog.h"

namespace {

using wm::TrafficLine;
using wm::fuzz::Bytes;

void ReadBack(const TrafficLine& line) {
    const std::string text = wm::FormatTrafficLine(line);
    WM_FUZZ_CHECK(text.find('\n') == std::string::npos && text.find('\r') == std::string::npos);
    const std::optional<TrafficLine> again = wm::ParseTrafficLine(text);
    WM_FUZZ_CHECK(again.has_value());
    WM_FUZZ_CHECK(*again == line);
    WM_FUZZ_CHECK(wm::FormatTrafficLine(*again) == text);
}

void Parse(std::string_view text) {
    const std::optional<TrafficLine> line = wm::ParseTrafficLine(text);
    if (!line) return;
    // A line taken is canonical: written again it is the text itself, less
    // the line end the reader allows.
    std::string_view bare = text;
    if (bare.ends_with('\n')) bare.remove_suffix(1);
    if (bare.ends_with('\r')) bare.remove_suffix(1);
    WM_FUZZ_CHECK(wm::FormatTrafficLine(*line) == bare);
    if (!line->fine) WM_FUZZ_CHECK(line->timeUs % 1000 == 0);
    if (line->kind != TrafficLine::Kind::Tx && line->kind != TrafficLine::Kind::Rx) WM_FUZZ_CHECK(line->bytes.empty());
    ReadBack(*line);
}

void Build(Bytes& in) {
    TrafficLine line;
    line.kind = static_cast<TrafficLine::Kind>(in.Below(4));
    line.fine = in.Bit();
    std::uint64_t time = 0;
    for (int i = 0; i < 7; ++i) time = time << 8 | in.Byte();
    line.timeUs = line.fine ? time : time / 1000 * 1000;
    const std::string first = in.Counted();
    const std::string second = in.Counted();
    switch (line.kind) {
    case TrafficLine::Kind::Tx:
    case TrafficLine::Kind::Rx: line.bytes = first; break;
    case TrafficLine::Kind::End:
        line.status = static_cast<std::int16_t>(in.Word());
        line.message = first;
        break;
    case TrafficLine::Kind::Note: break;
    }
    line.note = second;
    ReadBack(line);

    // Escaping alone: one printable line that gives back the bytes.
    const std::string escaped = wm::EscapeTraffic(first);
    for (const char c : escaped) WM_FUZZ_CHECK(c >= 0x20 && c < 0x7F);
    WM_FUZZ_CHECK(wm::UnescapeTraffic(escaped) == first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Parse(wm::fuzz::View(data, size));
    Bytes in(data, size);
    Build(in);
    return 0;
}
