#pragma once
// The traffic log: one line for each frame on the wire and for the status
// each exchange ended with, in the one format that wmctl --trace, wmctl
// --trace-file, wmsim --log and the Traffic window all write, so a person
// can read it and a program can read it back.
//
//   TIME KIND FIELDS [# NOTE]
//
//   1052 tx 2A3142330D0A "*1B3\r\n"
//   1490 rx 2B30313233340D "+01234\r" # ascii B3 heard
//   1490 end 21 "no reply from the meter within 3000 ms"
//   1493.250 note # node called
//
// TIME is milliseconds on the writer's clock: the tick count, or with
// exactly three more digits after a point where the writer counts
// microseconds (wmsim). KIND is tx (sent), rx (received), end (the status
// the exchange ended with) or note (a fact with no frame). A frame carries
// its bytes as upper-case hex digit pairs ("-" for none) and as quoted
// text; an end line its status code and the code's meaning, quoted. In the
// quoted text and the note, \r \n \t \\ \" stand for themselves and any
// other byte outside printable ASCII is \xHH, so a line never breaks and
// the text gives back the very bytes. A note is free text after " # ".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wm {

struct TrafficLine {
    enum class Kind { Tx, Rx, End, Note };
    Kind kind = Kind::Tx;
    std::uint64_t timeUs = 0; // since the writer's clock started
    bool fine = false;        // the time is written to the microsecond
    std::string bytes;        // tx, rx: the frame
    int status = 0;           // end: the exchange's status code
    std::string message;      // end: what the code means
    std::string note;         // anything the writer adds; may be empty

    bool operator==(const TrafficLine&) const = default;
};

[[nodiscard]] std::string_view TrafficKindName(TrafficLine::Kind kind);
// The time as the line shows it: "1052", or "1490.250" when fine.
[[nodiscard]] std::string TrafficTime(const TrafficLine& line);

// The line, without a line end.
[[nodiscard]] std::string FormatTrafficLine(const TrafficLine& line);
// A line as FormatTrafficLine writes it (a trailing CR or LF is ignored);
// nullopt for anything else, including a frame whose text and hex differ.
[[nodiscard]] std::optional<TrafficLine> ParseTrafficLine(std::string_view text);

// The bytes as the quoted text shows them (without the quotes), and back;
// nullopt for a broken escape or a bare quote.
[[nodiscard]] std::string EscapeTraffic(std::string_view bytes);
[[nodiscard]] std::optional<std::string> UnescapeTraffic(std::string_view text);

// Lines for what the transaction layer and the node link trace: a frame
// ("tx", "rx"), stale input thrown away ("discard"), a control packet
// ("udp"), a keep-alive, a dropped notification, a refused stranger
// ("refused", bytes holding its address).
[[nodiscard]] TrafficLine TraceLine(std::string_view what, const std::string& bytes, std::uint32_t tickMs);
// The line for the status an exchange ended with, its meaning included.
[[nodiscard]] TrafficLine EndLine(int status, std::uint32_t tickMs);

} // namespace wm
