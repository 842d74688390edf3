// The Qt serial port on a real pseudo-terminal: a wake threshold keeps the
// characters in the terminal until that many are waiting, so a reader of the
// continuous output is woken once per record; writing ends it, so a reply is
// never held back.
#include <gtest/gtest.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>

#include "platform/qt/QtPlatform.h"

namespace wm::e2e {
namespace {

TEST(SerialHoldBack, charactersWaitInTheTerminalUntilEnoughHaveComeAndAWriteEndsIt) {
    int argc = 1;
    char name[] = "test_e2e";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    int meter = -1, line = -1;
    char path[256] = {};
    ASSERT_EQ(openpty(&meter, &line, path, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(line, &raw);
    cfmakeraw(&raw);
    tcsetattr(line, TCSANOW, &raw);

    QtEventPump pump;
    QtSerialPort port(pump);
    port.SetDevice(path);
    std::string error;
    ASSERT_TRUE(port.Open(error)) << error;
    // How long a wait took, in ms: it ends early only when data arrives.
    const auto waited = [&pump](std::uint32_t ms) {
        const auto start = std::chrono::steady_clock::now();
        pump.WaitFor(ms);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    const auto send = [meter](const std::string& bytes) {
        return write(meter, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    };

    port.SetWakeThreshold(7);
    ASSERT_TRUE(send("+0123"));
    EXPECT_GE(waited(200), 150.0) << "five characters do not wake the program";
    EXPECT_EQ(port.Input(), "");
    ASSERT_TRUE(send("4\r"));
    EXPECT_LT(waited(5000), 2000.0) << "the seventh does";
    EXPECT_EQ(port.Input(), "+01234\r");

    port.Output("*1B3\r\n");
    ASSERT_TRUE(send("+"));
    EXPECT_LT(waited(5000), 2000.0) << "after a write every character wakes it again";
    EXPECT_EQ(port.Input(), "+");
    port.Close();
    close(meter);
    close(line);
}

} // namespace
} // namespace wm::e2e
