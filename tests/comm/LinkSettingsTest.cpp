#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/Program.h"
#include "comm/Connection.h"
#include "comm/Hex.h"
#include "comm/LinkSettings.h"
#include "comm/NodePacket.h"
#include "comm/Tables.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "support/ScriptedOperator.h"
#include "support/TransferRig.h"

namespace wm {
namespace {

using test::ReadWhole;
using test::WriteWhole;

// What the program's reader must make of lines written from `s`.
void ExpectLinkIs(const LinkState& link, const LinkSettings& s, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_TRUE(link.SettingsUsable);
    EXPECT_EQ(link.MeterFamily, s.family);
    EXPECT_EQ(link.FamilyFiveFlag, s.family == 5 ? 1 : 0);
    EXPECT_EQ(BaudRates[static_cast<std::size_t>(link.BaudIndex)], std::to_string(s.baud));
    EXPECT_EQ(link.CommPortNumber, s.commPort);
    EXPECT_EQ(link.SerialMode, static_cast<int>(s.protocol));
    EXPECT_EQ(link.UseModbus, s.protocol == SerialProtocol::CustomAscii ? 0 : 1);
    EXPECT_EQ("noe"[link.ParityCode], s.parity);
    EXPECT_EQ(link.ModbusTimeoutChoice, s.modbusTimeout);
    EXPECT_EQ(link.MeterAddress, std::string(1, s.address));
    EXPECT_EQ(link.ModbusAddress, s.modbusAddress);
    EXPECT_EQ(link.ModbusAddressHex, ByteToHex(s.modbusAddress));
    EXPECT_EQ(link.SetupFlag, s.setupFlag);
    EXPECT_EQ(link.MeterRevision, s.revision);
    EXPECT_EQ(link.PortType, s.portType);
    EXPECT_EQ(link.BoardCode, s.boardCode);
    EXPECT_EQ(link.EthernetLink, s.node ? 1 : 0);
    EXPECT_EQ(NodeDottedAddress(link.SettingsLine2).value_or("?"), s.nodeIP);
    EXPECT_EQ(HexNumber(link.SettingsLine2.substr(0, 4)).value_or(99999), static_cast<unsigned>(s.listenPort));
    if (s.node) {
        EXPECT_EQ(link.SettingsLine2.substr(4, 12), UpperCase(s.nodeMac));
    }
}

// Combination i of the values each position can hold, stepping every field
// by a different stride so that a few thousand cover every pairing of
// protocol, parity, baud rate, port type and node.
LinkSettings Combination(std::size_t i) {
    constexpr std::array families{0, 1, 2, 3, 5, 6, 7, 8};
    constexpr std::array ports{1, 2, 9, 10, 42, 99};
    constexpr std::array addresses{'0', '1', '9', 'A', 'F', 'G', 'P', 'V'};
    constexpr std::array modbus{1, 2, 10, 99, 100, 200, 247};
    constexpr std::array revisions{0, 5, 6, 7, 10, 123, 999};
    constexpr std::array boards{0, 1, 2, 7, 9, 10, 80, 800, 12345, 99999};
    constexpr std::array listen{0, 1, 8080, 65535};
    const auto pick = [i](const auto& list, std::size_t stride) { return list[(i / stride) % list.size()]; };
    LinkSettings s;
    s.family = pick(families, 1);
    s.baud = std::stoi(std::string(BaudRates[i % BaudRates.size()]));
    s.commPort = pick(ports, 3);
    s.protocol = static_cast<SerialProtocol>((i / 5) % 3);
    s.parity = s.protocol == SerialProtocol::CustomAscii ? 'n' : "noe"[(i / 7) % 3];
    s.modbusTimeout = static_cast<int>((i / 11) % 10);
    s.address = pick(addresses, 13);
    s.modbusAddress = pick(modbus, 17);
    s.setupFlag = static_cast<int>((i / 19) % 10);
    s.revision = pick(revisions, 23);
    s.portType = static_cast<int>((i / 2) % 3);
    s.boardCode = pick(boards, 29);
    s.node = (i / 31) % 2 == 1;
    s.listenPort = s.node ? std::max(1, pick(listen, 37)) : pick(listen, 37);
    s.nodeMac = s.node ? "0080A3" + std::string(i % 2 ? "12ab56" : "000001") : "000000000000";
    s.nodeIP = (i / 41) % 3 == 0 && !s.node ? "0.0.0.0" : "192.168." + std::to_string(i % 256) + ".7";
    s.nodeSpare = (i / 43) % 2 ? "0000" : "000A";
    s.endFlag = (i / 47) % 2 ? '1' : '0';
    return s;
}

TEST(LinkSettings, everyCombinationWrittenIsReadBackToTheSameLink) {
    for (std::size_t i = 0; i < 6000; ++i) {
        const LinkSettings s = Combination(i);
        const SettingsLines lines = BuildSettingsLines(s);
        ASSERT_EQ(lines.problem, "") << i;
        EXPECT_GE(lines.line1.size(), 17u);
        EXPECT_LE(lines.line1.size(), 21u);
        EXPECT_EQ(lines.line2.size(), 29u);

        // Through the file and the program's own reader, as a start-up reads it.
        const SettingsText text = ParseSettingsText(lines.line1 + "\r\n" + lines.line2 + "\r\n");
        ASSERT_EQ(text.problem, "");
        LinkState link;
        ASSERT_EQ(DeriveLinkState(text.line1, text.line2, link), "") << lines.line1 << " " << lines.line2;
        ExpectLinkIs(link, s, lines.line1 + " " + lines.line2);

        // And back to the same values, lower-case hex digits coming back in upper case.
        std::string problem;
        const std::optional<LinkSettings> back = ReadLinkSettings(text.line1, text.line2, problem);
        ASSERT_TRUE(back) << problem;
        LinkSettings expected = s;
        expected.nodeMac = UpperCase(s.nodeMac);
        EXPECT_EQ(*back, expected) << i;
    }
}

TEST(LinkSettings, valuesThePositionsCannotHoldAreAllNamedAndNothingIsWritten) {
    struct Row {
        void (*change)(LinkSettings&);
        const char* named;
    };
    const Row rows[] = {
        {[](LinkSettings& s) { s.family = 4; }, "meter family 4"},
        {[](LinkSettings& s) { s.family = 9; }, "meter family 9"},
        {[](LinkSettings& s) { s.baud = 14400; }, "baud rate 14400 (one of 300, 600"},
        {[](LinkSettings& s) { s.commPort = 0; }, "serial port number 0"},
        {[](LinkSettings& s) { s.commPort = 100; }, "serial port number 100"},
        {[](LinkSettings& s) { s.parity = 'e'; }, "parity e with Custom ASCII"},
        {[](LinkSettings& s) { s.parity = 'x'; }, "parity \"x\""},
        {[](LinkSettings& s) { s.address = 'W'; }, "meter address \"W\""},
        {[](LinkSettings& s) { s.address = 'a'; }, "meter address \"a\""},
        {[](LinkSettings& s) { s.modbusAddress = 0; }, "Modbus address 0"},
        {[](LinkSettings& s) { s.modbusAddress = 248; }, "Modbus address 248"},
        {[](LinkSettings& s) { s.revision = 1000; }, "meter revision 1000"},
        {[](LinkSettings& s) { s.portType = 3; }, "port type 3"},
        {[](LinkSettings& s) { s.boardCode = 8; }, "board code 8"},
        {[](LinkSettings& s) { s.boardCode = 100000; }, "board code 100000"},
        {[](LinkSettings& s) { s.modbusTimeout = 10; }, "Modbus time-out choice 10"},
        {[](LinkSettings& s) { s.node = true; }, "node hardware address 000000000000"},
        {[](LinkSettings& s) { s.node = true; s.nodeMac = "0080A3123456"; }, "node address 0.0.0.0"},
        {[](LinkSettings& s) { s.node = true; s.nodeMac = "0080A3123456"; s.nodeIP = "10.0.0.2"; }, "listen port 0"},
        {[](LinkSettings& s) { s.node = true; s.nodeMac = "0080A31234"; }, "node hardware address \"0080A31234\""},
        {[](LinkSettings& s) { s.nodeIP = "10.0.0.256"; }, "node address \"10.0.0.256\""},
        {[](LinkSettings& s) { s.listenPort = 65536; }, "listen port 65536"},
        {[](LinkSettings& s) { s.device = "ttyUSB0"; }, "not an absolute path"},
        {[](LinkSettings& s) { s.device = "/dev/tty\nUSB0"; }, "control character"},
        {[](LinkSettings& s) { s.node = true; s.nodeMac = "0080A3123456"; s.nodeIP = "10.0.0.2"; s.listenPort = 80;
                               s.device = "/dev/ttyUSB0"; }, "with a node"},
    };
    test::TempFolder folder;
    const auto file = folder.path() / "Settings.SSS";
    for (const Row& r : rows) {
        LinkSettings s;
        r.change(s);
        const SettingsLines lines = BuildSettingsLines(s);
        EXPECT_NE(lines.problem.find(r.named), std::string::npos) << r.named << ": " << lines.problem;
        EXPECT_TRUE(lines.line1.empty() && lines.line2.empty());
        EXPECT_EQ(WriteLinkSettings(file, s), lines.problem);
        EXPECT_FALSE(std::filesystem::exists(file)) << r.named;
    }
    // Every value that cannot be held is named at once.
    LinkSettings s;
    s.baud = 1;
    s.modbusAddress = 999;
    s.address = '*';
    const std::string problem = BuildSettingsLines(s).problem;
    for (const char* named : {"baud rate 1 ", "Modbus address 999", "meter address \"*\""})
        EXPECT_NE(problem.find(named), std::string::npos) << named << ": " << problem;
}

// Files written by other copies of the program (or by hand) read to the
// link the program has always made of them, and writing that back keeps it.
TEST(LinkSettings, filesOtherCopiesWroteKeepTheirLinkWhenWrittenBack) {
    const std::pair<std::string, std::string> files[] = {
        {"0501000000010001", test::kSerialLine2},       // 16 characters: board code 0
        {"45010000000100010", test::kSerialLine2},      // family 4 reads as 0
        {"97012000000100010", test::kSerialLine2},      // family 9 reads as 0; Modbus address 000 is 1
        {"05011210024700720", test::kNodeLine2},        // the node, characters 17-20 "000A" kept
        {"0501000100100071000", "1f900000000000000000c0a800011"}, // a serial file that keeps a node address
    };
    for (const auto& [line1, line2] : files) {
        LinkState original;
        ASSERT_EQ(DeriveLinkState(line1, line2, original), "") << line1;
        std::string problem;
        const std::optional<LinkSettings> s = ReadLinkSettings(line1, line2, problem);
        ASSERT_TRUE(s) << problem;
        const SettingsLines lines = BuildSettingsLines(*s);
        ASSERT_EQ(lines.problem, "") << line1;
        LinkState again;
        ASSERT_EQ(DeriveLinkState(lines.line1, lines.line2, again), "");
        ExpectLinkIs(again, *s, line1);
        EXPECT_EQ(again.CharTimeMs, original.CharTimeMs);
        EXPECT_EQ(again.AddressDisplay, original.AddressDisplay);
        EXPECT_EQ(UpperCase(lines.line2.substr(0, 28)), UpperCase(line2.substr(0, 28))) << line1;
    }
}

struct DeviceFile : ::testing::Test {
    test::TempFolder folder;
    std::filesystem::path settings = folder.path() / "Settings.SSS";
    std::filesystem::path companion = folder.path() / "Settings.SSS.device";
    VirtualTime time;
    MemorySerialPort port{time};
    test::ScriptedOperator op;

