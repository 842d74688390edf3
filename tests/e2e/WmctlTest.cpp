#include <gtest/gtest.h>

#include "Processes.h"

namespace wm::e2e {
namespace {

// Settings.SSS for the simulated meter: 9600 baud, port type 1, revision 7.
void WriteSettings(const std::filesystem::path& file, char protocol) {
    std::string line1 = "0501000100100071";
    line1[4] = protocol;
    std::ofstream(file, std::ios::binary) << line1 << "0\r\n" << std::string(28, '0') << "1\r\n";
}

struct Wmctl : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("wm-e2e-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
               std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    RunResult Wm(const SimProcess& sim, std::vector<std::string> args) {
        std::vector<std::string> all{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                     sim.Device()};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(all, dir);
    }
};

TEST_F(Wmctl, readsGrossNetAndPeakInEverySerialProtocol) {
    SimProcess sim({"--baud", "9600"});
    ASSERT_FALSE(sim.Device().empty());
    for (char protocol : {'0', '1', '2'}) {
        WriteSettings(dir / "Settings.SSS", protocol);
        for (const char* reading : {"gross", "net", "peak"}) {
            const RunResult r = Wm(sim, {"read", reading});
            EXPECT_EQ(r.exitCode, 0) << protocol << " " << reading << ": " << r.err;
            EXPECT_FALSE(r.out.empty()) << protocol << " " << reading;
        }
    }
}

TEST_F(Wmctl, silentMeterFailsWithTheStatusCode) {
    SimProcess sim({"--baud", "9600", "--silent", "B3"});
    WriteSettings(dir / "Settings.SSS", '0');
    const RunResult r = Wm(sim, {"read", "gross"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Communications failure.  Try again."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("status 21"), std::string::npos) << r.err;
}

TEST_F(Wmctl, commandIsSentAndBadArgumentsAreRefused) {
    SimProcess sim({"--baud", "9600"});
    WriteSettings(dir / "Settings.SSS", '1');
    const RunResult reset = Wm(sim, {"command", "peak-reset"});
    EXPECT_EQ(reset.exitCode, 0) << reset.err;
    EXPECT_EQ(reset.out, "Peak Reset Command sent.\n");
    EXPECT_EQ(Wm(sim, {"command", "gross"}).exitCode, 2);
    EXPECT_EQ(Wm(sim, {"read"}).exitCode, 2);
    EXPECT_EQ(Wm(sim, {"frobnicate"}).exitCode, 2);
}

TEST_F(Wmctl, missingSettingsFileIsNamedAndRefused) {
    SimProcess sim({"--baud", "9600"});
    const RunResult r = Wm(sim, {"read", "gross"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find((dir / "Settings.SSS").string()), std::string::npos) << r.err;
}

} // namespace
} // namespace wm::e2e
