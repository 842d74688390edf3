#include "comm/Exchange.h"

#include <array>
#include <string_view>

namespace wm {

namespace {
struct Meaning {
    int code;
    std::string_view text;
};

// Codes 1..9 are what the meter's exception reply said under Modbus; Get and
// Put also use small numbers for their own steps, so the text names both.
constexpr std::array<Meaning, 20> Meanings = {{
    {0, "no fault found"},
    {1, "Modbus exception 01, illegal function (or a transfer step's code 1)"},
    {2, "Modbus exception 02, illegal data address (or a transfer step's code 2)"},
    {3, "Modbus exception 03, illegal data value (or a transfer step's code 3)"},
    {4, "Modbus exception 04, slave device failure (or a transfer step's code 4)"},
    {5, "Modbus exception 05, acknowledge (or a transfer step's code 5)"},
    {6, "Modbus exception 06, slave device busy (or a transfer step's code 6)"},
    {7, "Modbus exception 07, negative acknowledge (or a transfer step's code 7)"},
    {8, "Modbus exception 08, memory parity error (or a transfer step's code 8)"},
    {9, "Modbus exception 09 (or a transfer step's code 9)"},
    {status::NodeTimeout, "nothing arrived from the Ethernet node in time"},
    {status::NoReply, "no reply from the meter within 3000 ms"},
    {status::BadCrc, "the reply's CRC is wrong"},
    {status::NoLineFeed, "the reply has no line feed"},
    {status::BadLrc, "the reply's LRC is wrong"},
    {status::ReadFailure,
     "wrong transaction identifier in the reply, or the reply could not be read or decoded"},
    {status::EndlessReply,
     "the line did not go quiet: characters kept coming past the longest reply the meter sends "
     "(line noise, or the meter is in continuous output)"},
    {status::DeviceGone, "the serial device went away (unplugged, or the other end closed)"},
    {status::MeterRefused, "the meter refused the request (a Modbus exception other than 01 to 09)"},
    {status::Refused, "another exchange was running; this one was refused"},
}};
} // namespace

std::string StatusMeaning(int code) {
    for (const Meaning& m : Meanings) {
        if (m.code == code) return std::string(m.text);
    }
    return "status " + std::to_string(code);
}

} // namespace wm
