#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "comm/Hex.h"
#include "comm/NodePacket.h"

namespace wm {
namespace {

// A node with the locally administered hardware address 02 00 00 12 34 56,
// the program listening on TCP port 10000 (2710). As blocks of four bytes:
//   5A91C3E0 7B240200 00123456 040m0000 27100000
constexpr std::string_view Hardware = "020000123456";
constexpr std::uint16_t ListenPort = 10000;

std::string Packet(const std::string& hex) { return HexToBytes(hex); }

TEST(NodeCheck, Add32CarriesOutOfTheTopBackIntoTheBottom) {
    struct Row {
        std::uint32_t x, y, sum;
    };
    for (const Row& r : std::vector<Row>{
             {0x00000000, 0x00000000, 0x00000000},
             {0x000000FF, 0x00000001, 0x00000100}, // a carry between bytes stays inside
             {0xFFFFFFFF, 0x00000001, 0x00000001},
             {0x80000000, 0x80000000, 0x00000001},
             {0xF0000000, 0x20000000, 0x10000001},
             {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, // the largest sum needs one carry only
             {0xFFFFFFFF, 0x00000000, 0xFFFFFFFF}, // negative zero is not normalised
         }) {
        EXPECT_EQ(Add32(r.x, r.y), r.sum) << std::hex << r.x << " + " << r.y;
        EXPECT_EQ(Add32(r.y, r.x), r.sum) << std::hex << r.y << " + " << r.x;
    }
}

TEST(NodeCheck, Fold16AddsTheHalvesWithEndAroundCarry) {
    struct Row {
        std::uint32_t a;
        std::uint16_t folded;
    };
    for (const Row& r : std::vector<Row>{
             {0x00000000, 0x0000},
             {0x12345678, 0x68AC},
             {0xFFFF0001, 0x0001},
             {0x80008000, 0x0001},
             {0xFFFFFFFF, 0xFFFF}, // not complemented
             {0xC762DD5B, 0xA4BE},
         }) {
        EXPECT_EQ(Fold16(r.a), r.folded) << std::hex << r.a;
    }
}

// With m = 1 the check value of a packet is the 16-bit fold of the one's
// complement sum of its five blocks each XORed with the running sum before it:
//   A0 = 00000000
//   T1 = 5A91C3E0 ^ 00000000 = 5A91C3E0   A1 = 5A91C3E0
//   T2 = 7B240200 ^ 5A91C3E0 = 21B5C1E0   A2 = 5A91C3E0 + 21B5C1E0 = 7C4785C0
//   T3 = 00123456 ^ 7C4785C0 = 7C55B196   A3 = 7C4785C0 + 7C55B196 = F89D3756
//   T4 = 04010000 ^ F89D3756 = FC9C3756   A4 = F89D3756 + FC9C3756 = 1F5396EAC -> F5396EAD
//   T5 = 27100000 ^ F5396EAD = D2296EAD   A5 = F5396EAD + D2296EAD = 1C762DD5A -> C762DD5B
//   check = C762 + DD5B = 1A4BD -> A4BE
// With m = 0 the blocks are summed as they are:
//   5A91C3E0 + 7B240200 + 00123456 + 04000000 + 27100000 = 100D7FA36 -> 00D7FA37
//   check = 00D7 + FA37 = FB0E
// The other modes' values were worked the same way; in this packet the
// rotations count 0 bits for blocks whose low byte is 00 or E0 (or when the
// sum's is), so each rotating mode turns at least one block by 22 bits.
TEST(NodeCheck, EveryModeGivesItsWorkedCheckValue) {
    struct Row {
        int mode;
        const char* packet;
    };
    for (const Row& r : std::vector<Row>{
             {0, "5A91C3E07B24020000123456" "0400FB0E" "27100000"},
             {1, "5A91C3E07B24020000123456" "0401A4BE" "27100000"},
             {2, "5A91C3E07B24020000123456" "0402677A" "27100000"}, // A = 49991DE1
             {3, "5A91C3E07B24020000123456" "0403B5AF" "27100000"}, // A = CB5FEA4F
             {4, "5A91C3E07B24020000123456" "04049509" "27100000"}, // A = D5D2BF36
             {5, "5A91C3E07B24020000123456" "0405F3E8" "27100000"}, // A = E1F211F6
             {6, "5A91C3E07B24020000123456" "0406E0B9" "27100000"}, // A = 164BCA6E
             {7, "5A91C3E07B24020000123456" "04074550" "27100000"}, // A = 41BF0391
             {8, "5A91C3E07B24020000123456" "040830AB" "27100000"}, // A = F6643A46
         }) {
        const std::string expected = Packet(r.packet);
        EXPECT_EQ(BytesToHex(BuildNodeControlPacket(Hardware, ListenPort, r.mode)), r.packet) << "mode " << r.mode;
        // The check bytes of the input do not take part.
        std::string stale = expected;
        stale[14] = '\xAA';
        stale[15] = '\x55';
        EXPECT_EQ(EncodeNodePacket(stale), expected) << "mode " << r.mode;
    }
}

// A second packet whose blocks end in bytes with non-zero low five bits
// (24, 5F, 04 ...), so every rotating mode turns several blocks: node
// 0A1B2C3D4E5F, the program listening on port 8080 (1F90).
TEST(NodeCheck, EveryModeGivesItsWorkedCheckValueWhenTheRotationsTurn) {
    struct Row {
        int mode;
        const char* check;
    };
    for (const Row& r : std::vector<Row>{{1, "651A"}, {2, "DF2D"}, {3, "E218"}, {4, "984F"},
                                         {5, "066F"}, {6, "7B80"}, {7, "B452"}, {8, "090D"}}) {
        const std::string expected = std::string("5A91C3E07B24" "0A1B2C3D4E5F" "040") +
                                     static_cast<char>('0' + r.mode) + r.check + "1F900000";
        EXPECT_EQ(BytesToHex(BuildNodeControlPacket("0A1B2C3D4E5F", 8080, r.mode)), expected) << "mode " << r.mode;
    }
}

TEST(NodeCheck, ModesTheNodeDoesNotKnowSumTheBlocksUnmixed) {
    // 5A91C3E0 + 7B240200 + 00123456 + 04090000 + 27100000 = 100E0FA36 -> 00E0FA37 -> FB17
    EXPECT_EQ(BytesToHex(BuildNodeControlPacket(Hardware, ListenPort, 9)), "5A91C3E07B240200001234560409FB1727100000");
    EXPECT_EQ(BytesToHex(BuildNodeControlPacket(Hardware, ListenPort, 255)), "5A91C3E07B2402000012345604FFFC0D27100000");
}

TEST(NodePacket, ControlPacketIsLaidOutByteByByte) {
    const std::string p = BuildNodeControlPacket("0a1B2c3D4e5F", 0xF6CB, 3);
    ASSERT_EQ(p.size(), NodeControlPacketSize);
    EXPECT_EQ(p.substr(0, 6), NodeMagic);
    EXPECT_EQ(BytesToHex(p.substr(6, 6)), "0A1B2C3D4E5F");
    EXPECT_EQ(BytesToHex(p.substr(12, 2)), "0403");
    EXPECT_EQ(BytesToHex(p.substr(16, 4)), "F6CB0000");
    EXPECT_EQ(EncodeNodePacket(p), p);

    // A short or garbled hardware address still gives six bytes.
    EXPECT_EQ(BytesToHex(BuildNodeControlPacket("0102", 1, 1).substr(6, 6)), "010200000000");
    EXPECT_EQ(BytesToHex(BuildNodeControlPacket("01zz03040506FF", 1, 1).substr(6, 6)), "010003040506");
}

TEST(NodePacket, PaddingFillsTheLastBlockWithZeros) {
    struct Row {
        const char* in;
        const char* out;
    };
    for (const Row& r : std::vector<Row>{
             // 19 bytes: one zero, the same packet as a whole one.
             {"5A91C3E07B24020000123456" "04010000" "271000", "5A91C3E07B24020000123456" "0401A4BE" "27100000"},
             // 21 bytes: a sixth block AB000000 joins the sum.
             {"5A91C3E07B24020000123456" "04010000" "27100000" "AB",
              "5A91C3E07B24020000123456" "0401EE7C" "27100000" "AB000000"},
             // 13 bytes: byte 14 is padding, so mode 0.
             {"5A91C3E07B24020000123456" "AB", "5A91C3E07B24020000123456" "AB007AFF"},
             // Too short to hold a check: padded only.
             {"", ""},
             {"5A", "5A000000"},
             {"5A91C3E07B2402000012", "5A91C3E07B24020000120000"},
         }) {
        EXPECT_EQ(BytesToHex(EncodeNodePacket(Packet(r.in))), r.out) << r.in;
    }
}

TEST(NodePacket, CheckModeIsOneToEightFromTheRandomNumber) {
    struct Row {
        double r;
        int mode;
    };
    for (const Row& row : std::vector<Row>{
             {0.0, 1},
             {0.124999, 1},
             {0.125, 2},
             {0.5, 5},
             {0.875, 8},
             {std::nextafter(1.0, 0.0), 8},
             // Out of range draws stay in range.
             {1.0, 8},
             {-0.5, 1},
             {std::numeric_limits<double>::quiet_NaN(), 1},
         }) {
        EXPECT_EQ(ChooseCheckMode(row.r), row.mode) << row.r;
    }
}

TEST(NodeAddress, DottedTextHasPlainDecimalNumbers) {
    EXPECT_EQ(BytesToDottedAddress(Packet("C0A8010A")), "192.168.1.10");
    EXPECT_EQ(BytesToDottedAddress(Packet("00000000")), "0.0.0.0");
    EXPECT_EQ(BytesToDottedAddress(Packet("FFFFFFFF")), "255.255.255.255");
    EXPECT_EQ(BytesToDottedAddress(Packet("0A006407")), "10.0.100.7");
    EXPECT_EQ(BytesToDottedAddress(Packet("0A")), "10.0.0.0");

    // Line 2: port, hardware address, an unused number, the address, end flag.
    EXPECT_EQ(NodeDottedAddress("2710" "020000123456" "0000" "c0a8010a" "1"), "192.168.1.10");
    EXPECT_EQ(NodeDottedAddress("2710" "020000123456" "0000" "0A006407"), "10.0.100.7");
    EXPECT_EQ(NodeDottedAddress("2710" "020000123456" "0000" "0A00640"), std::nullopt);
    EXPECT_EQ(NodeDottedAddress("2710" "020000123456" "0000" "0A0064 7" "1"), std::nullopt);
}

TEST(NodeControl, TheNodeReadsBackWhatTheProgramBuilt) {
    for (int mode = 0; mode <= 8; ++mode) {
        const auto control = DecodeNodeControlPacket(BuildNodeControlPacket(Hardware, ListenPort, mode));
        ASSERT_TRUE(control.has_value()) << mode;
        EXPECT_EQ(BytesToHex(control->hardware), Hardware);
        EXPECT_EQ(control->mode, mode);
        EXPECT_EQ(control->port, ListenPort);
    }
}

TEST(NodeControl, AnythingButAWellCheckedPacketIsNotOne) {
    const std::string good = BuildNodeControlPacket(Hardware, ListenPort, 5);
    std::vector<std::string> bad;
    for (const std::size_t at : {0U, 5U, 6U, 12U, 14U, 15U, 16U, 17U, 18U}) {
        std::string p = good;
        p[at] = static_cast<char>(p[at] ^ 0x10); // a flipped bit anywhere the check or the reader covers
        bad.push_back(p);
    }
    bad.push_back(good.substr(0, 19));
    bad.push_back(good + std::string(4, '\0'));
    bad.push_back(BuildNodeControlPacket(Hardware, ListenPort, 9)); // a mode the node does not know
    std::string notFour = good;
    notFour[12] = '\x05';
    bad.push_back(EncodeNodePacket(notFour));
    bad.push_back(std::string());
    for (const std::string& p : bad) EXPECT_FALSE(DecodeNodeControlPacket(p).has_value()) << BytesToHex(p);
}

TEST(NodeAddress, OnlyThePeerWithTheNodesAddressIsTheNode) {
    struct Row {
        const char* peer;
        bool node;
    };
    for (const Row& r : std::vector<Row>{
             {"192.168.1.100", true},
             {"::ffff:192.168.1.100", true}, // a dual-stack listener's view of an IPv4 peer
             {"::FFFF:192.168.1.100", true},
             {"::ffff:c0a8:164", true},
             {"::ffff:C0A8:0164", true},
             {"192.168.001.100", true},
             {"192.168.1.101", false},
             {"::ffff:192.168.1.101", false},
             {"::1", false},
             {"fe80::c0a8:164", false},
             {"::c0a8:164", false},
             {"192.168.1.100.5", false},
             {"192.168.1", false},
             {"192.168.1.356", false},
             {" 192.168.1.100", false},
             {"", false},
         }) {
        EXPECT_EQ(PeerIsNode(r.peer, "192.168.1.100"), r.node) << r.peer;
    }
    EXPECT_FALSE(PeerIsNode("0.0.0.0", "")) << "no node address lets nobody in";
}

TEST(NodeNotification, OnlyNineteenSignatureBytesWith0504AreTheNodes) {
    const std::string notification = std::string(NodeMagic) + Packet("020000123456" "0504" "0000000000" "FF");
    ASSERT_EQ(notification.size(), 20U);
    const std::string nineteen = notification.substr(0, 19);
    EXPECT_TRUE(IsNodeNotification(nineteen));

    std::string otherKind = nineteen;
    otherKind[13] = '\x05';
    std::string badSignature = nineteen;
    badSignature[0] = '\x5B';
    for (const std::string& data : {notification, nineteen.substr(0, 18), otherKind, badSignature,
                                    std::string(NodeKeepAlive), std::string()}) {
        EXPECT_FALSE(IsNodeNotification(data)) << BytesToHex(data);
    }
}

} // namespace
} // namespace wm
