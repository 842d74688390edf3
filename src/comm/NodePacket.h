#pragma once
// The bytes exchanged with the Ethernet node, as pure functions: the control
// packet that asks the node to call the program back on its listening TCP
// port, the node's keyed 16-bit check value over it, the notifications the
// node sends on the TCP connection (which are not meter data), the keep-alive
// and the node's address text. No sockets and no clock here: the link code
// sends what these build and chooses the check mode from its own random
// generator.
//
// Bytes are std::string, one char per byte (0..255).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wm {

// Every packet to and from the node starts with these six bytes.
inline constexpr std::string_view NodeMagic{"\x5A\x91\xC3\xE0\x7B\x24", 6};
// The node listens for control packets on this UDP port, and the program
// binds its own UDP socket to the same port.
inline constexpr std::uint16_t NodePort = 63179;
// Sent over the TCP connection every 14 seconds so the node keeps it open.
inline constexpr std::string_view NodeKeepAlive{"\x01\x01\x05\xFF", 4};
// The length of a control packet once padded.
inline constexpr std::size_t NodeControlPacketSize = 20;

// One's complement sum of two 32-bit numbers: a carry out of the top is
// added back at the bottom (FFFFFFFF + 1 = 1, 80000000 + 80000000 = 1).
[[nodiscard]] std::uint32_t Add32(std::uint32_t x, std::uint32_t y);

// The high and low 16-bit halves of a added the same way (not complemented).
[[nodiscard]] std::uint16_t Fold16(std::uint32_t a);

// The packet padded with zero bytes to a multiple of four, its check value
// written big-endian into bytes 15-16 (1-based); every other byte is as
// given. The check runs over the padded packet with bytes 15-16 taken as zero,
// block of four bytes by block, each block mixed with the running sum as the
// check mode in byte 14 says (0..8). The node knows no modes above 8: for
// those the blocks are summed unmixed, as in mode 0, so the packet still
// carries a well-defined check. A padded packet shorter than 16 bytes has no
// room for a check and comes back padded only.
[[nodiscard]] std::string EncodeNodePacket(std::string_view packet);

// The 20-byte control packet: the signature, the node's hardware address
// (twelve hex digits, as Settings.SSS line 2 characters 5-16 hold it), 04,
// the check mode, the check, the program's listening TCP port, and padding.
// A hardware address with fewer than twelve digits is filled with zero bytes;
// pairs that are not hex digits give zero bytes.
[[nodiscard]] std::string BuildNodeControlPacket(std::string_view hardwareAddressHex12,
                                                 std::uint16_t listenPort, int mode);

// What a control packet asks of the node.
struct NodeControl {
    std::string hardware; // the node's hardware address, six bytes
    int mode = 0;         // the check mode, 0..8
    std::uint16_t port = 0; // the TCP port to call back on
};

// A datagram read as a control packet, as the node reads it: exactly the
// padded 20 bytes, the signature, 04 in byte 13, a check mode the node knows
// (0..8) and the right check value for it. Anything else (a stranger's
// datagram, a damaged packet) gives nothing.
[[nodiscard]] std::optional<NodeControl> DecodeNodeControlPacket(std::string_view datagram);

// The check mode for a new connection, 1..8, from a random number in [0, 1)
// the caller drew. Numbers outside [0, 1) are held to the nearest mode.
[[nodiscard]] int ChooseCheckMode(double random01);

// "a.b.c.d" from the first four bytes, each in decimal without leading
// zeros; missing bytes count as zero.
[[nodiscard]] std::string BytesToDottedAddress(std::string_view fourBytes);

// The node's IPv4 address as dotted text from Settings.SSS line 2, which
// holds it as eight hex digits in characters 21-28. Nothing when the line is
// too short or those characters are not all hex digits, so the caller can
// say the settings are wrong instead of sending to a made-up address.
[[nodiscard]] std::optional<std::string> NodeDottedAddress(std::string_view settingsLine2);

// The value of a dotted IPv4 address "a.b.c.d" (each part 1-3 decimal digits
// up to 255, first part highest); nothing for any other text.
[[nodiscard]] std::optional<std::uint32_t> DottedIPv4Value(std::string_view text);

// True when the peer address of a TCP connection is the node's. The peer
// comes as the socket layer writes it: dotted IPv4 ("192.168.1.10"), or the
// IPv4-mapped IPv6 form a dual-stack listener reports ("::ffff:192.168.1.10",
// "::FFFF:C0A8:010A"); nodeDotted is the dotted address of Settings.SSS. The
// addresses are compared as numbers, so leading zeros or letter case do
// not matter; anything that is not an IPv4 address (a real IPv6 peer, an
// empty text) is not the node.
[[nodiscard]] bool PeerIsNode(std::string_view peer, std::string_view nodeDotted);

// True for the node's own notification on the TCP connection: 19 bytes,
// the signature, then 05 04 in bytes 13-14. Such data is dropped; anything
// else, including other 19-byte messages that start with the signature, is
// the meter's.
[[nodiscard]] bool IsNodeNotification(std::string_view data);

} // namespace wm
