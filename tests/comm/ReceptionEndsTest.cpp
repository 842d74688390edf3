// Reception always ends: a line that never goes quiet, and a device that
// goes away before or during a reply.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/Connection.h"
#include "support/ScriptedOperator.h"
#include "comm/CommBench.h"
#include "comm/Framing.h"

namespace wm {
namespace {

using test::Ms;
using test::SerialBench;

constexpr std::uint64_t Second = 1000 * Ms;

struct Line {
    const char* settings;
    int baudIndex;
    int charTimeMs; // as the link state has it: 11 bit times, rounded
};
const Line Slow{"300,e,7,2", 0, 37};
const Line Medium{"9600,n,8,1", 5, 1};
const Line Fast{"38400,n,8,1", 7, 0};

void UseLine(SerialBench& b, const Line& line) {
    ASSERT_TRUE(b.port.SetSettings(line.settings));
    b.link.BaudIndex = line.baudIndex;
    b.link.CharTimeMs = line.charTimeMs;
}

// A source of noise that never stops: from startUs on, the line carries
// characters back to back, carriage returns and frame characters among them.
// The source lives as long as the returned handle.
std::shared_ptr<std::function<void()>> EndlessNoise(SerialBench& b, std::uint64_t startUs) {
    static constexpr char Noise[] = "\x55\xAA:0103\r\n*1G\xFF\x00 7E\r";
    const std::string chunk(Noise, sizeof Noise - 1);
    auto again = std::make_shared<std::function<void()>>();
    *again = [&b, chunk, weak = std::weak_ptr<std::function<void()>>(again)] {
        b.port.SendFromPeer(chunk);
        if (auto next = weak.lock()) b.vt.AfterUs(chunk.size() * b.port.CharTimeUs(), *next);
    };
    b.vt.At(startUs, *again);
    return again;
}

TEST(EndlessReception, NoiseEndsTheExchangeWithStatus28WithinTwentySeconds) {
    struct Row {
        const char* name;
        Line line;
        std::uint64_t noiseStartUs; // after SendCommand is called
    };
    const std::vector<Row> rows = {
        {"300 baud", Slow, 0},
        {"300 baud, noise starting just before the first-character time-out", Slow, 3200 * Ms},
        {"9600 baud", Medium, 0},
        {"38400 baud", Fast, 0},
    };
    for (const Row& row : rows) {
        for (int mode : {0, 1, 2}) {
            SCOPED_TRACE(std::string(row.name) + ", serial mode " + std::to_string(mode));
            SerialBench b;
            UseLine(b, row.line);
            b.UseProtocol(mode);
            std::size_t collected = 0;
            b.txn.trace = [&](const char* dir, const std::string& bytes, std::uint32_t) {
                if (std::string(dir) == "rx") collected = bytes.size();
            };
            const auto noise = EndlessNoise(b, row.noiseStartUs);
            if (mode == 0) {
                b.AskAscii("B1");
            } else {
                b.AskModbus("0400070002");
            }
            EXPECT_EQ(b.x.TransferStatus, status::EndlessReply);
            EXPECT_LE(b.vt.NowUs(), 20 * Second);
            EXPECT_GT(collected, 0U);
            EXPECT_LE(collected, 512U);
            EXPECT_EQ(b.x.RxReply, "");
            EXPECT_EQ(b.x.ModbusReply, "");
            EXPECT_EQ(b.port.InBufferCount(), 0);
            EXPECT_LT(b.vt.Waits(), 2000U); // one wait per arrival at most, no spinning
        }
    }
}

// The longest reply the meter sends: Modbus ASCII, 28 registers, 123
// characters, about 4.5 s at 300 baud with 7 data bits, parity and 2 stops.
TEST(EndlessReception, LongestReplyAtTheSlowestRateStillArrives) {
    std::string data;
    for (int i = 0; i < 56; ++i) data += "A5";
    const std::string reply = BuildAsciiFrame("010338" + data);
    ASSERT_EQ(reply.size(), 123U);
    for (const bool echoing : {false, true}) {
        SCOPED_TRACE(echoing ? "echoing line" : "plain line");
        SerialBench b;
        UseLine(b, Slow);
        b.UseProtocol(2);
        if (echoing) {
            b.link.PortType = 2;
            b.port.echo = true;
        }
        // The meter thinks for a while before a long reply (less than the
        // quiet gap of 420 ms, or an echoing line would end at the echo).
        b.Answer(reply, 300 * Ms);
        b.AskModbus("030045001C");
        EXPECT_EQ(b.x.TransferStatus, status::Ok);
        EXPECT_EQ(b.x.ModbusReply.substr(0, 6), "010338");
        EXPECT_EQ(b.x.ModbusReply.size(), 6 + data.size() + 2 + 2);
    }
}

TEST(DeviceGone, HangupEndsTheExchangeAtOnceWithStatus29) {
    struct Row {
        const char* name;
        std::uint64_t hangupUs; // after SendCommand is called
        bool written;           // the request went out before the hang-up
    };
    // The request leaves at 300 ms and takes about 8 ms at 9600 baud; the
    // reply starts 50 ms after it and takes about 130 ms.
    const std::vector<Row> rows = {
        {"during the pause before the request", 150 * Ms, false},
        {"before the first character", 330 * Ms, true},
        {"during the settling pause", 380 * Ms, true},
        {"in the middle of the reply", 620 * Ms, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SerialBench b;
        // A slow reply: its first character comes at about 360 ms and the rest
        // is still arriving at 620 ms.
        b.AnswerInPieces({{std::string(20, '1'), 50 * Ms}, {std::string(300, '2') + "\r", 200 * Ms}});
        b.vt.At(row.hangupUs, [&b] { b.port.Hangup(); });
        b.x.TxCommand = "*1XU1DZ";
        b.txn.SendCommand();
        if (!row.written) {
            EXPECT_EQ(b.x.TransferStatus, status::DeviceGone);
        }
        b.txn.ReceiveReply();
        EXPECT_EQ(b.x.TransferStatus, status::DeviceGone);
        EXPECT_EQ(b.vt.NowUs(), row.hangupUs);
        EXPECT_EQ(b.Sent().size(), row.written ? 1U : 0U);
        EXPECT_EQ(b.x.RxReply, "");
        EXPECT_FALSE(b.txn.Waiting());

        // Every later exchange fails the same way without waiting.
        b.AskAscii("G130");
        EXPECT_EQ(b.x.TransferStatus, status::DeviceGone);
        EXPECT_EQ(b.vt.NowUs(), row.hangupUs);
    }
}

TEST(DeviceGone, OpeningThePortAgainClearsIt) {
    SerialBench b;
    b.port.Hangup();
    ASSERT_TRUE(b.port.Gone());
    b.port.Close();
    std::string error;
    ASSERT_TRUE(b.port.Open(error)) << error;
    EXPECT_FALSE(b.port.Gone());
    b.Answer("1234\r");
    b.AskAscii("G130");
    EXPECT_EQ(b.x.TransferStatus, status::Ok);
    EXPECT_EQ(b.x.RxReply, "1234");
}

TEST(DeviceGone, ClosingAGonePortDoesNotWaitForOutputThatCannotLeave) {
    SerialBench b;
    test::ScriptedOperator op;
    Connection conn(b.link, b.port, b.txn, op, "Settings.SSS");
    b.port.Output(std::string(96, 'x')); // 100 ms of output at 9600 baud
    b.vt.AdvanceUs(10 * Ms);
    b.port.Hangup();
    ASSERT_GT(b.port.OutBufferCount(), 0);
    const std::uint64_t start = b.vt.NowUs();
    conn.ClosePort();
    EXPECT_FALSE(b.port.IsOpen());
    EXPECT_EQ(b.vt.NowUs(), start);
}

} // namespace
} // namespace wm
