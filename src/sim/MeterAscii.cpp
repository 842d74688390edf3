// The meter's Custom ASCII commands: "*" (one or more, the meter skips
// them), the one-character address, the command code, CR LF. Replies end
// with CR (and LF when the setup's "Include LF" bit is on); write commands,
// resets and the output controls are not answered.
#include <array>
#include <string_view>

#include "sim/Meter.h"

namespace wm::sim {
namespace {

// A setup block written by a Put: the command letters, where its digits go
// in the image, how many, and whether a "Z" closes it.
struct SetupBlock {
    std::string_view prefix;
    int pos;
    int len;
    bool closedByZ;
};

// The Z-closed blocks come before "W236" in a Put; "W112" is the write-back
// that ends a Get.
constexpr std::array<SetupBlock, 7> SetupBlocks = {{
    {"WP18", 21, 100, true},
    {"WD18", 21, 52, true},
    {"WC0B", 73, 48, true},
    {"W31D", 1, 12, true},
    {"W26D", 121, 8, true},
    {"W236", 129, 8, false},
    {"W112", 45, 4, false},
}};

const SetupBlock* BlockFor(const std::string& code) {
    for (const SetupBlock& b : SetupBlocks) {
        if (code.starts_with(b.prefix)) return &b;
    }
    return nullptr;
}

// A Put sends all its blocks to the address the meter had when it began, so
// a new address written by one of them takes effect only when the last block
// ("W236", which has no Z) or any other command arrives.
bool HoldsAddress(const std::string& code) {
    const SetupBlock* b = BlockFor(code);
    return b != nullptr && b->closedByZ;
}

std::string Payload(const std::string& code, std::size_t prefixLen, bool closedByZ) {
    std::string data = code.substr(prefixLen);
    if (closedByZ) {
        if (data.empty() || data.back() != 'Z') return "?";
        data.pop_back();
    } else if (!data.empty() && data.back() == 'Z') {
        data.pop_back();
    }
    return data;
}

} // namespace

Reply Meter::HandleAscii(const Frame& frame, LogEntry& entry) {
    std::string text = frame.bytes;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const std::size_t star = text.find('*');
    const std::size_t at = star == std::string::npos ? star : text.find_first_not_of('*', star);
    if (at == std::string::npos) {
        entry.note = "no request";
        return {};
    }
    const char address = text[at];
    const std::string code = text.substr(at + 1);
    entry.key = code;
    if (address != address_) {
        entry.note = std::string("for address ") + address;
        return {};
    }
    entry.addressed = true;
    const FaultSet faults = TakeFaults(code);
    if (faults.Find(FaultKind::Silent) != nullptr) {
        entry.note = "silent (fault)";
        return {};
    }
    bool understood = true;
    std::string answer = AsciiCommand(code, understood);
    if (!understood) entry.note = "not understood";
    if (!HoldsAddress(code)) address_ = AddressFromImage();
    if (answer.empty()) return {};
    if (faults.Find(FaultKind::Corrupt) != nullptr) answer[0] = static_cast<char>(answer[0] ^ 0x01);
    answer += '\r';
    if (ByteAt(45) & 0x80) answer += '\n';
    return Shape(std::move(answer), faults);
}

std::string Meter::AsciiCommand(const std::string& code, bool& understood) {
    if (code == "XU1DZ") return Mid(1, 120);
    if (code == "XF1DZ") return Mid(1, 60);
    if (code == "XF0EZ") return Mid(61, 60);
    if (code == "X26DZ") return Mid(121, 8);
    if (code == "X236Z") return Mid(129, 8);
    if (code == "G130") return Mid(49, 2);
    if (code == "G12C") return RangeByte();
    if (code == "X115") return scIdentByte + ScType();
    if (code == "X110") return scFlagByte + RangeByte();
    bool calibRead = false;
    if (std::string word = CalibRead(code, calibRead); calibRead) return word;
    if (code == "B1") return FormatReading(InputReading());
    if (code == "B2" || code == "B3" || code == "B4") {
        TakeReading();
        return FormatReading(code == "B2" ? readings.net : code == "B3" ? readings.gross : readings.peak);
    }
    if (code == "A0" || code == "A1") {
        output_ = code == "A0";
        return {};
    }
    if (code == "C0") {
        ++resets_.meter;
        PeakReset();
    } else if (code == "C1") {
        ++resets_.function;
        PeakReset();
    } else if (code == "C2") {
        ++resets_.latchedAlarms;
    } else if (code == "C3") {
        ++resets_.peak;
        PeakReset();
    } else {
        understood = AsciiWrite(code);
    }
    return {};
}

bool Meter::AsciiWrite(const std::string& code) {
    if (code.starts_with("W110")) {
        const std::string data = code.substr(4);
        if (!IsHexOfLength(data, 4)) return false;
        scFlagByte = UpperCase(data.substr(0, 2));
        SetRangeByte(data.substr(2));
        MatchTypeToRange();
        return true;
    }
    if (code.starts_with("W21D")) {
        const std::string data = code.substr(4);
        if (!IsHexOfLength(data, 8)) return false;
        image_.replace(0, 6, UpperCase(data.substr(2)));
        ++resets_.tare;
        TareChanged();
        return true;
    }
    const SetupBlock* block = BlockFor(code);
    if (block == nullptr) return CalibWrite(code);
    const std::string data = Payload(code, block->prefix.size(), block->closedByZ);
    // A Put of a 128-character image sends "W236" with no digits: nothing to store.
    if (data.empty() && !block->closedByZ) return true;
    if (!IsHexOfLength(data, static_cast<std::size_t>(block->len))) return false;
    image_.replace(static_cast<std::size_t>(block->pos - 1), data.size(), UpperCase(data));
    if (block->pos == 1) TareChanged();
    return true;
}

} // namespace wm::sim
