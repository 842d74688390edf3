#pragma once
// A register table that answers Modbus requests given as hex digits
// (address first, no check field): 03 reads, 10 writes, 08 echoes. Enough
// to test where a Get puts each register and what a Put writes; the
// simulated meter covers the meter's behaviour.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "comm/Hex.h"

namespace wm::test {

struct ModbusPeer {
    std::array<std::uint16_t, 0x80> regs{};
    // Per start register: a reply to give instead (a wrong length, an exception).
    std::map<int, std::string> override03, override10;
    std::map<int, bool> silent;

    static int Word(const std::string& hex, std::size_t at) {
        return std::stoi(hex.substr(at, 4), nullptr, 16);
    }

    std::optional<std::string> Answer(const std::string& request) {
        const std::string address = request.substr(0, 2);
        const std::string function = request.substr(2, 2);
        if (function == "08") return request;
        const int start = Word(request, 4);
        if (silent.count(start) != 0) return std::nullopt;
        const int count = Word(request, 8);
        if (function == "03") {
            if (override03.count(start) != 0) return override03[start];
            std::string reply = address + "03" + ByteToHex(2 * count);
            for (int r = start; r < start + count; ++r)
                reply += ByteToHex(regs[static_cast<std::size_t>(r)] >> 8) +
                         ByteToHex(regs[static_cast<std::size_t>(r)] & 0xFF);
            return reply;
        }
        if (function == "10") {
            if (override10.count(start) != 0) return override10[start];
            for (int i = 0; i < count; ++i)
                regs[static_cast<std::size_t>(start + i)] =
                    static_cast<std::uint16_t>(Word(request, 14 + 4 * static_cast<std::size_t>(i)));
            return request.substr(0, 12);
        }
        return address + ByteToHex(std::stoi(function, nullptr, 16) | 0x80) + "01";
    }
};

} // namespace wm::test
