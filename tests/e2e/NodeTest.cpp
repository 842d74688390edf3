// wmctl through the Ethernet node, end to end on loopback: wmsim is the node
// on an address of its own (127.0.N.2, N from the process id, so tests that
// run side by side do not share a node), the program listens on a free TCP
// port and binds the node's UDP port number on every address.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QTimer>
#include <sstream>

#include "Processes.h"
#include "comm/Hex.h"
#include "support/TrafficLines.h"
#include "app/Program.h"
#include "platform/qt/QtNodeSockets.h"
#include "platform/qt/QtPlatform.h"

namespace wm::e2e {
namespace {

// A TCP port nothing listens on right now.
std::uint16_t FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        close(s);
        return 0;
    }
    close(s);
    return ntohs(a.sin_port);
}

std::string Hex2(unsigned v) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", v & 0xFF);
    return text;
}

// The meter's frames wmctl sent, as the trace prints them (hex); the node's
// own packets carry a note saying what they are.
std::vector<std::string> Sent(const std::string& err) {
    std::vector<std::string> out;
    for (const TrafficLine& line : test::TrafficLinesIn(err))
        if (line.kind == TrafficLine::Kind::Tx && line.note.empty()) out.push_back(BytesToHex(line.bytes));
    return out;
}

// True when the trace holds a frame of that kind, with that note, whose hex starts with `hex`.
bool Traced(const std::string& err, TrafficLine::Kind kind, const std::string& note, const std::string& hex) {
    for (const TrafficLine& line : test::TrafficLinesIn(err))
        if (line.kind == kind && line.note == note && BytesToHex(line.bytes).starts_with(hex)) return true;
    return false;
}

struct NodeLink : ::testing::Test {
    std::filesystem::path dir;
    unsigned net = 0;
    std::string node, stranger;
    std::uint16_t port = 0;

