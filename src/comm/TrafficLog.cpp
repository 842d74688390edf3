#include "comm/TrafficLog.h"

#include <array>

#include "comm/Exchange.h"
#include "comm/Hex.h"

namespace wm {

namespace {

constexpr std::array<std::string_view, 4> KindNames = {"tx", "rx", "end", "note"};
// More digits than this in the milliseconds would not fit the microseconds.
constexpr std::size_t MaxTimeDigits = 15;
constexpr std::string_view NoteMark = " # ";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the text between quotes from `at` (just past the opening quote) and
// moves `at` past the closing one.
std::optional<std::string> QuotedAt(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size()) {
        if (text[at] == '\\') {
            at += 2;
            continue;
        }
        if (text[at] == '"') {
            const std::optional<std::string> bytes = UnescapeTraffic(text.substr(start, at - start));
            ++at;
            return bytes;
        }
        ++at;
    }
    return std::nullopt;
}

// A decimal number without a sign, without leading zeros, of at most
// maxDigits digits; `at` moves past it.
std::optional<std::uint64_t> NumberAt(std::string_view text, std::size_t& at, std::size_t maxDigits) {
    const std::size_t start = at;
    std::uint64_t value = 0;
    while (at < text.size() && IsDigit(text[at]) && at - start < maxDigits) {
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
        ++at;
    }
    const std::size_t digits = at - start;
    if (digits == 0 || (at < text.size() && IsDigit(text[at]))) return std::nullopt;
    if (digits > 1 && text[start] == '0') return std::nullopt;
    return value;
}

bool Literal(std::string_view text, std::size_t& at, std::string_view expected) {
    if (text.substr(at, expected.size()) != expected) return false;
    at += expected.size();
    return true;
}

} // namespace

std::string_view TrafficKindName(TrafficLine::Kind kind) { return KindNames[static_cast<std::size_t>(kind)]; }

std::string EscapeTraffic(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += c;
            } else {
                out += "\\x";
                out += ByteToHex(static_cast<unsigned char>(c));
            }
        }
    }
    return out;
}

