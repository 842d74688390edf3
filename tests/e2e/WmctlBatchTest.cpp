#include <gtest/gtest.h>

#include <sstream>

#include "BatchForm.h"
#include "Processes.h"

namespace wm::e2e {
namespace {

TEST(WmctlBatchForm, portsJobLinesAndTheSummary) {
    std::string problem;
    const auto usb = ParsePortArg("/dev/ttyUSB0@3", problem);
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->device, "/dev/ttyUSB0");
    EXPECT_EQ(usb->address, 3);
    const auto plain = ParsePortArg("/dev/ttyS0", problem);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->device, "/dev/ttyS0");
    EXPECT_FALSE(plain->address);
    // Only digits after the last '@' are an address.
    const auto named = ParsePortArg("/tmp/a@b/port", problem);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->device, "/tmp/a@b/port");
    EXPECT_FALSE(named->address);
    for (const char* bad : {"@3", "/dev/ttyS0@256", "/dev/ttyS0@99999999999999", ""}) {
        problem.clear();
        EXPECT_FALSE(ParsePortArg(bad, problem)) << bad;
        EXPECT_FALSE(problem.empty()) << bad;
    }

    EXPECT_EQ(SetupFileNameForDevice("/dev/ttyUSB0"), "ttyUSB0.WT");
    EXPECT_EQ(SetupFileNameForDevice("/dev/pts/7"), "7.WT");
    EXPECT_EQ(SetupFileNameForDevice("/dev/"), "");

    // The job line is taken out of the output and says what the job did.
    std::string out = "Putting data to the Device.\n" + JobLine(21, false) + "\n";
    auto report = TakeJobLine(out);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->status, 21);
    EXPECT_FALSE(report->abandoned);
    EXPECT_EQ(out, "Putting data to the Device.\n");
    out = JobLine(0, true) + "\n";
    report = TakeJobLine(out);
    ASSERT_TRUE(report && report->abandoned);
    EXPECT_EQ(out, "");
    out = JobLine(std::nullopt, false);
    report = TakeJobLine(out);
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->status);
    out = "a job that died early\n";
    EXPECT_FALSE(TakeJobLine(out));
    out = "@wmctl-job x\n";
    EXPECT_FALSE(TakeJobLine(out));

    EXPECT_EQ(JobResultOf(0, JobReport{0, false}), JobResult::Ok);
    EXPECT_EQ(JobResultOf(1, JobReport{21, false}), JobResult::Failed);
    EXPECT_EQ(JobResultOf(1, JobReport{0, true}), JobResult::Abandoned);
    EXPECT_EQ(JobResultOf(2, JobReport{}), JobResult::Error);
    EXPECT_EQ(JobResultOf(1, std::nullopt), JobResult::Failed); // a node that never called
    EXPECT_EQ(JobResultOf(std::nullopt, std::nullopt), JobResult::Killed);

    const std::string table = FormatSummary({{"/dev/ttyUSB0", JobResult::Ok, 0, 10.25},
                                             {"/dev/ttyUSB1@3", JobResult::Failed, 21, 4.2},
                                             {"/dev/ttyS0", JobResult::Error, std::nullopt, 0.1},
                                             {"/dev/ttyS1", JobResult::NotRun, std::nullopt, 0}});
    EXPECT_EQ(table,
              "port            result       status     time\n"
              "/dev/ttyUSB0    ok                0   10.2 s\n"
              "/dev/ttyUSB1@3  failed           21    4.2 s\n"
              "/dev/ttyS0      error             -    0.1 s\n"
              "/dev/ttyS1      not run           -        -\n");
}

std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The summary's fields for a port (result, status, time, "s"), empty when
// its line is missing.
std::vector<std::string> SummaryRow(const std::string& out, const std::string& port) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first != port) continue;
        std::vector<std::string> rest;
        for (std::string f; fields >> f;) rest.push_back(f);
        return rest;
    }
    return {};
}

struct WmctlBatch : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override {
        dir = MakeTestFolder();
        WriteAsciiSettings(dir / "Settings.SSS");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    RunResult Wm(std::vector<std::string> args) {
        args.insert(args.begin(), {Bin("wmctl"), "--settings", (dir / "Settings.SSS").string()});
        return RunProgram(args, dir, 60000);
    }
};