    void SetUp() override {
        dir = MakeTestFolder();
        net = 1 + static_cast<unsigned>(getpid()) % 250;
        node = "127.0." + std::to_string(net) + ".2";
        stranger = "127.0." + std::to_string(net) + ".3";
        port = FreePort();
        ASSERT_NE(port, 0);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path Settings() const { return dir / "Settings.SSS"; }
    std::filesystem::path Log() const { return dir / "node.log"; }

    // The protocol given, address 1, Modbus address 1, revision 7, port type
    // 1; line 2 names the node. The meter's line behind the node is set to
    // 300 baud: through the node that asks for no pause between Modbus
    // requests (the node paces the meter), so the tests run in seconds.
    void WriteSettings(char protocol) const {
        std::string line1 = "0001000100100071";
        line1[4] = protocol;
        const std::string line2 = Hex2(port >> 8) + Hex2(port) + "020000123456" + "0000" + "7F00" + Hex2(net) + "02" + "0";
        std::ofstream(Settings(), std::ios::binary) << line1 << "0\r\n" << line2 << "\r\n";
    }
    std::vector<std::string> SimArgs(std::vector<std::string> more) const {
        std::vector<std::string> args{"--baud", "9600", "--delay", "0", "--node", node, "--log", Log().string()};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    RunResult Wm(std::vector<std::string> args, int timeoutMs = 60000) const {
        std::vector<std::string> all{Bin("wmctl"), "--settings", Settings().string(), "--trace"};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(all, dir, timeoutMs);
    }
    std::string NodeLog() const {
        std::ifstream in(Log(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(NodeLink, customAsciiReadGetAndPutThroughTheNode) {
    SimProcess sim(SimArgs({}));
    ASSERT_FALSE(sim.Device().empty());
    WriteSettings('0');
    const RunResult gross = Wm({"read", "gross"});
    ASSERT_EQ(gross.exitCode, 0) << gross.err;
    EXPECT_EQ(gross.out, "+01234\n");
    EXPECT_EQ(Sent(gross.err), (std::vector<std::string>{"2A3142330D0A"})) << gross.err; // *1B3 CR LF
    EXPECT_TRUE(Traced(gross.err, TrafficLine::Kind::Tx, "udp control packet to the node", "5A91C3E07B24020000123456"))
        << gross.err;

    const RunResult got = Wm({"get", "-o", (dir / "meter.WT").string()});
    ASSERT_EQ(got.exitCode, 0) << got.err;
    std::string image;
    std::getline(std::ifstream(dir / "meter.WT"), image);
    image = image.substr(0, 136);
    image.replace(0, 6, "000123");
    std::ofstream(dir / "edited.WT", std::ios::binary) << image << "\r\n0\r\n";
    const RunResult put = Wm({"put", (dir / "edited.WT").string()});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    const std::vector<std::string> sent = Sent(put.err);
    ASSERT_EQ(sent.size(), 8U) << put.err; // A1, X115, G12C, then the five writes of a Put through the node
    EXPECT_EQ(sent[3].substr(0, 12), "2A3157443138"); // *1WD18
    EXPECT_EQ(sent[4].substr(0, 12), "2A3157433042"); // *1WC0B
    EXPECT_EQ(sent[5].substr(0, 24), "2A3157333144303030313233") << "W31D with the new tare"; // *1W31D000123
    // Each run asked the node once and closed its connection at the end.
    const std::string log = NodeLog();
    std::size_t calls = 0, closes = 0;
    for (const TrafficLine& line : test::ReadTrafficFile(Log())) {
        calls += line.note == "node called";
        closes += line.note.find("the program closed the connection") != std::string::npos;
    }
    EXPECT_EQ(calls, 3U) << log;
    EXPECT_EQ(closes, 3U) << log;
}

TEST_F(NodeLink, modbusTcpFramesCarryTheirTransactionIdentifiers) {
    SimProcess sim(SimArgs({}));
    WriteSettings('1');
    const RunResult gross = Wm({"read", "gross"});
    ASSERT_EQ(gross.exitCode, 0) << gross.err;
    EXPECT_EQ(Sent(gross.err), (std::vector<std::string>{"000100000006010400070002"}));

    const RunResult got = Wm({"get", "-o", (dir / "meter.WT").string()});
    ASSERT_EQ(got.exitCode, 0) << got.err;
    const std::vector<std::string> gets = Sent(got.err);
    ASSERT_EQ(gets.size(), 7U) << got.err;
    EXPECT_EQ(gets[0], "0001000000060108" "00010000");
    for (std::size_t i = 0; i < gets.size(); ++i) EXPECT_EQ(gets[i].substr(0, 8), "000" + std::to_string(i + 1) + "0000");

    const RunResult put = Wm({"put", (dir / "meter.WT").string()});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    const std::vector<std::string> puts = Sent(put.err);
    ASSERT_EQ(puts.size(), 8U) << put.err; // two reads of the check, six writes
    EXPECT_EQ(puts[2].substr(0, 8), "00030000");
    EXPECT_EQ(puts[2].substr(12, 8), "01100001") << "write registers from 0001";
}

TEST_F(NodeLink, aStrangerIsClosedNotificationsAreIgnoredAndAWrongIdentifierFails) {
    SimProcess sim(SimArgs({"--node-stranger", stranger, "--node-notify", "--node-notify-replies"}));
    WriteSettings('0');
    const RunResult gross = Wm({"read", "gross"});
    ASSERT_EQ(gross.exitCode, 0) << gross.err;
    EXPECT_EQ(gross.out, "+01234\n");
    EXPECT_NE(gross.err.find("refused a connection from"), std::string::npos) << gross.err;
    EXPECT_TRUE(Traced(gross.err, TrafficLine::Kind::Rx, "node notification, dropped", "5A91C3E07B24")) << gross.err;
    const std::string log = NodeLog();
    EXPECT_NE(log.find("stranger from " + stranger + ": closed by the program"), std::string::npos) << log;

    SimProcess wrong(SimArgs({"--node-wrong-id"}));
    WriteSettings('1');
    const RunResult r = Wm({"read", "gross"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("status 27"), std::string::npos) << r.err;
}

TEST_F(NodeLink, aDroppedConnectionBreaksTheNextExchange) {
    SimProcess sim(SimArgs({"--node-drop-after", "1"}));
    WriteSettings('0');
    const RunResult r = Wm({"get", "-o", (dir / "meter.WT").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Re-Connect: Node communications appears broken.  Restart program."), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "meter.WT"));
}

TEST_F(NodeLink, aNodeThatNeverCallsFailsTheCommandAndKeepsTheSettings) {
    SimProcess sim(SimArgs({"--node-no-call"}));
    WriteSettings('0');
    std::ifstream in(Settings(), std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), {});
    const RunResult r = Wm({"--node-tries", "1", "read", "gross"}, 15000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Ethernet connection interrupted. Try re-connecting."), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    std::ifstream after(Settings(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), before);
    EXPECT_NE(NodeLog().find("(not calling back)"), std::string::npos);

    // Through the node there is no continuous output to read.
    const RunResult stream = Wm({"stream", "-n", "1"});
    EXPECT_EQ(stream.exitCode, 2);
    EXPECT_NE(stream.err.find("not available"), std::string::npos) << stream.err;
}

// The keep-alive in real time: the program's own node link on Qt sockets
// holds the node's connection for 29 s; the node logs a keep-alive about
// 14 s and 28 s after it called.
TEST_F(NodeLink, keepAliveReachesTheNodeEveryFourteenSeconds) {
#ifdef WM_SANITIZE_BUILD
    // Half a minute of waiting that checks timing, not memory: once, in the
    // plain build, is enough (the virtual-time tests cover the rule).
    GTEST_SKIP() << "real-time check runs in the plain build";
#endif
    SimProcess sim(SimArgs({}));
    WriteSettings('0');
    int argc = 1;
    char name[] = "test_e2e";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtClock clock;
    QtEventPump pump;
    QtSerialPort serial{pump};
    QtNodeSockets sockets{pump};
    ConsoleOperator op;
    Program program(Platform{serial, clock, pump, op}, ProgramPaths{Settings(), dir, ""});
    program.AttachNode(sockets);
    program.StartUp();
    ASSERT_EQ(program.node->BuildLink(), NodeConnection::Outcome::Connected);
    QTimer timer;
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, [&] { program.node->TimerTick(); });
    timer.start();
    pump.WaitFor(29'000);
    timer.stop();
    program.node->Close();

    std::vector<long long> keepAlives;
    long long called = -1;
    for (const TrafficLine& line : test::ReadTrafficFile(Log())) {
        const auto at = static_cast<long long>(line.timeUs);
        if (line.note == "node called") called = at;
        if (line.note == "node keepalive") keepAlives.push_back(at);
    }
    ASSERT_GE(called, 0) << NodeLog();
    ASSERT_EQ(keepAlives.size(), 2U) << NodeLog();
    EXPECT_NEAR(static_cast<double>(keepAlives[0] - called) / 1000.0, 14000.0, 300.0);
    EXPECT_NEAR(static_cast<double>(keepAlives[1] - called) / 1000.0, 28000.0, 300.0);
}

} // namespace
} // namespace wm::e2e
