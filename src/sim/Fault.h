#pragma once
// Misbehaviour on request, chosen per command. A fault names the requests it
// hits by a prefix of their key: the Custom ASCII command code after the
// address ("B3", "XU1DZ", "WP18"), or for Modbus the function code and start
// register in hex ("03", "030045", "1000"; diagnostics: function and
// sub-function, "080001"). The two kinds of key never collide: Modbus
// requests have function codes below 80 hex, so their keys start with a
// digit, and every Custom ASCII command code starts with a letter.
#include <cstdint>
#include <string>
#include <vector>

namespace wm::sim {

enum class FaultKind {
    Silent, // the request is not heard: no effect, no reply
    Late, // the reply starts ms later than usual
    Truncate, // only the first chars characters of the reply go out
    Corrupt, // Modbus: the CRC or LRC is wrong; Custom ASCII: one character changed
    Split, // the reply pauses for ms after its first chars characters
    Append, // bytes are added after the reply
    Exception, // Modbus: an exception reply with code instead of the answer (no effect)
};

struct Fault {
    FaultKind kind = FaultKind::Silent;
    std::string match; // key prefix; empty hits every request
    std::uint32_t ms = 0; // Late, Split
    std::size_t chars = 0; // Truncate, Split
    std::string bytes; // Append
    std::uint8_t code = 0; // Exception
    int times = -1; // requests still to hit; -1: every one

    [[nodiscard]] bool Hits(const std::string& key) const { return times != 0 && key.starts_with(match); }

    static Fault Silent(std::string match) { return Make(FaultKind::Silent, std::move(match)); }
    static Fault Late(std::string match, std::uint32_t ms) {
        Fault f = Make(FaultKind::Late, std::move(match));
        f.ms = ms;
        return f;
    }
    static Fault Truncate(std::string match, std::size_t chars) {
        Fault f = Make(FaultKind::Truncate, std::move(match));
        f.chars = chars;
        return f;
    }
    static Fault Corrupt(std::string match) { return Make(FaultKind::Corrupt, std::move(match)); }
    static Fault Split(std::string match, std::size_t chars, std::uint32_t ms) {
        Fault f = Make(FaultKind::Split, std::move(match));
        f.chars = chars;
        f.ms = ms;
        return f;
    }
    static Fault Append(std::string match, std::string bytes) {
        Fault f = Make(FaultKind::Append, std::move(match));
        f.bytes = std::move(bytes);
        return f;
    }
    static Fault Exception(std::string match, std::uint8_t code) {
        Fault f = Make(FaultKind::Exception, std::move(match));
        f.code = code;
        return f;
    }
    // The same fault, limited to the next n requests it hits.
    [[nodiscard]] Fault Times(int n) const {
        Fault f = *this;
        f.times = n;
        return f;
    }

private:
    static Fault Make(FaultKind kind, std::string match) {
        Fault f;
        f.kind = kind;
        f.match = std::move(match);
        return f;
    }
};

// The faults that hit one request, taken from the meter's list (each use
// counted down).
struct FaultSet {
    std::vector<Fault> hits;
    [[nodiscard]] const Fault* Find(FaultKind kind) const {
        for (const Fault& f : hits) {
            if (f.kind == kind) return &f;
        }
        return nullptr;
    }
};

} // namespace wm::sim
