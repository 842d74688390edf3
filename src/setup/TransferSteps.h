#pragma once
// Small steps that Get, Put, the setup files and the signal-conditioner
// service share: hex text handling and one request/reply round in either
// protocol, on the program's transaction layer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "comm/Hex.h"

namespace wm {

struct LinkState;
struct Program;

// The value of up to eight hex digits; nullopt when one is not a digit.
[[nodiscard]] std::optional<std::uint32_t> HexNumber(std::string_view s);
// value as exactly `digits` upper-case hex digits (higher digits dropped).
[[nodiscard]] std::string Hex(std::uint32_t value, int digits);
[[nodiscard]] std::string UpperCase(std::string s);
// The number formed by the leading decimal digits (0 when there are none),
// the way the meter's two-digit codes have always been read: "03" is 3,
// "1F" is 1, "F1" is 0.
[[nodiscard]] int LeadingDecimal(std::string_view s);

// The four check characters a serial Modbus reply carries after its data
// (CRC, or LRC and two blanks); none through the Ethernet node.
[[nodiscard]] std::size_t ModbusCheckLength(const LinkState& link);

// Only one exchange runs at a time: a menu command started from an event
// handled while another exchange waits is refused with a beep.
[[nodiscard]] bool RefuseWhileBusy(Program& program);

// "*" + MeterAddress + letters, sent without reading a reply.
void SendAscii(Program& program, const std::string& letters);
// Sends and reads the reply; true when TransferStatus is 0.
[[nodiscard]] bool AskAscii(Program& program, const std::string& letters);
// The Custom ASCII reply in upper case when it is exactly `length` hex
// digits. The protocol carries no checksum, so a reply with any other
// character is as unusable as one of the wrong length.
[[nodiscard]] std::optional<std::string> HexReply(const Program& program, std::size_t length);

// Sends ModbusRequest = request and reads the reply. A non-zero status from
// the transaction layer is kept; a reply whose length is not `expected`, or
// whose data part holds a character that is not a hex digit, sets failCode. True when the reply can be used.
[[nodiscard]] bool AskModbus(Program& program, const std::string& request, std::size_t expected,
                             std::int16_t failCode);

} // namespace wm
