#include <gtest/gtest.h>

#include "app/ConnectionSettings.h"
#include "app/SettingsArgs.h"
#include "support/SimProgram.h"

namespace wm {
namespace {

LinkSettings Applied(const std::vector<std::string>& args, const LinkSettings& current = {}) {
    std::string problem;
    const std::optional<SettingsArgs> parsed = ParseSettingsArgs(args, problem);
    EXPECT_TRUE(parsed) << problem;
    return parsed ? ApplySettingsArgs(*parsed, current) : current;
}

TEST(SettingsArgs, optionsChangeOnlyWhatTheyNameAndANewFileHasTheDefaults) {
    const LinkSettings fresh;
    const SettingsLines lines = BuildSettingsLines(fresh);
    EXPECT_EQ(lines.line1, "05010001001000610"); // family 0, 9600, port 1, ASCII, none, address 1, revision 6
    EXPECT_EQ(lines.line2, std::string(29, '0'));

    LinkSettings s = Applied({"--protocol", "rtu", "--parity", "e", "--baud", "19200", "--modbus-address", "17",
                              "--address", "B", "--family", "5", "--revision", "12", "--echo", "--comm-port", "4"});
    EXPECT_EQ(s.protocol, SerialProtocol::ModbusRtu);
    EXPECT_EQ(s.parity, 'e');
    EXPECT_EQ(s.baud, 19200);
    EXPECT_EQ(s.modbusAddress, 17);
    EXPECT_EQ(s.address, 'B');
    EXPECT_EQ(s.family, 5);
    EXPECT_EQ(s.revision, 12);
    EXPECT_EQ(s.portType, 2);
    EXPECT_EQ(s.commPort, 4);

    // Kept: everything not named. Custom ASCII without --parity runs without one.
    const LinkSettings kept = Applied({"--baud", "300"}, s);
    EXPECT_EQ(kept.baud, 300);
    EXPECT_EQ(kept.parity, 'e');
    EXPECT_EQ(kept.modbusAddress, 17);
    EXPECT_EQ(Applied({"--protocol", "ascii"}, s).parity, 'n');
    EXPECT_EQ(Applied({"--no-echo"}, s).portType, 1);

    // A device, then a node, then a port number again.
    s = Applied({"--device", "/dev/pts/3"}, s);
    EXPECT_EQ(s.device, "/dev/pts/3");
    EXPECT_EQ(s.commPort, 4);
    s = Applied({"--node", "10.0.0.2", "--node-mac", "00:80:a3:12:34:56", "--listen-port", "8080"}, s);
    EXPECT_TRUE(s.node);
    EXPECT_EQ(s.device, "");
    const SettingsLines node = BuildSettingsLines(s);
    ASSERT_EQ(node.problem, "");
    EXPECT_EQ(node.line2, "1F900080A312345600000A0000020");
    s = Applied({"--comm-port", "2"}, s);
    EXPECT_FALSE(s.node);
    EXPECT_EQ(BuildSettingsLines(s).line2.substr(4, 12), "000000000000");
    // A file that said "no port" gets a serial line.
    LinkSettings none;
    none.portType = 0;
    EXPECT_EQ(Applied({"--device", "/dev/ttyUSB0"}, none).portType, 1);
}

TEST(SettingsArgs, malformedOrContradictoryArgumentsAreRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"--baud"}, {"--baud", ""}, {"--baud", "fast"}, {"--baud", "9600x"}, {"--baud", "99999999999"},
        {"--protocol", "tcp"}, {"--parity", "even"}, {"--address", "10"}, {"--frobnicate"}, {"9600"},
        {"--baud", "9600", "--baud", "4800"}, {"--echo", "--no-echo"}, {"--comm-port", "1", "--device", "/dev/x"},
        {"--device", "/dev/x", "--node", "10.0.0.1"}, {"--echo", "--listen-port", "80"},
    };
    for (const auto& args : bad) {
        std::string problem;
        EXPECT_FALSE(ParseSettingsArgs(args, problem)) << args[0];
        EXPECT_FALSE(problem.empty()) << args[0];
    }
    // A value out of range parses; the file's own rules refuse it by name.
    const LinkSettings s = Applied({"--modbus-address", "300"});
    EXPECT_NE(BuildSettingsLines(s).problem.find("Modbus address 300"), std::string::npos);
    // A node option alone on a serial file leaves the node without its address.
    EXPECT_NE(BuildSettingsLines(Applied({"--listen-port", "80"})).problem.find("node hardware address"),
              std::string::npos);
}

TEST(ConnectionSettings, aSerialChangeIsInUseAtOnceAndANodeWaitsForTheNextStart) {
    test::SimProgram p(test::Line1(0));
    ASSERT_TRUE(p.port.IsOpen());
    p.program.SetupReceived = 1;
    p.program.baseline.source = SetupSource::Get;

    LinkSettings s = CurrentLinkSettings(p.program);
    EXPECT_EQ(s.revision, 7);
    s.baud = 19200;
    s.device = "/dev/pts/42"; // the program runs with --port memory: that stays the device
    const ConnectionSaved saved = SaveConnectionSettings(p.program, s);
    ASSERT_EQ(saved.problem, "");
    EXPECT_TRUE(saved.reopened);
    EXPECT_EQ(p.port.Settings(), "19200,n,8,1");
    EXPECT_TRUE(p.port.IsOpen());
    EXPECT_NE(saved.message.find("memory, named on the command line"), std::string::npos) << saved.message;
    // The meter may be another one: its setup is no longer known.
    EXPECT_EQ(p.program.SetupReceived, 0);
    EXPECT_EQ(p.program.baseline.source, SetupSource::None);
    EXPECT_EQ(CurrentLinkSettings(p.program), s);

    LinkSettings node = s;
    node.device.clear();
    node.node = true;
    node.nodeMac = "0080A3123456";
    node.nodeIP = "10.0.0.2";
    node.listenPort = 8080;
    const ConnectionSaved later = SaveConnectionSettings(p.program, node);
    ASSERT_EQ(later.problem, "");
    EXPECT_FALSE(later.reopened);
    EXPECT_NE(later.message.find("next starts"), std::string::npos);
    EXPECT_EQ(p.program.link.EthernetLink, 0); // the link in use is the serial one still

    const std::string before = test::ReadWhole(p.SettingsFile());
    s.modbusAddress = 0;
    EXPECT_NE(SaveConnectionSettings(p.program, s).problem.find("Modbus address 0"), std::string::npos);
    EXPECT_EQ(test::ReadWhole(p.SettingsFile()), before);
}

} // namespace
} // namespace wm
