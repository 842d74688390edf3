#pragma once
// The meter's own serial setting, and whether a request sent with the
// program's port settings reaches it readable. The meter's receiver takes
// characters only at its own baud rate and in its own character frame; at
// any other, a request arrives as garbage (framing and parity errors) and
// is not answered. A scan for the meter is tested against that.
#include <optional>

#include "platform/SerialPortControl.h"
#include "sim/Meter.h"

namespace wm::sim {

struct MeterLine {
    int baud = 9600;
    char parity = 'n'; // n, o, e (Modbus only: Custom ASCII has none)
};

// The character frame of a protocol at the meter's parity: Custom ASCII 8
// data bits, no parity, 1 stop bit; Modbus RTU 8 data bits and Modbus
// ASCII 7, with the parity, and a second stop bit when there is none.
[[nodiscard]] LineSettings MeterFrame(const MeterLine& line, Framing framing);

// The framing the meter is fixed to, or none when it tells the framing of
// each request by its first byte (then only the baud rate can be checked).
[[nodiscard]] std::optional<Framing> FixedFraming(const Meter& meter);

// Whether characters sent with the port's settings reach the meter as
// sent. A pseudo-terminal carries the baud rate and the stop bits of the
// program's settings but always 8 data bits without parity (the kernel
// clears the rest), so there only those two are compared: odd and even
// parity cannot be told apart on it, none from either can (Modbus sends a
// second stop bit without parity).
[[nodiscard]] bool MeterHears(const MeterLine& line, std::optional<Framing> framing, const LineSettings& port,
                              bool pseudoTerminal);

} // namespace wm::sim
