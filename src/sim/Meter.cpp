#include "sim/Meter.h"

#include <algorithm>

#include "setup/Defaults.h"

namespace wm::sim {

Meter::Meter() : image_(DefaultSetupText) {
    address_ = AddressFromImage();
    // A board as it leaves the bench before calibration: every gain word at
    // its nominal 1F40, the zero words at 0, and the word at 1B at the 0200
    // the calibration expects.
    for (int address : {0x1F, 0x20, 0x21, 0x22, 0x23, 0x25, 0x26, 0x27, 0x28}) calib.words[address] = 0x1F40;
    calib.words[0x1A] = 0x0000;
    calib.words[0x1E] = 0x0000;
    calib.words[0x1B] = 0x0200;
}

bool Meter::SetImage(const std::string& text) {
    if (!IsHexOfLength(text, 136)) return false;
    image_ = UpperCase(text);
    address_ = AddressFromImage();
    return true;
}

std::string Meter::Mid(int pos, int len) const {
    if (pos < 1 || len <= 0 || static_cast<std::size_t>(pos) > image_.size()) return {};
    return image_.substr(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(len));
}

int Meter::ByteAt(int pos) const {
    const std::optional<std::string> b = Unhex(Mid(pos, 2));
    return b && b->size() == 1 ? static_cast<std::uint8_t>((*b)[0]) : 0;
}

void Meter::SetByte(int pos, int value) {
    image_.replace(static_cast<std::size_t>(pos - 1), 2, HexByte(static_cast<unsigned>(value)));
}

bool Meter::SetScType(const std::string& code) {
    if (!IsHexOfLength(code, 2)) return false;
    image_.replace(34, 2, UpperCase(code));
    return true;
}

bool Meter::SetRangeByte(const std::string& code) {
    if (!IsHexOfLength(code, 2)) return false;
    image_.replace(54, 2, UpperCase(code));
    return true;
}

char Meter::AddressFromImage() const {
    const int v = ByteAt(45) & 0x1F;
    return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10);
}

bool Meter::SetMeterAddress(char address) {
    int v = -1;
    if (address >= '0' && address <= '9') v = address - '0';
    if (address >= 'A' && address <= 'V') v = address - 'A' + 10;
    if (v < 0) return false;
    SetByte(45, (ByteAt(45) & 0xE0) | v);
    address_ = address;
    return true;
}

int Meter::ModbusAddress() const {
    const int v = ByteAt(135);
    return v == 0 ? 1 : v;
}

bool Meter::SetModbusAddress(int address) {
    if (address < 1 || address > 247) return false;
    SetByte(135, address);
    return true;
}

Framing Meter::FramingFor(char firstByte) const {
    switch (behaviour.protocol) {
    case Protocol::CustomAscii: return Framing::CustomAscii;
    case Protocol::ModbusRtu: return Framing::ModbusRtu;
    case Protocol::ModbusAscii: return Framing::ModbusAscii;
    case Protocol::FromSetup: {
        const int protocol = (ByteAt(133) >> 2) & 3;
        if (protocol == 0) return Framing::CustomAscii;
        return protocol == 1 ? Framing::ModbusRtu : Framing::ModbusAscii;
    }
    case Protocol::Auto: break;
    }
    if (firstByte == '*') return Framing::CustomAscii;
    if (firstByte == ':') return Framing::ModbusAscii;
    return Framing::ModbusRtu;
}

Reply Meter::Handle(const Frame& frame) {
    LogEntry entry{frame.startUs, frame.endUs, frame.framing, frame.bytes, {}, false, {}, {}};
    Reply reply =
        frame.framing == Framing::CustomAscii ? HandleAscii(frame, entry) : HandleModbus(frame, entry);
    for (const ReplyPiece& piece : reply)
        entry.reply += piece.bytes;
    log_.push_back(std::move(entry));
    if (heard) heard(log_.back());
    return reply;
}

FaultSet Meter::TakeFaults(const std::string& key) {
    FaultSet set;
    for (Fault& f : faults_) {
        if (!f.Hits(key)) continue;
        set.hits.push_back(f);
        if (f.times > 0) --f.times;
    }
    return set;
}

Reply Meter::Shape(std::string bytes, const FaultSet& faults) const {
    if (const Fault* f = faults.Find(FaultKind::Append)) bytes += f->bytes;
    if (const Fault* f = faults.Find(FaultKind::Truncate)) bytes.resize(std::min(bytes.size(), f->chars));
    if (bytes.empty()) return {};
    std::uint64_t pause = std::uint64_t{behaviour.replyDelayMs} * 1000;
    if (const Fault* f = faults.Find(FaultKind::Late)) pause += std::uint64_t{f->ms} * 1000;
    const Fault* split = faults.Find(FaultKind::Split);
    if (split == nullptr || split->chars == 0 || split->chars >= bytes.size())
        return {{pause, std::move(bytes)}};
    return {{pause, bytes.substr(0, split->chars)},
            {std::uint64_t{split->ms} * 1000, bytes.substr(split->chars)}};
}

} // namespace wm::sim
