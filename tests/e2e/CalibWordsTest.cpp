// wmctl calib-words against wmsim on a pseudo-terminal: the words of every
// range of the board, read without a single write.
#include <gtest/gtest.h>

#include <algorithm>

#include "Processes.h"
#include "support/TrafficLines.h"
#include "sc/Calibration.h"
#include "setup/Defaults.h"

namespace wm::e2e {
namespace {

struct CalibWords : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override {
        dir = MakeTestFolder();
        WriteAsciiSettings(dir / "Settings.SSS");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    RunResult Words(const SimProcess& sim, bool json = false) {
        std::vector<std::string> args{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                      sim.Device(),   "calib-words"};
        if (json) args.emplace_back("--json");
        return RunProgram(args, dir);
    }
    [[nodiscard]] std::string Log() const {
        std::ifstream in(dir / "sim.log", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(CalibWords, listsEveryRangeInOrderAndWritesNothing) {
    SimProcess sim({"--calib-word", "28:ABCD", "--calib-word", "1a:FF6C", "--log", (dir / "sim.log").string()});
    ASSERT_FALSE(sim.Device().empty());
    const RunResult plain = Words(sim);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, "Zero             1A FF6C\n"
                         "200 mV DC        1F 1F40\n"
                         "2 V DC           20 1F40\n"
                         "20 V DC          21 1F40\n"
                         "200 V DC         22 1F40\n"
                         "660 V DC         23 1F40\n"
                         "2 mA DC          25 1F40\n"
                         "20 mA DC         26 1F40\n"
                         "200 mA DC        27 1F40\n"
                         "5 A DC           28 ABCD\n");
    const RunResult json = Words(sim, true);
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_TRUE(json.out.starts_with("[\n  {\"range\": \"Zero\", \"address\": \"1A\", \"word\": \"FF6C\"},\n"))
        << json.out;
    EXPECT_NE(json.out.find("{\"range\": \"5 A DC\", \"address\": \"28\", \"word\": \"ABCD\"}\n]\n"), std::string::npos)
        << json.out;
    const std::vector<test::SimRequestNote> requests = test::SimRequests(test::ReadTrafficFile(dir / "sim.log"));
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(),
                            [](const test::SimRequestNote& r) { return r.key == "X128" && r.heard; }))
        << Log();
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(),
                             [](const test::SimRequestNote& r) { return r.key.starts_with("W"); }))
        << "a write reached the meter:\n" << Log();
}

TEST_F(CalibWords, aFailedReadNamesItsRangeAndAnotherBoardIsRefused) {
    {
        SimProcess sim({"--silent", "X121"});
        const RunResult r = Words(sim);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("range 20 V DC (X121)"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("status 21"), std::string::npos) << r.err;
    }
    std::string image(DefaultSetupText);
    image.replace(34, 2, "02");
    std::ofstream(dir / "board.WT", std::ios::binary) << image << "\r\n0\r\n";
    SimProcess sim({"--setup", (dir / "board.WT").string()});
    const RunResult r = Words(sim);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string("wmctl: ") + kInvalidSCText + "\n");
}

} // namespace
} // namespace wm::e2e
