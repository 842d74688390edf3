#include "comm/NodePacket.h"

#include <bit>
#include <cmath>

#include "comm/Hex.h"

namespace wm {

namespace {

// 1-based byte positions within a control packet.
constexpr std::size_t ModeAt = 14;
constexpr std::size_t CheckAt = 15;

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// One block as the check mode mixes it with the sum so far. The rotations
// take their count from the low five bits of either the block or the sum.
std::uint32_t Mix(unsigned mode, std::uint32_t block, std::uint32_t sum) {
    const int ownBits = static_cast<int>(block & 31U);
    const int sumBits = static_cast<int>(sum & 31U);
    switch (mode) {
    case 1: return block ^ sum;
    case 2: return std::rotr(block, ownBits);
    case 3: return block ^ std::rotl(sum, 16);
    case 4: return std::rotl(block, sumBits);
    case 5: return block ^ std::rotl(sum, 8);
    case 6: return std::rotl(block, ownBits);
    case 7: return block ^ std::rotr(sum, 8);
    case 8: return std::rotr(block, sumBits);
    default: return block; // mode 0, and modes the node does not know
    }
}

// "a.b.c.d", each part 1-3 decimal digits up to 255.
std::optional<std::uint32_t> DottedValue(std::string_view text) {
    std::uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.') : text.size();
        if (end == std::string_view::npos || end == 0 || end > 3) return std::nullopt;
        unsigned n = 0;
        for (const char c : text.substr(0, end)) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + static_cast<unsigned>(c - '0');
        }
        if (n > 255) return std::nullopt;
        value = value << 8 | n;
        text.remove_prefix(part < 3 ? end + 1 : end);
    }
    return value;
}

// The IPv4 address in dotted text or in an IPv4-mapped IPv6 text.
std::optional<std::uint32_t> IPv4Value(std::string_view text) {
    constexpr std::string_view Mapped = "::ffff:";
    if (text.size() <= Mapped.size()) return DottedValue(text);
    for (std::size_t i = 0; i < Mapped.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'F' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != Mapped[i]) return DottedValue(text);
    }
    const std::string_view rest = text.substr(Mapped.size());
    if (rest.find('.') != std::string_view::npos) return DottedValue(rest);
    // "hhhh:hhhh": the two 16-bit groups of the address.
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 4 || rest.size() - colon - 1 == 0 ||
        rest.size() - colon - 1 > 4)
        return std::nullopt;
    const auto high = HexNumber(rest.substr(0, colon));
    const auto low = HexNumber(rest.substr(colon + 1));
    if (!high || !low) return std::nullopt;
    return *high << 16 | *low;
}

} // namespace

std::uint32_t Add32(std::uint32_t x, std::uint32_t y) {
    std::uint64_t sum = std::uint64_t{x} + y;
    while (sum > 0xFFFFFFFFU) sum = (sum & 0xFFFFFFFFU) + (sum >> 32);
    return static_cast<std::uint32_t>(sum);
}

std::uint16_t Fold16(std::uint32_t a) {
    std::uint32_t sum = (a >> 16) + (a & 0xFFFFU);
    while (sum > 0xFFFFU) sum = (sum & 0xFFFFU) + (sum >> 16);
    return static_cast<std::uint16_t>(sum);
}

std::string EncodeNodePacket(std::string_view packet) {
    std::string out(packet);
    out.resize((out.size() + 3) / 4 * 4, '\0');
    if (out.size() < CheckAt + 1) return out;

    const auto mode = static_cast<unsigned char>(out[ModeAt - 1]);
    out[CheckAt - 1] = '\0';
    out[CheckAt] = '\0';
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < out.size(); at += 4) sum = Add32(sum, Mix(mode, BigEndian32(out, at), sum));

    const std::uint16_t check = Fold16(sum);
    out[CheckAt - 1] = static_cast<char>(check >> 8);
    out[CheckAt] = static_cast<char>(check & 0xFF);
    return out;
}

std::string BuildNodeControlPacket(std::string_view hardwareAddressHex12, std::uint16_t listenPort, int mode) {
    std::string hardware = HexToBytes(hardwareAddressHex12.substr(0, 12));
    hardware.resize(6, '\0');

    std::string packet(NodeMagic);
    packet += hardware;
    packet += '\x04';
    packet += static_cast<char>(mode & 0xFF);
    packet += std::string(2, '\0'); // the check, filled in below
    packet += static_cast<char>(listenPort >> 8);
    packet += static_cast<char>(listenPort & 0xFF);
    return EncodeNodePacket(packet);
}

std::optional<NodeControl> DecodeNodeControlPacket(std::string_view datagram) {
    if (datagram.size() != NodeControlPacketSize || !datagram.starts_with(NodeMagic)) return std::nullopt;
    if (datagram[12] != '\x04') return std::nullopt;
    const auto mode = static_cast<unsigned char>(datagram[ModeAt - 1]);
    if (mode > 8) return std::nullopt;
    if (EncodeNodePacket(datagram) != datagram) return std::nullopt;
    NodeControl control;
    control.hardware = std::string(datagram.substr(6, 6));
    control.mode = mode;
    control.port = static_cast<std::uint16_t>(static_cast<unsigned char>(datagram[16]) << 8 |
                                              static_cast<unsigned char>(datagram[17]));
    return control;
}

int ChooseCheckMode(double random01) {
    if (!(random01 > 0.0)) return 1; // also NaN
    if (random01 >= 1.0) return 8;
    return static_cast<int>(std::floor(8.0 * random01)) + 1;
}

std::string BytesToDottedAddress(std::string_view fourBytes) {
    std::string text;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) text += '.';
        text += std::to_string(i < fourBytes.size() ? static_cast<unsigned char>(fourBytes[i]) : 0U);
    }
    return text;
}

std::optional<std::string> NodeDottedAddress(std::string_view settingsLine2) {
    if (settingsLine2.size() < 28) return std::nullopt;
    const std::string_view digits = settingsLine2.substr(20, 8);
    if (!IsHexText(digits)) return std::nullopt;
    return BytesToDottedAddress(HexToBytes(digits));
}

std::optional<std::uint32_t> DottedIPv4Value(std::string_view text) { return DottedValue(text); }

bool PeerIsNode(std::string_view peer, std::string_view nodeDotted) {
    const auto node = DottedValue(nodeDotted);
    const auto from = IPv4Value(peer);
    return node && from && *node == *from;
}

bool IsNodeNotification(std::string_view data) {
    return data.size() == 19 && data.starts_with(NodeMagic) && data[12] == '\x05' && data[13] == '\x04';
}

} // namespace wm
