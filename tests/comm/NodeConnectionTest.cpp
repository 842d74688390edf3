#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "comm/MeterCommands.h"
#include "support/NodeRig.h"

namespace wm {
namespace {

using test::Line1;
using test::NodeRig;
using test::ReadWhole;

constexpr std::uint64_t Ms = 1000;
constexpr std::uint64_t S = 1000 * Ms;

std::string Notification() {
    return std::string(NodeMagic) + HexToBytes("020000123456" "0504" "0000000001");
}

TEST(NodeLink, ControlPacketGoesToTheNodesPortAndItsCallBackBringsTheLinkUp) {
    NodeRig rig(Line1(0));
    std::vector<std::string> captions;
    rig.Node().onCaption = [&](const std::string& c) { captions.push_back(c); };
    EXPECT_EQ(rig.program.x.NodeConnectPending, 1);

    ASSERT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Connected);
    EXPECT_EQ(rig.program.x.NodeConnectPending, 0);
    EXPECT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::NotPending);
    EXPECT_EQ(captions, (std::vector<std::string>{"Weight Main Menu                    Disconnected",
                                                  "Weight Main Menu                    Connected"}));
    EXPECT_EQ(rig.sockets.ListeningPort(), 10000);
    EXPECT_EQ(rig.sockets.UdpPort(), 63179);

    ASSERT_EQ(rig.sockets.datagrams.size(), 1U);
    const auto& d = rig.sockets.datagrams[0];
    EXPECT_EQ(d.host, "192.168.1.100");
    EXPECT_EQ(d.port, 63179);
    EXPECT_EQ(d.fromPort, 63179);
    const std::string hex = BytesToHex(d.bytes);
    ASSERT_EQ(hex.size(), 40U);
    EXPECT_EQ(hex.substr(0, 26), "5A91C3E07B24" "020000123456" "04");
    EXPECT_EQ(hex.substr(32), "27100000");
    const int mode = static_cast<unsigned char>(d.bytes[13]);
    EXPECT_GE(mode, 1);
    EXPECT_LE(mode, 8);
    EXPECT_EQ(EncodeNodePacket(d.bytes), d.bytes);
    // The program goes on the moment the node has called.
    EXPECT_EQ(rig.vt.NowUs(), MemoryNodeSockets::NetworkDelayUs * 2 + rig.callDelayUs);
    EXPECT_TRUE(rig.op.boxes.empty());
}

TEST(NodeLink, EachAttemptWaitsFourSecondsAndTheNodeMayCallOnAnyOfThem) {
    NodeRig rig(Line1(1));
    rig.callOnAttempt = 3;
    std::vector<int> attempts;
    rig.Node().onAttempt = [&](int a) { attempts.push_back(a); };
    ASSERT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Connected);
    EXPECT_EQ(attempts, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(rig.sockets.datagrams.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rig.sockets.datagrams[i].atUs, i * 4000 * Ms + MemoryNodeSockets::NetworkDelayUs) << i;
        EXPECT_EQ(rig.sockets.datagrams[i].bytes, rig.sockets.datagrams[0].bytes) << "one check mode per connection";
    }
}

TEST(NodeLink, NoCallBackAfterTenAttemptsEndsTheProgramWithTheSettingsAsRead) {
    NodeRig rig(Line1(0));
    rig.callOnAttempt = 0;
    const std::string before = ReadWhole(rig.SettingsFile());
    std::filesystem::last_write_time(rig.SettingsFile(), std::filesystem::file_time_type{});

    EXPECT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Failed);
    EXPECT_EQ(rig.sockets.datagrams.size(), 10U);
    EXPECT_EQ(rig.vt.NowUs(), 40 * S + 200 * Ms) << "ten waits, then the port's closing pause";
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, "Ethernet connection interrupted. Try re-connecting.");
    EXPECT_EQ(rig.op.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(rig.op.boxes[0].id, MessageId::NodeNotConnected);
    EXPECT_EQ(rig.op.endRequests, 1);
    // Written again, unchanged (no end flag: the program did not end normally).
    EXPECT_NE(std::filesystem::last_write_time(rig.SettingsFile()), std::filesystem::file_time_type{});
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), before);
    EXPECT_EQ(rig.sockets.ListeningPort(), 0);
    EXPECT_EQ(rig.sockets.UdpPort(), 0);
}

TEST(NodeLink, APortThatCannotBeListenedOnIsToldAndNothingIsSent) {
    NodeRig rig(Line1(0));
    rig.sockets.failListen = "the address is in use";
    EXPECT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Failed);
    EXPECT_TRUE(rig.sockets.datagrams.empty());
    EXPECT_EQ(rig.vt.NowUs(), 200 * Ms) << "the port's closing pause only";
    EXPECT_EQ(rig.op.Ids(), (std::vector<MessageId>{MessageId::NodeCannotListen}));
    EXPECT_NE(rig.op.boxes[0].text.find("TCP port 10000: the address is in use"), std::string::npos);
    EXPECT_EQ(rig.op.endRequests, 1);
}