std::optional<std::string> UnescapeTraffic(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'x': {
            if (i + 2 >= text.size()) return std::nullopt;
            const std::string_view digits = text.substr(i + 1, 2);
            if (digits.size() != 2 || !IsHexText(digits) || UpperCase(std::string(digits)) != digits)
                return std::nullopt;
            const std::string byte = HexToBytes(digits);
            // Bytes with an escape of their own, and printable ones, are not
            // written this way, so one text stands for one run of bytes.
            const auto value = static_cast<unsigned char>(byte[0]);
            if ((value >= 0x20 && value < 0x7F) || value == '\r' || value == '\n' || value == '\t')
                return std::nullopt;
            out += byte;
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

std::string TrafficTime(const TrafficLine& line) {
    std::string out = std::to_string(line.timeUs / 1000);
    if (line.fine) {
        const std::string us = std::to_string(line.timeUs % 1000);
        out += '.' + std::string(3 - us.size(), '0') + us;
    }
    return out;
}

std::string FormatTrafficLine(const TrafficLine& line) {
    std::string out = TrafficTime(line);
    out += ' ';
    out += TrafficKindName(line.kind);
    switch (line.kind) {
    case TrafficLine::Kind::Tx:
    case TrafficLine::Kind::Rx:
        out += ' ';
        out += line.bytes.empty() ? std::string("-") : BytesToHex(line.bytes);
        out += " \"" + EscapeTraffic(line.bytes) + '"';
        break;
    case TrafficLine::Kind::End:
        out += ' ' + std::to_string(line.status) + " \"" + EscapeTraffic(line.message) + '"';
        break;
    case TrafficLine::Kind::Note: break;
    }
    if (!line.note.empty() || line.kind == TrafficLine::Kind::Note) {
        out += NoteMark;
        out += EscapeTraffic(line.note);
    }
    return out;
}

std::optional<TrafficLine> ParseTrafficLine(std::string_view text) {
    if (text.ends_with('\n')) text.remove_suffix(1);
    if (text.ends_with('\r')) text.remove_suffix(1);
    TrafficLine line;
    std::size_t at = 0;
    const std::optional<std::uint64_t> ms = NumberAt(text, at, MaxTimeDigits);
    if (!ms) return std::nullopt;
    line.timeUs = *ms * 1000;
    if (at < text.size() && text[at] == '.') {
        ++at;
        if (text.size() - at < 3 || !IsDigit(text[at]) || !IsDigit(text[at + 1]) || !IsDigit(text[at + 2]))
            return std::nullopt;
        line.timeUs += static_cast<std::uint64_t>((text[at] - '0') * 100 + (text[at + 1] - '0') * 10 + (text[at + 2] - '0'));
        line.fine = true;
        at += 3;
    }
    if (!Literal(text, at, " ")) return std::nullopt;
    bool known = false;
    for (std::size_t k = 0; k < KindNames.size(); ++k) {
        const std::string_view name = KindNames[k];
        if (text.substr(at, name.size()) == name &&
            (at + name.size() == text.size() || text[at + name.size()] == ' ')) {
            line.kind = static_cast<TrafficLine::Kind>(k);
            at += name.size();
            known = true;
            break;
        }
    }
    if (!known) return std::nullopt;

    switch (line.kind) {
    case TrafficLine::Kind::Tx:
    case TrafficLine::Kind::Rx: {
        if (!Literal(text, at, " ")) return std::nullopt;
        const std::size_t space = text.find(' ', at);
        if (space == std::string_view::npos) return std::nullopt;
        const std::string_view hex = text.substr(at, space - at);
        at = space;
        if (hex != "-") {
            if (hex.empty() || hex.size() % 2 != 0 || !IsHexText(hex) || UpperCase(std::string(hex)) != hex)
                return std::nullopt;
            line.bytes = HexToBytes(hex);
        }
        if (!Literal(text, at, " \"")) return std::nullopt;
        const std::optional<std::string> shown = QuotedAt(text, at);
        if (!shown || *shown != line.bytes) return std::nullopt;
        break;
    }
    case TrafficLine::Kind::End: {
        if (!Literal(text, at, " ")) return std::nullopt;
        const bool negative = Literal(text, at, "-");
        const std::optional<std::uint64_t> code = NumberAt(text, at, 5);
        if (!code || *code > (negative ? 32768U : 32767U) || (negative && *code == 0)) return std::nullopt;
        line.status = negative ? -static_cast<int>(*code) : static_cast<int>(*code);
        if (!Literal(text, at, " \"")) return std::nullopt;
        const std::optional<std::string> message = QuotedAt(text, at);
        if (!message) return std::nullopt;
        line.message = *message;
        break;
    }
    case TrafficLine::Kind::Note: break;
    }

    if (at == text.size()) return line.kind == TrafficLine::Kind::Note ? std::nullopt : std::optional(line);
    if (!Literal(text, at, NoteMark)) return std::nullopt;
    const std::optional<std::string> note = UnescapeTraffic(text.substr(at));
    if (!note || (note->empty() && line.kind != TrafficLine::Kind::Note)) return std::nullopt;
    line.note = *note;
    return line;
}

TrafficLine TraceLine(std::string_view what, const std::string& bytes, std::uint32_t tickMs) {
    TrafficLine line;
    line.timeUs = static_cast<std::uint64_t>(tickMs) * 1000;
    line.bytes = bytes;
    if (what == "tx") {
        line.kind = TrafficLine::Kind::Tx;
    } else if (what == "rx") {
        line.kind = TrafficLine::Kind::Rx;
    } else if (what == "discard") {
        line.kind = TrafficLine::Kind::Rx;
        line.note = "stale input, thrown away before sending";
    } else if (what == "udp") {
        line.kind = TrafficLine::Kind::Tx;
        line.note = "udp control packet to the node";
    } else if (what == "keepalive") {
        line.kind = TrafficLine::Kind::Tx;
        line.note = "keep-alive to the node";
    } else if (what == "notification") {
        line.kind = TrafficLine::Kind::Rx;
        line.note = "node notification, dropped";
    } else if (what == "refused") {
        line.kind = TrafficLine::Kind::Note;
        line.bytes.clear();
        line.note = "refused a connection from " + bytes;
    } else {
        line.kind = TrafficLine::Kind::Note;
        line.bytes.clear();
        line.note = std::string(what) + (bytes.empty() ? "" : " " + BytesToHex(bytes));
    }
    return line;
}

TrafficLine EndLine(int status, std::uint32_t tickMs) {
    TrafficLine line;
    line.kind = TrafficLine::Kind::End;
    line.timeUs = static_cast<std::uint64_t>(tickMs) * 1000;
    line.status = status;
    line.message = StatusMeaning(status);
    return line;
}

} // namespace wm
