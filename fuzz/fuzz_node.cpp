// The Ethernet node's packets on arbitrary bytes: the check encoder, the
// control packet, the notification test and the node's address text.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "comm/Hex.h"
#include "comm/NodePacket.h"

namespace {

using wm::fuzz::Bytes;

void Encode(const std::string& packet) {
    const std::string out = wm::EncodeNodePacket(packet);
    WM_FUZZ_CHECK(out.size() % 4 == 0 && out.size() >= packet.size() && out.size() < packet.size() + 4);
    const bool checked = out.size() >= 16;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (checked && (i == 14 || i == 15)) continue;
        WM_FUZZ_CHECK(out[i] == (i < packet.size() ? packet[i] : '\0'));
    }
    // The check is computed with its own bytes zero, so encoding again, or
    // encoding with other bytes there, changes nothing.
    WM_FUZZ_CHECK(wm::EncodeNodePacket(out) == out);
    if (checked) {
        std::string stale = out;
        stale[14] = static_cast<char>(~stale[14]);
        stale[15] = static_cast<char>(stale[15] ^ 0x5A);
        WM_FUZZ_CHECK(wm::EncodeNodePacket(stale) == out);
    }
}

void Control(const std::string& hardware, std::uint16_t port, int mode) {
    const std::string p = wm::BuildNodeControlPacket(hardware, port, mode);
    WM_FUZZ_CHECK(p.size() == wm::NodeControlPacketSize);
    WM_FUZZ_CHECK(std::string_view(p).starts_with(wm::NodeMagic));
    WM_FUZZ_CHECK(p[12] == '\x04' && p[13] == static_cast<char>(mode & 0xFF));
    WM_FUZZ_CHECK(static_cast<unsigned char>(p[16]) * 256 + static_cast<unsigned char>(p[17]) == port);
    WM_FUZZ_CHECK(p[18] == '\0' && p[19] == '\0');
    if (hardware.size() >= 12 && wm::IsHexText(hardware.substr(0, 12)))
        WM_FUZZ_CHECK(wm::BytesToHex(p.substr(6, 6)) == wm::UpperCase(hardware.substr(0, 12)));
    WM_FUZZ_CHECK(wm::EncodeNodePacket(p) == p);
}

void Notification(const std::string& data) {
    const bool is = wm::IsNodeNotification(data);
    if (is) {
        // Exactly 19 bytes: one more or one fewer is meter data.
        WM_FUZZ_CHECK(data.size() == 19 && std::string_view(data).starts_with(wm::NodeMagic));
        WM_FUZZ_CHECK(!wm::IsNodeNotification(data + '\x04') && !wm::IsNodeNotification(data.substr(0, 18)));
    }

    // The same bytes made into a notification are one; any other pair in
    // bytes 13-14 makes them meter data.
    std::string made = std::string(wm::NodeMagic) + data.substr(0, 13);
    made.resize(19, '\0');
    const bool was0504 = made[12] == '\x05' && made[13] == '\x04';
    WM_FUZZ_CHECK(wm::IsNodeNotification(made) == was0504);
    made[12] = '\x05';
    made[13] = '\x04';
    WM_FUZZ_CHECK(wm::IsNodeNotification(made));
}

// The number the dotted text stands for, or -1 when a part is not plain
// decimal (no sign, no blanks, no leading zeros, at most 255).
std::int64_t ParseDotted(const std::string& text) {
    std::int64_t value = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.', at) : text.size();
        if (end == std::string::npos || end == at || end - at > 3) return -1;
        const std::string digits = text.substr(at, end - at);
        if (digits.find_first_not_of("0123456789") != std::string::npos) return -1;
        if (digits.size() > 1 && digits[0] == '0') return -1;
        const int n = std::stoi(digits);
        if (n > 255) return -1;
        value = value * 256 + n;
        at = end + 1;
    }
    return value;
}

void Dotted(const std::string& data) {
    std::string four = data.substr(0, 4);
    const std::int64_t parsed = ParseDotted(wm::BytesToDottedAddress(four));
    four.resize(4, '\0');
    std::int64_t expected = 0;
    for (const char c : four) expected = expected * 256 + static_cast<unsigned char>(c);
    WM_FUZZ_CHECK(parsed == expected);

    const auto address = wm::NodeDottedAddress(data);
    const bool wellFormed = data.size() >= 28 && wm::IsHexText(data.substr(20, 8));
    WM_FUZZ_CHECK(address.has_value() == wellFormed);
    if (wellFormed) WM_FUZZ_CHECK(ParseDotted(*address) == wm::HexNumber(data.substr(20, 8)).value());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const std::uint16_t port = in.Word();
    const int mode = in.Byte();
    const int chosen = wm::ChooseCheckMode(in.Byte() / 256.0);
    WM_FUZZ_CHECK(chosen >= 1 && chosen <= 8);
    const std::string hardware = in.Take(12);
    const std::string rest = in.Rest();

    Encode(rest);
    Control(hardware, port, mode);
    Notification(rest);
    Dotted(rest);
    return 0;
}
