// The meter's Modbus functions: 03 read holding registers (the setup, see
// Registers.h), 04 read input registers (readings), 05 write single coil
// (the resets), 06 and 16 write registers, 08 diagnostics. The same PDUs
// travel in RTU and ASCII framing; broadcasts (slave 0) are carried out and
// not answered.
#include <map>

#include "sim/Meter.h"
#include "sim/Registers.h"

namespace wm::sim {
namespace {

constexpr std::uint8_t IllegalFunction = 1;
constexpr std::uint8_t IllegalAddress = 2;
constexpr std::uint8_t IllegalValue = 3;

// Input registers, two each, high register first.
constexpr std::uint16_t InputReg = 0x0001, NetReg = 0x0003, PeakReg = 0x0005, GrossReg = 0x0007;
constexpr std::uint16_t LastInputRegister = 0x0008;
constexpr std::uint16_t TareRegister = 0x0019;

std::uint16_t Word(const std::string& pdu, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(pdu[at]) << 8 |
                                      static_cast<std::uint8_t>(pdu[at + 1]));
}

std::string WordBytes(std::uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

std::string ExceptionPdu(std::uint8_t function, std::uint8_t code) {
    return {static_cast<char>(function | 0x80), static_cast<char>(code)};
}

bool InRange(std::uint16_t start, std::uint16_t count, std::uint16_t first, std::uint16_t last) {
    return start >= first && start + count - 1 <= last;
}

std::string ModbusKey(const std::string& pdu) {
    return HexByte(static_cast<std::uint8_t>(pdu[0])) + Hex(std::string_view(pdu).substr(1, 2));
}

} // namespace

Reply Meter::HandleModbus(const Frame& frame, LogEntry& entry) {
    const bool rtu = frame.framing == Framing::ModbusRtu;
    const std::optional<ModbusAdu> adu = rtu ? ParseRtu(frame.bytes) : ParseModbusAscii(frame.bytes);
    if (!adu || adu->pdu.empty()) {
        entry.note = rtu ? "bad CRC or short frame" : "bad LRC or hex";
        return {};
    }
    entry.key = ModbusKey(adu->pdu);
    const bool broadcast = adu->unit == 0;
    if (!broadcast && adu->unit != ModbusAddress()) {
        entry.note = "for slave " + std::to_string(adu->unit);
        return {};
    }
    entry.addressed = true;
    const FaultSet faults = TakeFaults(entry.key);
    if (faults.Find(FaultKind::Silent) != nullptr) {
        entry.note = "silent (fault)";
        return {};
    }
    const Fault* exception = faults.Find(FaultKind::Exception);
    const std::string pdu = exception != nullptr
                                ? ExceptionPdu(static_cast<std::uint8_t>(adu->pdu[0]), exception->code)
                                : ModbusPdu(adu->pdu);
    address_ = AddressFromImage();
    if (static_cast<std::uint8_t>(pdu[0]) & 0x80) entry.note = "exception " + std::to_string(static_cast<std::uint8_t>(pdu[1]));
    if (broadcast) {
        entry.note = "broadcast";
        return {};
    }
    std::string framed = rtu ? RtuFrame({adu->unit, pdu}) : AsciiFrame({adu->unit, pdu});
    if (faults.Find(FaultKind::Corrupt) != nullptr) {
        if (rtu) {
            framed.back() = static_cast<char>(framed.back() ^ 0xFF);
        } else {
            const std::size_t lrc = framed.size() - 4;
            framed.replace(lrc, 2,
                           HexByte(static_cast<std::uint8_t>(Unhex(framed.substr(lrc, 2)).value()[0] + 1)));
        }
    }
    return Shape(std::move(framed), faults);
}

std::string Meter::ModbusPdu(const std::string& pdu) {
    const auto function = static_cast<std::uint8_t>(pdu[0]);
    switch (function) {
    case 0x03: return ReadRegisters(pdu, true);
    case 0x04: return ReadRegisters(pdu, false);
    case 0x05: return WriteCoil(pdu);
    case 0x06: return WriteRegister(pdu);
    case 0x08: return Diagnostics(pdu);
    case 0x10: return WriteRegisters(pdu);
    default: return ExceptionPdu(function, IllegalFunction);
    }
}

std::uint16_t Meter::InputRegister(std::uint16_t reg) const {
    const std::uint16_t pair = static_cast<std::uint16_t>(reg - (reg - InputReg) % 2);
    std::int32_t value = readings.input;
    if (pair == NetReg) value = readings.net;
    if (pair == PeakReg) value = readings.peak;
    if (pair == GrossReg) value = readings.gross;
    const auto v = static_cast<std::uint32_t>(value);
    return static_cast<std::uint16_t>(reg == pair ? v >> 16 : v & 0xFFFF);
}

std::string Meter::ReadRegisters(const std::string& pdu, bool holding) {
    if (pdu.size() != 5) return ExceptionPdu(pdu[0], IllegalValue);
    const std::uint16_t start = Word(pdu, 1), count = Word(pdu, 3);
    if (count < 1 || count > 125) return ExceptionPdu(pdu[0], IllegalValue);
    const std::uint16_t last = holding ? LastHoldingRegister : LastInputRegister;
    if (!InRange(start, count, FirstHoldingRegister, last)) return ExceptionPdu(pdu[0], IllegalAddress);
    std::string reply{pdu[0], static_cast<char>(count * 2)};
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto reg = static_cast<std::uint16_t>(start + i);
        reply += WordBytes(holding ? ReadHolding(image_, reg) : InputRegister(reg));
    }
    return reply;
}