TEST(NodeLink, OnlyTheNodesAddressIsLetIn) {
    NodeRig rig(Line1(0));
    rig.address = "192.168.1.100";
    rig.callDelayUs = 1500 * Ms;
    int strangerConnection = -1;
    rig.sockets.PeerConnect("192.168.1.7", 10000, 500 * Ms, [&](int c) { strangerConnection = c; });
    rig.sockets.PeerConnect("::ffff:192.168.1.101", 10000, 600 * Ms);
    ASSERT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Connected);
    EXPECT_EQ(strangerConnection, 0);
    EXPECT_EQ(rig.sockets.refused, (std::vector<std::string>{"192.168.1.7", "::ffff:192.168.1.101"}));
    EXPECT_EQ(rig.Node().Strangers(), 2);
    EXPECT_EQ(rig.sockets.datagrams.size(), 1U);
    const int node = rig.connection;

    rig.sockets.PeerConnect("10.0.0.1", 10000, 0);
    rig.vt.AdvanceUs(10 * Ms);
    EXPECT_EQ(rig.sockets.Current(), node);

    // The node itself may call again (after a restart of its own): its new
    // connection replaces the old one.
    rig.sockets.PeerConnect("::FFFF:C0A8:0164", 10000, 0, [&](int c) { rig.connection = c; });
    rig.vt.AdvanceUs(10 * Ms);
    EXPECT_NE(rig.sockets.Current(), node);
    EXPECT_EQ(rig.sockets.Current(), rig.connection);
}

TEST(NodeLink, NotificationsAreDroppedAndEachDeliveryReplacesTheLast) {
    NodeRig rig(Line1(0));
    ASSERT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Connected);
    Exchange& x = rig.program.x;

    rig.sockets.PeerSend(rig.connection, Notification());
    rig.vt.AdvanceUs(5 * Ms);
    EXPECT_EQ(x.NodeRxBuffer, "");

    // The same signature with other bytes in 13-14 is the meter's data.
    std::string other = Notification();
    other[13] = '\x05';
    rig.sockets.PeerSend(rig.connection, other);
    rig.vt.AdvanceUs(5 * Ms);
    EXPECT_EQ(x.NodeRxBuffer, other);

    rig.sockets.PeerSend(rig.connection, "+01234\r");
    rig.sockets.PeerSend(rig.connection, "+05678\r", 10);
    rig.sockets.PeerSend(rig.connection, Notification(), 20);
    rig.vt.AdvanceUs(5 * Ms);
    EXPECT_EQ(x.NodeRxBuffer, "+05678\r");
}

TEST(NodeLink, KeepAliveGoesOutFourteenSecondsAfterTheCallThenEveryFourteen) {
    NodeRig rig(Line1(0));
    ASSERT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Connected);
    const std::uint64_t connectedUs = rig.vt.NowUs();
    rig.StartTicks();
    rig.vt.AdvanceUs(43 * S);
    std::vector<std::uint64_t> at;
    for (const auto& sent : rig.sockets.tcpSent) {
        EXPECT_EQ(sent.bytes, std::string("\x01\x01\x05\xFF", 4));
        at.push_back(sent.atUs - connectedUs);
    }
    EXPECT_EQ(at, (std::vector<std::uint64_t>{14 * S, 28 * S, 42 * S}));
}

TEST(NodeLink, ADroppedConnectionShowsDisconnectedAndBreaksTheNextExchange) {
    NodeRig rig(Line1(0));
    std::string caption;
    rig.Node().onCaption = [&](const std::string& c) { caption = c; };
    ASSERT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Connected);
    rig.StartTicks();
    rig.vt.AdvanceUs(2 * S);
    EXPECT_EQ(caption, "Weight Main Menu                    Connected");
    rig.sockets.PeerClose(rig.connection);
    rig.vt.AdvanceUs(20 * S);
    EXPECT_EQ(caption, "Weight Main Menu                      Disconnected");
    EXPECT_TRUE(rig.sockets.tcpSent.empty()) << "no keep-alive without a connection";

    const std::uint64_t before = rig.vt.NowUs();
    const CommandOutcome out = RunMeterCommand(rig.program, *FindMeterCommand("gross"));
    EXPECT_FALSE(out.succeeded);
    EXPECT_EQ(rig.vt.NowUs() - before, 300 * Ms) << "the break ends the wait at once";
    ASSERT_EQ(rig.op.boxes.size(), 1U);
    EXPECT_EQ(rig.op.boxes[0].text, "Node communications appears broken.  Restart program.");
    EXPECT_EQ(rig.op.boxes[0].title, "Re-Connect");
    EXPECT_EQ(rig.op.boxes[0].buttons, Buttons::Ok);
    EXPECT_FALSE(rig.op.statusVisible);
}

TEST(NodeLink, TheCheckModeIsDrawnFromTheClockForEachConnection) {
    std::set<int> modes;
    for (std::uint32_t start = 0; start < 40; ++start) {
        NodeRig rig(Line1(0));
        rig.vt.AdvanceUs(start * 7919 * Ms);
        ASSERT_EQ(rig.Node().BuildLink(), NodeConnection::Outcome::Connected);
        modes.insert(static_cast<unsigned char>(rig.sockets.datagrams.at(0).bytes[13]));
    }
    EXPECT_EQ(modes, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

} // namespace
} // namespace wm
