#pragma once
// Starting wmsim and wmctl as real processes for the end-to-end tests: no
// fixed sleeps, every wait has a deadline, and only the processes a test
// started are ended.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iterator>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace wm::e2e {

// A fresh folder for one end-to-end test, named after it; the fixture
// removes it in TearDown.
inline std::filesystem::path MakeTestFolder() {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("wm-e2e-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                      "-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

// Settings.SSS for the simulated meter as it starts: Custom ASCII at 9600
// baud, meter address 1, revision 7, a serial line.
inline void WriteAsciiSettings(const std::filesystem::path& file) {
    std::ofstream(file, std::ios::binary) << "05010001001000710\r\n" << std::string(28, '0') << "1\r\n";
}

inline std::string Bin(const std::string& name) { return std::string(WM_BIN_DIR) + "/" + name; }

// Reads from fd until a line end or the deadline.
inline std::string ReadLine(int fd, int timeoutMs) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (line.empty() || line.back() != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
        char c;
        if (read(fd, &c, 1) != 1) break;
        line.push_back(c);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

// In a forked child: runs args[0] with args, never returns.
[[noreturn]] inline void ExecOrExit(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Starts a program with standard output and error going to files (so neither
// pipe can fill up). The child holds the write end of a pipe until it ends:
// the parent waits on doneFd with a deadline, no polling needed.
inline pid_t StartWithOutputFiles(const std::vector<std::string>& args, const std::filesystem::path& outFile,
                                  const std::filesystem::path& errFile, int& doneFd) {
    int done[2];
    if (pipe(done) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(done[0]);
        std::FILE* o = std::freopen(outFile.c_str(), "w", stdout);
        std::FILE* e = std::freopen(errFile.c_str(), "w", stderr);
        (void)o;
        (void)e;
        ExecOrExit(args);
    }
    close(done[1]);
    doneFd = done[0];
    return pid;
}

// wmsim on a pseudo-terminal; the device path is its first output line.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<std::string> all{Bin("wmsim")};
            all.insert(all.end(), args.begin(), args.end());
            ExecOrExit(all);
        }
        close(out[1]);
        fd_ = out[0];
        device_ = ReadLine(fd_, 10000);
    }
    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        if (fd_ >= 0) close(fd_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    [[nodiscard]] const std::string& Device() const { return device_; }
    // Ends the simulated meter at once, as a pulled cable would: its end of
    // the pseudo-terminal closes and the program's end hangs up.
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string device_;
};

struct RunResult {
    int exitCode = -1;
    std::string out, err;
};

// Waits for a program started by StartWithOutputFiles to end, with a
// deadline (killed when it passes), and collects its output.
inline RunResult WaitWithOutputFiles(pid_t pid, int doneFd, const std::filesystem::path& outFile,
                                     const std::filesystem::path& errFile, int timeoutMs) {
    RunResult r;
    pollfd waitEnd{doneFd, POLLIN, 0};
    const bool ended = poll(&waitEnd, 1, timeoutMs) > 0;
    close(doneFd);
    int status = 0;
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        r.err = "timed out";
        return r;
    }
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    return r;
}

// Runs a program to its end with a deadline; output goes through files so
// neither pipe can fill up.
inline RunResult RunProgram(const std::vector<std::string>& argsIn, const std::filesystem::path& dir, int timeoutMs = 30000) {
    const auto outFile = dir / "stdout.txt", errFile = dir / "stderr.txt";
    int doneFd = -1;
    const pid_t pid = StartWithOutputFiles(argsIn, outFile, errFile, doneFd);
    if (pid < 0) return {};
    return WaitWithOutputFiles(pid, doneFd, outFile, errFile, timeoutMs);
}

// Reads from fd until the byte `end` (kept) or the deadline.
inline std::string ReadUntil(int fd, char end, int timeoutMs) {
    std::string bytes;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytes.empty() || bytes.back() != end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
        char c;
        if (read(fd, &c, 1) != 1) break;
        bytes.push_back(c);
    }
    return bytes;
}

} // namespace wm::e2e