// Four meters, one of which never answers (it has another address): the
// other three take the setup at the same time, the fourth fails after the
// reply time-out with status 21. Meters on a shared line are told apart by
// the address after the port.
TEST_F(WmctlBatch, putToFourMetersAtOnceReportsTheOneThatDoesNotAnswer) {
    SimProcess a({"--delay", "0"}), b({"--delay", "0", "--address", "3"}), c({"--delay", "0", "--address", "C"}),
        silent({"--delay", "0", "--address", "7"});
    ASSERT_FALSE(a.Device().empty() || b.Device().empty() || c.Device().empty() || silent.Device().empty());
    const std::string file = (dir / "default.WT").string();
    ASSERT_EQ(RunProgram({Bin("wmctl"), "default", "-o", file}, dir).exitCode, 0);

    // Refused before anything starts: a port named twice (even with another
    // address), an address the protocol cannot hold, a command without a
    // batch form, a get without its folder, a bad job count.
    const struct {
        std::vector<std::string> args;
        const char* why;
    } refused[] = {
        {{"put", file, "--port", a.Device(), "--port", a.Device() + "@3"}, "named twice"},
        {{"put", file, "--port", a.Device(), "--port", b.Device() + "@40"}, "0 to 31"},
        {{"--port", a.Device(), "--port", b.Device(), "read", "gross"}, "only get and put"},
        {{"get", "--port", a.Device(), "--port", b.Device()}, "-o FOLDER"},
        {{"put", file, "--port", a.Device(), "--jobs", "0"}, "--jobs"},
    };
    for (const auto& r : refused) {
        const RunResult run = Wm(r.args);
        EXPECT_EQ(run.exitCode, 2) << r.why;
        EXPECT_NE(run.err.find(r.why), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << r.why;
    }

    const auto started = std::chrono::steady_clock::now();
    const RunResult put = Wm({"put", file, "--port", a.Device(), "--port", b.Device() + "@3", "--port",
                              c.Device() + "@12", "--port", silent.Device()});
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(put.exitCode, 1) << put.err;
    EXPECT_EQ(put.out.rfind("port", 0), 0u) << put.out;
    for (const std::string& port : {a.Device(), b.Device() + "@3", c.Device() + "@12"}) {
        const std::vector<std::string> row = SummaryRow(put.out, port);
        ASSERT_EQ(row.size(), 4u) << port << "\n" << put.out;
        EXPECT_EQ(row[0], "ok") << port;
        EXPECT_EQ(row[1], "0") << port;
    }
    const std::vector<std::string> failed = SummaryRow(put.out, silent.Device());
    ASSERT_EQ(failed.size(), 4u) << put.out;
    EXPECT_EQ(failed[0], "failed");
    EXPECT_EQ(failed[1], "21");
    EXPECT_NE(put.err.find(silent.Device() + ": wmctl: Put failed at X115 (board type): no reply from the meter "
                                             "within 3000 ms (status 21)"),
              std::string::npos)
        << put.err;
    // At once, not one after another: one Put takes about 10 s.
    EXPECT_LT(seconds, 18.0) << put.out;

    // The setup put gave meters 3 and C the address the file holds, 1: they
    // answer there now.
    for (const SimProcess* sim : {&b, &c}) {
        const RunResult read = Wm({"--port", sim->Device(), "read", "gross"});
        EXPECT_EQ(read.exitCode, 0) << read.err;
    }
}

TEST_F(WmctlBatch, getOfThreeSavesWhatSingleGetsSave) {
    SimProcess a({"--delay", "0"}), b({"--delay", "0", "--address", "3"}), c({"--delay", "0", "--address", "V"});
    const std::vector<std::string> ports{a.Device(), b.Device() + "@3", c.Device() + "@31"};
    const std::filesystem::path folder = dir / "setups" / "today"; // made by the batch
    const RunResult got = Wm({"get", "-o", folder.string(), "--port", ports[0], "--port", ports[1], "--port", ports[2]});
    ASSERT_EQ(got.exitCode, 0) << got.err << got.out;
    for (const std::string& port : ports) EXPECT_EQ(SummaryRow(got.out, port).at(0), "ok") << got.out;

    // The same meters one by one (each on its own, side by side).
    std::vector<pid_t> pids;
    std::vector<int> done;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        int fd = -1;
        const auto tag = dir / ("single" + std::to_string(i));
        pids.push_back(StartWithOutputFiles({Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                             ports[i], "get", "-o", tag.string() + ".WT"},
                                            tag.string() + ".out", tag.string() + ".err", fd));
        done.push_back(fd);
    }
    const SimProcess* sims[] = {&a, &b, &c};
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const auto tag = dir / ("single" + std::to_string(i));
        const RunResult single = WaitWithOutputFiles(pids[i], done[i], tag.string() + ".out", tag.string() + ".err", 30000);
        ASSERT_EQ(single.exitCode, 0) << single.err;
        const std::string batchFile = folder / SetupFileNameForDevice(sims[i]->Device());
        const std::string saved = FileBytes(batchFile);
        EXPECT_EQ(saved.size(), 136u + 2 + 3) << batchFile;
        EXPECT_EQ(saved, FileBytes(tag.string() + ".WT")) << ports[i];
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 3u); // no temporary left behind
}

// One job at a time, and the setup gives the meters a new address: each job
// starts from Settings.SSS as it was when the batch began (the second meter
// has not taken the setup yet when the first is done), and Settings.SSS
// follows the meters once they have all taken it.
TEST_F(WmctlBatch, putOneAtATimeReachesEveryMeterAndSettingsFollowAfterwards) {
#ifdef WM_SANITIZE_BUILD
    // Two whole Puts one after the other: it checks the order of the jobs and
    // the settings they read, not memory (the batch tests above run the same
    // code under the sanitizers), so the plain build runs it once.
    GTEST_SKIP() << "runs in the plain build";
#endif
    SimProcess x({"--delay", "0"}), y({"--delay", "0"});
    const std::string original = (dir / "default.WT").string(), moved = (dir / "address5.WT").string();
    ASSERT_EQ(RunProgram({Bin("wmctl"), "default", "-o", original}, dir).exitCode, 0);
    ASSERT_EQ(RunProgram({Bin("wmctl"), "set", original, "Address=5", "-o", moved}, dir).exitCode, 0);

    const RunResult put = Wm({"put", moved, "--port", x.Device(), "--port", y.Device(), "--jobs", "1"});
    EXPECT_EQ(put.exitCode, 0) << put.err << put.out;
    EXPECT_EQ(SummaryRow(put.out, x.Device()).at(0), "ok") << put.out;
    EXPECT_EQ(SummaryRow(put.out, y.Device()).at(0), "ok") << put.out;
    EXPECT_EQ(FileBytes(dir / "Settings.SSS").substr(0, 17), "05010005001000710");
    EXPECT_NE(put.err.find("now follows the serial settings just put"), std::string::npos) << put.err;
    const RunResult read = Wm({"--port", y.Device(), "read", "gross"});
    EXPECT_EQ(read.exitCode, 0) << read.err;
}

} // namespace
} // namespace wm::e2e
