// What a stranger on the network may send: datagrams read as control
// packets (as the node reads them), and peer addresses of connections to the
// program's listening port (only the node's may get in).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "comm/Hex.h"
#include "comm/NodePacket.h"

namespace {

using wm::fuzz::Bytes;

void Control(const std::string& datagram) {
    const auto control = wm::DecodeNodeControlPacket(datagram);
    if (!control) return;
    WM_FUZZ_CHECK(datagram.size() == wm::NodeControlPacketSize);
    WM_FUZZ_CHECK(std::string_view(datagram).starts_with(wm::NodeMagic) && datagram[12] == '\x04');
    WM_FUZZ_CHECK(control->mode >= 0 && control->mode <= 8 && control->mode == static_cast<unsigned char>(datagram[13]));
    WM_FUZZ_CHECK(control->hardware == datagram.substr(6, 6));
    WM_FUZZ_CHECK(control->port == (static_cast<unsigned char>(datagram[16]) << 8 | static_cast<unsigned char>(datagram[17])));
    WM_FUZZ_CHECK(wm::EncodeNodePacket(datagram) == datagram);
    // With zero padding it is exactly the packet the program builds.
    if (datagram[18] == '\0' && datagram[19] == '\0')
        WM_FUZZ_CHECK(wm::BuildNodeControlPacket(wm::BytesToHex(control->hardware), control->port, control->mode) ==
                      datagram);
}

void Damaged(const std::string& hardware, std::uint16_t port, int mode, std::size_t at, std::uint8_t flip) {
    std::string packet = wm::BuildNodeControlPacket(wm::BytesToHex(hardware), port, mode % 9);
    WM_FUZZ_CHECK(wm::DecodeNodeControlPacket(packet).has_value());
    if (flip == 0 || at >= 18) return; // the padding is not read
    packet[at] = static_cast<char>(packet[at] ^ flip);
    const auto read = wm::DecodeNodeControlPacket(packet);
    // One damaged byte either stops the packet, or (a byte the check does
    // not tell apart) leaves one that is still well checked.
    if (read) WM_FUZZ_CHECK(wm::EncodeNodePacket(packet) == packet);
}

// The IPv4 address a peer text stands for when it is one of the forms the
// program takes: dotted, or IPv4-mapped with a dotted or two-group tail.
std::optional<std::uint32_t> Reference(std::string_view text) {
    const auto dotted = [](std::string_view t) -> std::optional<std::uint32_t> {
        std::uint32_t v = 0;
        int parts = 0;
        while (parts < 4) {
            const std::size_t end = parts < 3 ? t.find('.') : t.size();
            if (end == std::string_view::npos || end == 0 || end > 3) return std::nullopt;
            unsigned n = 0;
            for (const char c : t.substr(0, end)) {
                if (c < '0' || c > '9') return std::nullopt;
                n = n * 10 + static_cast<unsigned>(c - '0');
            }
            if (n > 255) return std::nullopt;
            v = v << 8 | n;
            t.remove_prefix(parts < 3 ? end + 1 : end);
            ++parts;
        }
        return v;
    };
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!lower.starts_with("::ffff:") || lower.size() == 7) return dotted(text);
    const std::string tail = lower.substr(7);
    if (tail.find('.') != std::string::npos) return dotted(tail);
    const std::size_t colon = tail.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 4 || tail.size() - colon - 1 == 0 ||
        tail.size() - colon - 1 > 4)
        return std::nullopt;
    const auto high = wm::HexNumber(tail.substr(0, colon));
    const auto low = wm::HexNumber(tail.substr(colon + 1));
    if (!high || !low) return std::nullopt;
    return *high << 16 | *low;
}

void Peer(const std::string& peer, const std::string& fourBytes) {
    const std::string node = wm::BytesToDottedAddress(fourBytes);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | (i < fourBytes.size() ? static_cast<unsigned char>(fourBytes[i]) : 0U);
    const auto reference = Reference(peer);
    WM_FUZZ_CHECK(wm::PeerIsNode(peer, node) == (reference && *reference == value));
    WM_FUZZ_CHECK(wm::PeerIsNode(node, node) && wm::PeerIsNode("::ffff:" + node, node));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const std::string hardware = in.Take(6);
    const std::uint16_t port = in.Word();
    const int mode = in.Byte();
    const std::size_t at = in.Byte() % 20;
    const std::uint8_t flip = in.Byte();
    const std::string four = in.Take(4);
    const std::string peer = in.Counted();
    const std::string rest = in.Rest();

    Control(rest);
    Damaged(hardware, port, mode, at, flip);
    Peer(peer, four);
    Peer(rest, four);
    return 0;
}
