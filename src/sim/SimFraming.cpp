#include "sim/SimFraming.h"

#include <cctype>

namespace wm::sim {
namespace {

constexpr std::string_view Digits = "0123456789ABCDEF";

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::uint16_t Crc16(std::string_view bytes) {
    std::uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 1U) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (carry) crc ^= 0xA001;
        }
    }
    return crc;
}

std::uint8_t Lrc(std::string_view bytes) {
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>((0x100U - (sum & 0xFFU)) & 0xFFU);
}

std::string HexByte(unsigned value) { return {Digits[(value >> 4) & 0xFU], Digits[value & 0xFU]}; }

std::string HexWord(unsigned value) { return HexByte(value >> 8) + HexByte(value); }

std::string Hex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        out += HexByte(static_cast<std::uint8_t>(c));
    return out;
}

std::optional<std::string> Unhex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = DigitValue(text[i]), lo = DigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

bool IsHexOfLength(std::string_view text, std::size_t len) {
    if (text.size() != len) return false;
    for (char c : text) {
        if (DigitValue(c) < 0) return false;
    }
    return true;
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string RtuFrame(const ModbusAdu& adu) {
    std::string frame(1, static_cast<char>(adu.unit));
    frame += adu.pdu;
    const std::uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<char>(crc & 0xFFU));
    frame.push_back(static_cast<char>(crc >> 8));
    return frame;
}

std::optional<ModbusAdu> ParseRtu(std::string_view frame) {
    if (frame.size() < 4) return std::nullopt;
    const std::string_view body = frame.substr(0, frame.size() - 2);
    const std::uint16_t crc = Crc16(body);
    if (static_cast<std::uint8_t>(frame[frame.size() - 2]) != (crc & 0xFFU) ||
        static_cast<std::uint8_t>(frame[frame.size() - 1]) != (crc >> 8)) {
        return std::nullopt;
    }
    return ModbusAdu{static_cast<std::uint8_t>(body[0]), std::string(body.substr(1))};
}

std::string AsciiFrame(const ModbusAdu& adu) {
    std::string bytes(1, static_cast<char>(adu.unit));
    bytes += adu.pdu;
    return ":" + Hex(bytes) + HexByte(Lrc(bytes)) + "\r\n";
}

std::optional<ModbusAdu> ParseModbusAscii(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view text = line.substr(colon + 1);
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string_view::npos) text = text.substr(0, end);
    const std::optional<std::string> bytes = Unhex(text);
    if (!bytes || bytes->size() < 3) return std::nullopt;
    const std::string_view body = std::string_view(*bytes).substr(0, bytes->size() - 1);
    if (Lrc(body) != static_cast<std::uint8_t>(bytes->back())) return std::nullopt;
    return ModbusAdu{static_cast<std::uint8_t>(body[0]), std::string(body.substr(1))};
}

} // namespace wm::sim
