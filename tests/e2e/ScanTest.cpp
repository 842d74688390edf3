// wmctl scan against wmsim on a pseudo-terminal: wmsim answers only at its
// own baud rate and frame, as the meter does, so the scan has to find them.
#include <gtest/gtest.h>

#include <algorithm>

#include "Processes.h"

namespace wm::e2e {
namespace {

using Clock = std::chrono::steady_clock;

struct Scan : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override { dir = MakeTestFolder(); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    [[nodiscard]] std::vector<std::string> Wmctl(const SimProcess& sim, std::vector<std::string> args) const {
        std::vector<std::string> all{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                     sim.Device()};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
};

// A program whose standard error the test reads as it comes.
class Running {
public:
    explicit Running(const std::vector<std::string>& args, const std::filesystem::path& outFile) {
        int errPipe[2];
        if (pipe(errPipe) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(errPipe[1], 2);
            close(errPipe[0]);
            close(errPipe[1]);
            std::FILE* o = std::freopen(outFile.c_str(), "w", stdout);
            (void)o;
            ExecOrExit(args);
        }
        close(errPipe[1]);
        errFd_ = errPipe[0];
    }
    ~Running() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (errFd_ >= 0) close(errFd_);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    // The next line of standard error, or "" at the deadline.
    std::string Line(int timeoutMs) {
        const std::string line = ReadLine(errFd_, timeoutMs);
        err += line + "\n";
        return line;
    }
    void Signal(int sig) const { kill(pid_, sig); }
    // Reads standard error to its end and collects the exit status; false
    // when the program is still running at the deadline.
    bool WaitEnd(int timeoutMs) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd ready{errFd_, POLLIN, 0};
            if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
            char buffer[256];
            const ssize_t n = read(errFd_, buffer, sizeof buffer);
            if (n <= 0) break; // the program has closed its end: it is ending
            err.append(buffer, static_cast<std::size_t>(n));
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

    std::string err;
    int exitCode = -1;

private:
    pid_t pid_ = -1;
    int errFd_ = -1;
};

TEST_F(Scan, findsAMeterAtAnUnusualLinkAndTheSettingsItWritesWork) {
    // Modbus RTU at 19200 baud, even parity, slave 2: the quick scan's 38th
    // try, after every framing at 9600 baud and two at 19200. There is no
    // Settings.SSS yet.
    SimProcess sim({"--baud", "19200", "--protocol", "rtu", "--parity", "even", "--modbus-address", "2", "--delay",
                    "0"});
    ASSERT_FALSE(sim.Device().empty());
    const auto start = Clock::now();
    const RunResult scan = RunProgram(Wmctl(sim, {"scan", "--quick", "--write"}), dir);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.out, "Modbus RTU, 19200 baud, parity even, slave 2\n");
    EXPECT_LT(seconds, 19.0) << "longer than a quick scan's bound";
    // Progress: a line per port setting tried, not one per try.
    const auto steps = std::count(scan.err.begin(), scan.err.end(), '[');
    EXPECT_EQ(steps, 10) << scan.err;
    EXPECT_NE(scan.err.find("found after 38 tries; gross reading 1234"), std::string::npos) << scan.err;

    // The settings written reach the meter (a Modbus Get takes some 14 s of
    // the meter's own pauses).
    const RunResult get = RunProgram(Wmctl(sim, {"get", "-o", (dir / "meter.WT").string()}), dir);
    EXPECT_EQ(get.exitCode, 0) << get.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "meter.WT"));
}

TEST_F(Scan, ctrlCEndsTheScanAtOnceWithExitOneAndNothingWritten) {
    // A meter at 300 baud, which a full scan reaches only after minutes.
    SimProcess sim({"--baud", "300", "--protocol", "ascii", "--address", "V"});
    ASSERT_FALSE(sim.Device().empty());
    Running scan(Wmctl(sim, {"scan", "--write"}), dir / "stdout.txt");
    EXPECT_NE(scan.Line(10000).find("full scan of " + sim.Device()), std::string::npos) << scan.err;
    EXPECT_EQ(scan.Line(10000), "[  0%] Custom ASCII, 9600 baud, parity none") << scan.err;
    EXPECT_NE(scan.Line(10000).find("Modbus RTU, 9600 baud, parity none"), std::string::npos) << scan.err;
    scan.Signal(SIGINT);
    const auto interrupted = Clock::now();
    ASSERT_TRUE(scan.WaitEnd(5000)) << scan.err;
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - interrupted).count(), 1.0);
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_NE(scan.err.find("scan cancelled after"), std::string::npos) << scan.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "Settings.SSS"));
}

} // namespace
} // namespace wm::e2e
