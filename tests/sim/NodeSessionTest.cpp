#include <gtest/gtest.h>

#include "comm/NodePacket.h"
#include "sim/NodeSession.h"

namespace wm::sim {
namespace {

std::string Bytes(const std::string& hex) { return Unhex(hex).value(); }

TEST(NodeSession, OnlyAWellCheckedControlPacketForThisNodeIsAnswered) {
    Meter meter;
    NodeSession node(meter, {});
    const std::string good = BuildNodeControlPacket("020000123456", 10000, 6);
    EXPECT_EQ(node.Datagram(good, 5), 10000);
    EXPECT_EQ(node.Datagram(BuildNodeControlPacket("020000123457", 10000, 6), 6), std::nullopt);
    std::string damaged = good;
    damaged[17] = static_cast<char>(damaged[17] ^ 1); // another port, the check as before
    EXPECT_EQ(node.Datagram(damaged, 7), std::nullopt);
    EXPECT_EQ(node.Datagram("*1B3\r\n", 8), std::nullopt);
    const std::vector<std::string> log = node.TakeLog();
    ASSERT_EQ(log.size(), 4U);
    EXPECT_EQ(log[0], "0.005 note # node control mode 6 port 10000");
    EXPECT_NE(log[1].find("for node 020000123457"), std::string::npos);

    NodeOptions silent;
    silent.callBack = false;
    NodeSession mute(meter, silent);
    EXPECT_EQ(mute.Datagram(good, 0), std::nullopt);
}

TEST(NodeSession, RequestsSplitAcrossSegmentsAreServedWholeAndKeepAlivesAreLogged) {
    Meter meter;
    NodeSession node(meter, {}, 1000);
    node.Called(true, 0);
    node.Receive("*1B", 100);
    EXPECT_TRUE(node.TakeOutgoing().empty());
    node.Receive("3\r\n" + std::string(NodeKeepAlive), 200);
    std::vector<Outgoing> out = node.TakeOutgoing();
    ASSERT_EQ(out.size(), 1U);
    EXPECT_EQ(out[0].bytes, "+01234\r");
    // Six request bytes at 1 ms each, the meter's think time, seven reply bytes.
    EXPECT_EQ(out[0].atUs, 200U + 6000 + 10'000 + 7000);
    EXPECT_EQ(node.KeepAlives(), (std::vector<std::uint64_t>{200}));

    // A Modbus TCP request in two pieces: the reply keeps its identifier.
    node.Receive(Bytes("12340000"), 300'000);
    node.Receive(Bytes("0006010400070002"), 300'001);
    out = node.TakeOutgoing();
    ASSERT_EQ(out.size(), 1U);
    EXPECT_EQ(Hex(out[0].bytes), "123400000007010404000004D2");
    EXPECT_EQ(node.Requests(), 2);

    // Bytes that are neither are dropped, and the next request is served.
    node.Receive(Bytes("00010005FFFF"), 400'000);
    node.Receive("*1B3\r\n", 400'001);
    EXPECT_EQ(node.TakeOutgoing().size(), 1U);
}

} // namespace
} // namespace wm::sim