void Meter::StoreRegisters(const std::string& pdu, std::uint16_t start, std::uint16_t count, std::size_t at) {
    std::map<std::uint16_t, std::uint16_t> values;
    for (std::uint16_t i = 0; i < count; ++i)
        values[static_cast<std::uint16_t>(start + i)] = Word(pdu, at + 2U * i);
    WriteHolding(image_, values);
    if (values.contains(RangeRegister)) MatchTypeToRange();
    if (values.contains(TareRegister) || values.contains(TareRegister + 1)) TareChanged();
}

std::string Meter::WriteRegisters(const std::string& pdu) {
    if (pdu.size() < 6) return ExceptionPdu(pdu[0], IllegalValue);
    const std::uint16_t start = Word(pdu, 1), count = Word(pdu, 3);
    const auto bytes = static_cast<std::uint8_t>(pdu[5]);
    if (count < 1 || count > 123 || bytes != count * 2 || pdu.size() != 6U + bytes) {
        return ExceptionPdu(pdu[0], IllegalValue);
    }
    if (!InRange(start, count, FirstHoldingRegister, LastHoldingRegister))
        return ExceptionPdu(pdu[0], IllegalAddress);
    StoreRegisters(pdu, start, count, 6);
    // The commands window's tare reset is exactly this write of two zero registers.
    if (start == TareRegister && count == 2 && Word(pdu, 6) == 0 && Word(pdu, 8) == 0) ++resets_.tare;
    return pdu.substr(0, 5);
}

std::string Meter::WriteRegister(const std::string& pdu) {
    if (pdu.size() != 5) return ExceptionPdu(pdu[0], IllegalValue);
    const std::uint16_t reg = Word(pdu, 1);
    if (!InRange(reg, 1, FirstHoldingRegister, LastHoldingRegister))
        return ExceptionPdu(pdu[0], IllegalAddress);
    StoreRegisters(pdu, reg, 1, 3);
    return pdu;
}

std::string Meter::WriteCoil(const std::string& pdu) {
    if (pdu.size() != 5) return ExceptionPdu(pdu[0], IllegalValue);
    const std::uint16_t coil = Word(pdu, 1), value = Word(pdu, 3);
    if (coil < 1 || coil > 4) return ExceptionPdu(pdu[0], IllegalAddress);
    if (value != 0xFF00 && value != 0x0000) return ExceptionPdu(pdu[0], IllegalValue);
    if (value == 0xFF00) {
        if (coil == 1) ++resets_.meter;
        if (coil == 2) ++resets_.function;
        if (coil == 3) ++resets_.latchedAlarms;
        if (coil == 4) ++resets_.peak;
        if (coil != 3) PeakReset();
    }
    return pdu;
}

std::string Meter::Diagnostics(const std::string& pdu) {
    if (pdu.size() < 5) return ExceptionPdu(pdu[0], IllegalValue);
    const std::uint16_t sub = Word(pdu, 1);
    // 0000 returns the query data, 0001 restarts communications: both echo.
    if (sub > 0x0001) return ExceptionPdu(pdu[0], IllegalFunction);
    return pdu;
}

} // namespace wm::sim