    // A start-up of a program without --port (or with one).
    std::string OpenedDevice(const std::string& portOverride = {}) {
        Program program(Platform{port, time, time, op}, ProgramPaths{settings, folder.path(), portOverride});
        program.StartUp();
        return port.IsOpen() ? port.Device() : std::string();
    }
};

TEST_F(DeviceFile, aDevicePathIsWrittenBesideTheFileAndAPortNumberRemovesIt) {
    EXPECT_EQ(DeviceFileFor("/x/Settings.SSS"), std::filesystem::path("/x/Settings.SSS.device"));
    LinkSettings s;
    s.commPort = 3;
    s.device = "/dev/pts/17";
    ASSERT_EQ(WriteLinkSettings(settings, s), "");
    const SettingsLines lines = BuildSettingsLines(s);
    EXPECT_EQ(ReadWhole(settings), lines.line1 + "\r\n" + lines.line2 + "\r\n"); // still its two lines
    EXPECT_EQ(lines.line1.substr(2, 2), "03");                                 // the number as it was
    EXPECT_EQ(ReadWhole(companion), "/dev/pts/17\n");
    EXPECT_EQ(OpenedDevice(), "/dev/pts/17");
    EXPECT_EQ(OpenedDevice("/dev/pts/5"), "/dev/pts/5"); // --port over both
    const LinkSettingsFile read = ReadLinkSettingsFile(settings);
    ASSERT_TRUE(read.settings) << read.problem;
    EXPECT_EQ(*read.settings, s);

    s.device.clear();
    ASSERT_EQ(WriteLinkSettings(settings, s), "");
    EXPECT_FALSE(std::filesystem::exists(companion));
    EXPECT_EQ(OpenedDevice(), "/dev/ttyS2");

    // /dev/ttyS(n-1) is written as the port number, as other copies write it.
    SetSerialDevice(s, "/dev/ttyS0");
    EXPECT_EQ(s.commPort, 1);
    EXPECT_EQ(s.device, "");
    SetSerialDevice(s, "/dev/ttyUSB0");
    EXPECT_EQ(s.commPort, 1);
    EXPECT_EQ(s.device, "/dev/ttyUSB0");

    // A node file does not read the device file; writing one removes it.
    WriteWhole(companion, "/dev/pts/17\n");
    WriteWhole(settings, "05011000000100010\r\n" + test::kNodeLine2 + "\r\n");
    const LinkSettingsFile node = ReadLinkSettingsFile(settings);
    ASSERT_TRUE(node.settings) << node.problem;
    EXPECT_TRUE(node.settings->node);
    EXPECT_EQ(node.settings->device, "");
    ASSERT_EQ(WriteLinkSettings(settings, *node.settings), "");
    EXPECT_FALSE(std::filesystem::exists(companion));
}

TEST_F(DeviceFile, aDeviceFileThatCannotBeUsedIsToldAndNoOtherDeviceIsOpened) {
    LinkSettings s;
    ASSERT_EQ(WriteLinkSettings(settings, s), "");
    for (const std::string& content : {std::string(), std::string("\n"), std::string("ttyUSB0\n"),
                                      std::string(5000, '/')}) {
        WriteWhole(companion, content);
        op.boxes.clear();
        EXPECT_EQ(OpenedDevice(), "") << content;
        ASSERT_EQ(op.boxes.size(), 1u) << content;
        EXPECT_NE(op.boxes[0].text.find(companion.string()), std::string::npos) << op.boxes[0].text;
        EXPECT_FALSE(ReadLinkSettingsFile(settings).settings);
        EXPECT_EQ(ResolveSerialDevice(settings, 1, "/dev/pts/4").device, "/dev/pts/4");
    }
    // Trailing blanks and a CR of a hand-edited file are not part of the path.
    WriteWhole(companion, "/dev/ttyUSB1 \r\nignored\n");
    EXPECT_EQ(OpenedDevice(), "/dev/ttyUSB1");
    // A settings file that is not there, and one that cannot be used.
    std::filesystem::remove(settings);
    EXPECT_TRUE(ReadLinkSettingsFile(settings).missing);
    WriteWhole(settings, "junk\r\n");
    const LinkSettingsFile junk = ReadLinkSettingsFile(settings);
    EXPECT_FALSE(junk.missing);
    EXPECT_NE(junk.problem.find(settings.string()), std::string::npos);
}

} // namespace
} // namespace wm
