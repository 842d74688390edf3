// Saves killed with SIGKILL at arbitrary moments: what stays on disk.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "FileFolder.h"
#include "platform/Files.h"

namespace wm::test {
namespace {

// A setup file's size: 176 hexadecimal digits, CR LF, line 2, CR LF.
std::string SetupSized(char digit, char line2) {
    return std::string(176, digit) + "\r\n" + std::string(1, line2) + "\r\n";
}

// Waits until the child reports one finished save; false at end of file or
// when none arrives within five seconds.
bool OneSaveReported(int fd) {
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    return ::poll(&p, 1, 5000) == 1 && ::read(fd, &c, 1) == 1;
}

TEST(WriteFileReplacing, aSaveKilledAtAnyMomentLeavesTheWholeOldOrNewFile) {
    FileFolder folder(true);
    const auto file = folder / "Setup.WT";
    const std::string a = SetupSized('A', '0'), b = SetupSized('5', '1');
    ASSERT_EQ(WriteFileReplacing(file, a), "");
    std::mt19937 rng(static_cast<unsigned>(::testing::UnitTest::GetInstance()->random_seed()));
    int leftBehind = 0;
    for (int round = 0; round < 500; ++round) {
        int report[2];
        ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(report[0]);
            for (unsigned i = 0;; ++i) {
                if (!WriteFileReplacing(file, i % 2 ? b : a).empty()) ::_exit(3);
                const char done = 's';
                if (::write(report[1], &done, 1) != 1) ::_exit(4);
            }
        }
        ::close(report[1]);
        // Let it finish none to three saves; the kill then lands somewhere in
        // the next one, wherever the scheduler has got it to.
        const unsigned saves = rng() % 4;
        bool reported = true;
        for (unsigned i = 0; i < saves && reported; ++i) reported = OneSaveReported(report[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(report[0]);
        ASSERT_TRUE(reported) << "round " << round << ": the child stopped saving";
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": a save failed, status " << status;

        const std::string now = ReadAll(file);
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        leftBehind += folder.Names().size() > 1;
        ASSERT_EQ(WriteFileReplacing(file, round % 2 ? a : b), "");
        ASSERT_EQ(folder.Names(), std::vector<std::string>{"Setup.WT"}) << "round " << round;
    }
    RecordProperty("killsThatLeftATemporary", leftBehind);
}

} // namespace
} // namespace wm::test
