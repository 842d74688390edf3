#include "sim/MeterLine.h"

namespace wm::sim {

LineSettings MeterFrame(const MeterLine& line, Framing framing) {
    LineSettings s;
    s.ok = true;
    s.baud = line.baud;
    if (framing == Framing::CustomAscii) return s; // 8,n,1
    s.parity = line.parity;
    s.dataBits = framing == Framing::ModbusAscii ? 7 : 8;
    s.stopBits = line.parity == 'n' ? 2 : 1;
    return s;
}

std::optional<Framing> FixedFraming(const Meter& meter) {
    if (meter.behaviour.protocol == Protocol::Auto) return std::nullopt;
    return meter.FramingFor('\0');
}

bool MeterHears(const MeterLine& line, std::optional<Framing> framing, const LineSettings& port,
                bool pseudoTerminal) {
    if (!port.ok || port.baud != line.baud) return false;
    if (!framing) return true;
    const LineSettings own = MeterFrame(line, *framing);
    if (port.stopBits != own.stopBits) return false;
    return pseudoTerminal || (port.parity == own.parity && port.dataBits == own.dataBits);
}

} // namespace wm::sim
