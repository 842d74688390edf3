#include <gtest/gtest.h>

#include "Processes.h"

namespace wm::e2e {
namespace {

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct WmctlSettings : ::testing::Test {
    std::filesystem::path dir;
    std::filesystem::path settings;
    void SetUp() override {
        dir = MakeTestFolder();
        settings = dir / "Settings.SSS";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    // wmctl with the test's settings file and no --port.
    RunResult Wm(std::vector<std::string> args) {
        std::vector<std::string> all{Bin("wmctl"), "--settings", settings.string()};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(all, dir);
    }
};

// The device path form: written once, then every command finds the meter
// without --port, in each serial protocol.
TEST_F(WmctlSettings, aDeviceWrittenOnceIsWhereEveryCommandFindsTheMeter) {
    SimProcess sim({"--baud", "19200", "--delay", "0"});
    ASSERT_FALSE(sim.Device().empty());
    const RunResult written = Wm({"settings", "--device", sim.Device(), "--baud", "19200", "--revision", "7"});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(Slurp(dir / "Settings.SSS.device"), sim.Device() + "\n");
    EXPECT_EQ(Slurp(settings), "06010001001000710\r\n" + std::string(29, '0') + "\r\n");
    for (const char* protocol : {"ascii", "rtu", "mbascii"}) {
        ASSERT_EQ(Wm({"settings", "--protocol", protocol}).exitCode, 0) << protocol;
        const RunResult r = Wm({"read", "gross"});
        EXPECT_EQ(r.exitCode, 0) << protocol << ": " << r.err;
        EXPECT_FALSE(r.out.empty()) << protocol;
    }
}

// The port number form: the device file goes, the number names the device.
TEST_F(WmctlSettings, aPortNumberRemovesTheDeviceFileAndNamesTtyS) {
    ASSERT_EQ(Wm({"settings", "--device", "/dev/pts/1234567"}).exitCode, 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "Settings.SSS.device"));
    const RunResult r = Wm({"settings", "--comm-port", "99"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "Settings.SSS.device"));
    EXPECT_EQ(Slurp(settings).substr(0, 5), "05990");
    const RunResult read = Wm({"read", "gross"});
    EXPECT_EQ(read.exitCode, 2);
    EXPECT_NE(read.err.find("/dev/ttyS98"), std::string::npos) << read.err;
}

TEST_F(WmctlSettings, combinationsTheFileCannotHoldAreRefusedAndTheFileIsUntouched) {
    ASSERT_EQ(Wm({"settings", "--protocol", "rtu", "--parity", "o"}).exitCode, 0);
    const std::string before = Slurp(settings);
    const RunResult r = Wm({"settings", "--baud", "14400", "--modbus-address", "248", "--address", "z"});
    EXPECT_EQ(r.exitCode, 2);
    for (const char* named : {"baud rate 14400", "Modbus address 248", "meter address \"z\"", "nothing written"})
        EXPECT_NE(r.err.find(named), std::string::npos) << named << ": " << r.err;
    EXPECT_EQ(Slurp(settings), before);
    EXPECT_EQ(Wm({"settings", "--node", "10.0.0.2"}).exitCode, 2); // no hardware address, no port
    EXPECT_EQ(Wm({"settings", "--comm-port", "1", "--device", "/dev/x"}).exitCode, 2);
    EXPECT_EQ(Slurp(settings), before);

    const RunResult printed = Wm({"settings", "--node", "10.0.0.2", "--node-mac", "0080A3123456", "--listen-port",
                                  "8080", "--print"});
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    EXPECT_EQ(printed.out, "05011101001000610\r\n1F900080A312345600000A0000020\r\n");
    EXPECT_EQ(Slurp(settings), before); // --print writes nothing
}

} // namespace
} // namespace wm::e2e
