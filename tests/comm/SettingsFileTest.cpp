#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "comm/Connection.h"
#include "app/Program.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "support/ScriptedOperator.h"

namespace wm {
namespace {

const std::string kSerialLine2 = "00000000000000000000000000001";

TEST(LinkDerivation, olderSixteenCharacterLineGetsBoardCodeZero) {
    LinkState link;
    ASSERT_EQ(DeriveLinkState("0501000000010001", kSerialLine2, link), "");
    EXPECT_EQ(link.SettingsLine1, "05010000000100010");
    EXPECT_EQ(link.BoardCode, 0);
    EXPECT_EQ(link.PortType, 1);
    EXPECT_EQ(link.BaudIndex, 5);
    EXPECT_EQ(link.CommPortNumber, 1);
    EXPECT_EQ(link.CharTimeMs, 1);
    EXPECT_EQ(PortSettingsText(link), "9600,n,8,1");
}

TEST(LinkDerivation, addressCharacterGivesAddressAndDisplay) {
    struct Row {
        char c;
        const char* address;
        const char* display;
    };
    for (const Row r : {Row{'0', "0", "0"}, Row{'9', "9", "9"}, Row{'A', "A", "A"}, Row{'F', "F", "F"},
                        Row{'G', "G", "0."}, Row{'P', "P", "9."}, Row{'V', "V", "F."}}) {
        std::string line1 = "05010000000100010";
        line1[7] = r.c;
        LinkState link;
        ASSERT_EQ(DeriveLinkState(line1, kSerialLine2, link), "") << r.c;
        EXPECT_EQ(link.MeterAddress, r.address) << r.c;
        EXPECT_EQ(link.AddressDisplay, r.display) << r.c;
    }
}

TEST(LinkDerivation, onlyDigitsAndUpperCaseAToVAreMeterAddresses) {
    // ":" to "@" lie between "9" and "A" and once stood for other addresses.
    for (const char c : {':', ';', '<', '=', '>', '?', '@', 'W', 'Z', 'a', 'v', ' ', '/'}) {
        std::string line1 = "05010000000100010";
        line1[7] = c;
        LinkState link;
        EXPECT_EQ(DeriveLinkState(line1, kSerialLine2, link), "character 8 (meter address) is not 0-9 or A-V") << c;
        EXPECT_FALSE(link.SettingsUsable) << c;
    }
}

TEST(SettingsText, linesAreCutAtLineFeedsAndLoseTrailingBlanksAndCarriageReturns) {
    struct Row {
        std::string bytes;
        const char* line1;
        const char* line2;
        const char* problem;
    };
    const Row rows[] = {
        {"", "", "", "the file is empty"},
        {"05010000000100010", "05010000000100010", "", "the second line is missing"},
        {"05010000000100010\r\n", "05010000000100010", "", "the second line is missing"},
        {"05010000000100010\r\n\r\n", "05010000000100010", "", ""},
        {"05010000000100010\r\nL2\r\n", "05010000000100010", "L2", ""},
        {"05010000000100010\nL2", "05010000000100010", "L2", ""},
        {"  05010000000100010   \r\r\nL2 \t\r\nthird\r\n", "05010000000100010", "L2", ""},
        {"05010000000100010 ,old comment\r\nL2,x\r\n", "05010000000100010", "L2", ""},
        {"   \r\n\r\n", "", "", ""},
    };
    for (const Row& r : rows) {
        const SettingsText text = ParseSettingsText(r.bytes);
        EXPECT_EQ(text.line1, r.line1) << r.bytes;
        EXPECT_EQ(text.line2, r.line2) << r.bytes;
        EXPECT_EQ(text.problem, r.problem) << r.bytes;
    }
}

TEST(LinkDerivation, modbusAddressFamilyAndSettingsText) {
    LinkState link;
    ASSERT_EQ(DeriveLinkState("05012000000100010", kSerialLine2, link), "");
    EXPECT_EQ(link.ModbusAddress, 1);
    EXPECT_EQ(link.ModbusAddressHex, "01");
    EXPECT_EQ(PortSettingsText(link), "9600,n,7,2");
    ASSERT_EQ(DeriveLinkState("56011200247000110", kSerialLine2, link), "");
    EXPECT_EQ(link.ModbusAddressHex, "F7");
    EXPECT_EQ(link.FamilyFiveFlag, 1);
    EXPECT_EQ(link.MeterFamily, 5);
    EXPECT_EQ(PortSettingsText(link), "19200,e,8,1");
    for (const char* family : {"4", "9"}) {
        std::string line1 = "05010000000100010";
        line1[0] = family[0];
        ASSERT_EQ(DeriveLinkState(line1, kSerialLine2, link), "");
        EXPECT_EQ(link.MeterFamily, 0);
    }
}

TEST(LinkDerivation, characterTimesFollowTheBaudRate) {
    const int expected[] = {37, 18, 9, 5, 2, 1, 1, 0};
    for (int i = 0; i < 8; ++i) {
        std::string line1 = "05010000000100010";
        line1[1] = static_cast<char>('0' + i);
        LinkState link;
        ASSERT_EQ(DeriveLinkState(line1, kSerialLine2, link), "");
        EXPECT_EQ(link.CharTimeMs, expected[i]) << i;
    }
    // Through the node the Custom ASCII character counts ten bit times.
    LinkState link;
    ASSERT_EQ(DeriveLinkState("00010000000100010", "1F40A1B2C3D4E5F60000C0A800071", link), "");
    EXPECT_EQ(link.EthernetLink, 1);
    EXPECT_EQ(link.CharTimeMs, 33);
}

TEST(LinkDerivation, malformedLinesAreRefusedWithTheReason) {
    struct Row {
        const char* line1;
        const char* line2;
        const char* mentions;
    };
    const Row rows[] = {
        {"0501", kSerialLine2.c_str(), "line 1"},
        {"05010000000100010", "0000", "line 2"},
        {"08010000000100010", kSerialLine2.c_str(), "baud"},
        {"05013000000100010", kSerialLine2.c_str(), "protocol"},
        {"0501000x000100010", kSerialLine2.c_str(), "meter address"},
        {"050100000001000X0", kSerialLine2.c_str(), "port type"},
        {"05010000000100010", "000000000000000000000000000Z1", "hexadecimal"},
    };
    for (const Row& r : rows) {
        LinkState link;
        const std::string problem = DeriveLinkState(r.line1, r.line2, link);
        EXPECT_NE(problem.find(r.mentions), std::string::npos) << r.line1 << " -> " << problem;
    }
}

struct Fixture : ::testing::Test {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("wm-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    VirtualTime time;
    MemorySerialPort port{time};
    test::ScriptedOperator op;
    std::unique_ptr<Program> program;

    void SetUp() override {
        std::filesystem::create_directories(dir);
        program = std::make_unique<Program>(Platform{port, time, time, op},
                                            ProgramPaths{dir / "Settings.SSS", dir, "/dev/pts/99"});
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void Write(const std::string& content) { std::ofstream(dir / "Settings.SSS", std::ios::binary) << content; }
    std::string Read() {
        std::ifstream in(dir / "Settings.SSS", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

using SettingsFile = Fixture;

TEST_F(SettingsFile, openConnectionOpensThePortWithTheDerivedSettings) {
    Write("05011000000100010\r\n" + kSerialLine2 + "\r\n");
    program->StartUp();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Device(), "/dev/pts/99");
    EXPECT_EQ(port.Settings(), "9600,n,8,2");
    EXPECT_TRUE(port.Rts());
    EXPECT_TRUE(port.Dtr());
    EXPECT_EQ(program->setup.text, std::string(176, '0'));
    EXPECT_TRUE(op.boxes.empty());
    // The main window's loading opens it a second time, to the same state.
    program->conn.OpenConnection();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Opens(), 2);
}

TEST_F(SettingsFile, missingFileIsToldOnceAndTheProgramGoesOnWithoutALink) {
    program->StartUp();
    program->conn.OpenConnection();
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_NE(op.boxes[0].text.find((dir / "Settings.SSS").string()), std::string::npos);
    EXPECT_EQ(program->link.PortType, 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(op.endRequests, 0);
    // A file we could not read is never replaced at exit.
    EXPECT_FALSE(program->conn.RewriteSettingsAtExit());
    EXPECT_FALSE(std::filesystem::exists(dir / "Settings.SSS"));
}

TEST_F(SettingsFile, portThatCannotOpenLeavesNoMeterLink) {
    Write("05010000000100010\r\n" + kSerialLine2 + "\r\n");
    port.failOpen = "no such device";
    program->StartUp();
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_NE(op.boxes[0].text.find("/dev/pts/99"), std::string::npos);
    EXPECT_EQ(program->link.PortType, 0);
    // The file keeps its own port type.
    EXPECT_EQ(program->link.SettingsLine1[15], '1');
}

TEST_F(SettingsFile, wrongInstrumentEndsTheProgram) {
    Write("050100000001000108\r\n" + kSerialLine2 + "\r\n");
    program->StartUp();
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, "Wrong Instrument Setup program for this meter.  Please terminate program.");
    EXPECT_EQ(op.boxes[0].title, "Program Error");
    EXPECT_EQ(op.endRequests, 1);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SettingsFile, exitRewriteSetsTheEndFlagAndKeepsLineOne) {
    Write("0501000000010001\r\n0000000000000000000000000000\r\n");
    program->StartUp();
    ASSERT_TRUE(program->conn.RewriteSettingsAtExit());
    EXPECT_EQ(Read(), "05010000000100010\r\n00000000000000000000000000001\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1); // no temporary left
}

TEST_F(SettingsFile, trailingBlanksAndDoubledCarriageReturnsAreNotBlamedOnTheBoardCode) {
    Write("05011000000100015   \r\r\n" + kSerialLine2 + "  \r\r\n");
    program->StartUp();
    EXPECT_TRUE(op.boxes.empty()) << op.boxes[0].text;
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(program->link.BoardCode, 5);
    ASSERT_TRUE(program->conn.RewriteSettingsAtExit());
    EXPECT_EQ(Read(), "05011000000100015\r\n" + kSerialLine2 + "\r\n"); // written as the format is
}

TEST_F(SettingsFile, aFolderAFifoOrAnOverlongFileIsNamedForWhatItIs) {
    struct Row {
        const char* what;
        const char* problem;
    };
    const Row rows[] = {
        {"folder", "it is a folder, not a file"},
        {"fifo", "it is not a regular file (a device, a pipe or a socket)"},
        {"long", "the file is longer than 4096 bytes; a settings file is two short lines"},
    };
    for (const Row& r : rows) {
        const std::filesystem::path file = dir / "Settings.SSS";
        std::filesystem::remove_all(file);
        const std::string what = r.what;
        if (what == "folder") std::filesystem::create_directories(file);
        if (what == "fifo") {
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); // opening it would wait
        }
        if (what == "long") Write("0501100000010001" + std::string(1 << 20, '0') + "\r\n" + kSerialLine2 + "\r\n");
        EXPECT_EQ(ReadSettingsFile(file).problem, r.problem);

        op.boxes.clear();
        program->conn.OpenConnection();
        ASSERT_EQ(op.boxes.size(), 1U) << r.what;
        EXPECT_EQ(op.boxes[0].text, "Settings file " + file.string() + ": " + r.problem +
                                        ".\rThe program goes on without a meter link.");
        EXPECT_FALSE(program->conn.RewriteSettingsAtExit()) << r.what;
    }
    // At the bound itself the file is still read.
    Write("05011000000100010\r\n" + kSerialLine2 + "\r\n" + std::string(4096 - 50, ' '));
    EXPECT_EQ(ReadSettingsFile(dir / "Settings.SSS").problem, "");
}

TEST_F(SettingsFile, closePortDrainsWaitsAndCloses) {
    Write("05010000000100010\r\n" + kSerialLine2 + "\r\n");
    program->StartUp();
    port.Output(std::string(96, 'x')); // 100 ms of output at 9600 baud
    const std::uint64_t start = time.NowUs();
    program->conn.ClosePort();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_GE(time.NowUs() - start, 299'000u);
    EXPECT_LT(time.NowUs() - start, 320'000u);
}

} // namespace
} // namespace wm

namespace wm {
namespace {

// A meter addressed by number on the command line: the link takes it at
// every opening while Settings.SSS keeps its own address, until the file is
// rewritten (a Put has then given the meter the setup's address).
TEST_F(SettingsFile, addressOverrideHoldsAcrossOpeningsUntilTheFileIsRewritten) {
    Write("05010001001000710\r\n" + kSerialLine2 + "\r\n");
    program->conn.OverrideAddress(17);
    program->StartUp();
    EXPECT_EQ(program->link.MeterAddress, "H");
    EXPECT_EQ(program->link.AddressDisplay, "1.");
    program->conn.OpenConnection(); // as a Put re-reads the settings
    EXPECT_EQ(program->link.MeterAddress, "H");
    EXPECT_EQ(program->link.SettingsLine1, "05010001001000710");
    ASSERT_TRUE(program->conn.RewriteSettings());
    EXPECT_EQ(Read(), "05010001001000710\r\n" + kSerialLine2 + "\r\n");
    program->conn.OpenConnection();
    EXPECT_EQ(program->link.MeterAddress, "1");

    // Modbus takes it as the slave address; a number the protocol cannot
    // hold leaves no meter link and says why.
    Write("05011001001000710\r\n" + kSerialLine2 + "\r\n");
    program->conn.OverrideAddress(200);
    program->conn.OpenConnection();
    EXPECT_EQ(program->link.ModbusAddress, 200);
    EXPECT_EQ(program->link.ModbusAddressHex, "C8");
    EXPECT_EQ(program->link.MeterAddress, "1");
    Write("05010001001000710\r\n" + kSerialLine2 + "\r\n");
    program->conn.OpenConnection();
    EXPECT_FALSE(program->link.SettingsUsable);
    EXPECT_FALSE(port.IsOpen());
    ASSERT_FALSE(op.boxes.empty());
    EXPECT_NE(op.boxes.back().text.find("a meter address in Custom ASCII is 0 to 31, not 200"), std::string::npos)
        << op.boxes.back().text;

    LinkState link;
    ASSERT_EQ(DeriveLinkState("05011001001000710", kSerialLine2, link), "");
    EXPECT_EQ(UseLinkAddress(link, 0), "a Modbus address is 1 to 255, not 0");
    EXPECT_EQ(link.ModbusAddress, 1);
}

} // namespace
} // namespace wm
