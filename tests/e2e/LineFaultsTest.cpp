// wmctl on a real pseudo-terminal when the line misbehaves: the meter's end
// goes away in the middle of a Get, and a line that never goes quiet.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>

#include "Processes.h"
#include "support/TrafficLines.h"

namespace wm::e2e {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// A program running while the test acts on its surroundings. Its end is seen
// on a pipe that the child holds until it exits, so waiting needs no polling.
class Started {
public:
    Started(std::vector<std::string> args, const std::filesystem::path& dir)
        : outFile_(dir / "stdout.txt"), errFile_(dir / "stderr.txt"), start_(Clock::now()) {
        pid_ = StartWithOutputFiles(args, outFile_, errFile_, doneFd_);
    }
    ~Started() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (doneFd_ >= 0) close(doneFd_);
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    [[nodiscard]] int DoneFd() const { return doneFd_; }

    // Waits for the end up to timeoutMs; false if the program still runs.
    bool WaitEnd(int timeoutMs) {
        pollfd end{doneFd_, POLLIN, 0};
        if (pid_ <= 0 || poll(&end, 1, timeoutMs) <= 0) return false;
        int status = 0;
        wait4(pid_, &status, 0, &usage);
        pid_ = -1;
        wall = Clock::now() - start_;
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream e(errFile_, std::ios::binary);
        err.assign(std::istreambuf_iterator<char>(e), {});
        return true;
    }

    int exitCode = -1;
    std::string err;
    rusage usage{};
    Clock::duration wall{};

private:
    std::filesystem::path outFile_, errFile_;
    Clock::time_point start_;
    pid_t pid_ = -1;
    int doneFd_ = -1;
};

struct LineFaults : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override { dir = MakeTestFolder(); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Settings.SSS for Custom ASCII at the given baud index.
    void WriteSettings(char baudIndex) {
        std::string line1 = "0501000100100071";
        line1[1] = baudIndex;
        std::ofstream(dir / "Settings.SSS", std::ios::binary) << line1 << "0\r\n" << std::string(28, '0') << "1\r\n";
    }
    std::vector<std::string> Wmctl(const std::string& device, std::vector<std::string> args) {
        std::vector<std::string> all{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port", device};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
};

// Reads request-log lines until one names the command, or the deadline.
bool WaitForRequest(int logFd, const std::string& command, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return false;
        const std::string line = ReadLine(logFd, static_cast<int>(left));
        const std::optional<TrafficLine> logged = ParseTrafficLine(line);
        if (logged && logged->kind == TrafficLine::Kind::Rx && test::SimNote(logged->note).key == command) return true;
        if (line.empty()) return false;
    }
}

TEST_F(LineFaults, pulledCableEndsGetAtOnceWithStatus29AndNoSpinning) {
    // The meter's request log comes through a pipe, so the test learns the
    // moment the meter starts its long reply (the main block, 4 s at 300
    // baud) without polling.
    const auto logPath = dir / "requests.fifo";
    ASSERT_EQ(mkfifo(logPath.c_str(), 0600), 0);
    const int logFd = open(logPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(logFd, 0);
    SimProcess sim({"--baud", "300", "--log", logPath.string()});
    ASSERT_FALSE(sim.Device().empty());
    WriteSettings('0');

    Started get(Wmctl(sim.Device(), {"get", "-o", (dir / "meter.WT").string()}), dir);
    const bool replying = WaitForRequest(logFd, "XU1DZ", 10000);
    sim.Kill();
    const auto pulled = Clock::now();
    close(logFd);
    ASSERT_TRUE(replying);

    ASSERT_TRUE(get.WaitEnd(10000)) << "wmctl still running 10 s after the hang-up";
    const double afterPull = Seconds(Clock::now() - pulled);
    EXPECT_LT(afterPull, 1.0);
    EXPECT_EQ(get.exitCode, 1);
    EXPECT_NE(get.err.find("status 29"), std::string::npos) << get.err;
    const double cpu = Seconds(get.usage.ru_utime) + Seconds(get.usage.ru_stime);
#ifdef WM_SANITIZE_BUILD
    // The sanitizers' own start-up takes a tenth of a second of this short
    // run; a spinning wait would still take nearly all of it.
    constexpr double kShare = 0.25;
#else
    constexpr double kShare = 0.05;
#endif
    EXPECT_LT(cpu, kShare * Seconds(get.wall)) << "CPU " << cpu << " s in " << Seconds(get.wall) << " s";
    EXPECT_FALSE(std::filesystem::exists(dir / "meter.WT"));
}

TEST_F(LineFaults, lineThatNeverGoesQuietEndsReadWithStatus28) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(slave, &tio), 0);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    WriteSettings('5'); // 9600 baud

    Started reading(Wmctl(name, {"read", "gross"}), dir);
    // Noise at about 6400 characters a second, paced by the wait for the
    // program's end, until it ends or the deadline passes.
    const std::string noise = "U\xAA" "0123456789*1B1\r\n:0103\r\n";
    const auto deadline = Clock::now() + std::chrono::seconds(25);
    bool ended = false;
    while (!ended && Clock::now() < deadline) {
        if (write(master, noise.data(), noise.size()) < 0 && errno != EAGAIN) break;
        pollfd end{reading.DoneFd(), POLLIN, 0};
        ended = poll(&end, 1, 4) > 0;
    }
    ASSERT_TRUE(reading.WaitEnd(1000)) << "wmctl read gross did not end on a noisy line";
    close(master);
    close(slave);
    EXPECT_LT(Seconds(reading.wall), 20.0);
    EXPECT_EQ(reading.exitCode, 1);
    EXPECT_NE(reading.err.find("status 28"), std::string::npos) << reading.err;
}

} // namespace
} // namespace wm::e2e
