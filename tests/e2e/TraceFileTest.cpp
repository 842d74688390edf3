// wmctl --trace and --trace-file against wmsim on a pseudo-terminal: the
// frames of a Get in order, as the meter heard and answered them, each
// exchange's end status, and the file written as it goes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "Processes.h"
#include "support/TrafficLines.h"

namespace wm::e2e {
namespace {

struct TraceFile : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override {
        dir = MakeTestFolder();
        WriteAsciiSettings(dir / "Settings.SSS");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::vector<std::string> WmArgs(const SimProcess& sim, std::vector<std::string> args) const {
        std::vector<std::string> all{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                     sim.Device()};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
};

TEST_F(TraceFile, aGetsFramesAreTracedInOrderWithTheirEndStatus) {
    SimProcess sim({"--baud", "9600", "--delay", "0", "--log", (dir / "sim.log").string()});
    ASSERT_FALSE(sim.Device().empty());
    const std::filesystem::path trace = dir / "trace.txt";
    const RunResult r = RunProgram(
        WmArgs(sim, {"--trace", "--trace-file", trace.string(), "get", "-o", (dir / "meter.WT").string()}), dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const std::vector<TrafficLine> lines = test::ReadTrafficFile(trace);
    ASSERT_FALSE(lines.empty());
    // Standard error carries the same lines.
    EXPECT_EQ(test::TrafficLinesIn(r.err), lines);
    // What wmctl sent is what the meter heard, in order, and what it received
    // is what the meter answered.
    const std::vector<TrafficLine> meter = test::ReadTrafficFile(dir / "sim.log");
    const std::vector<std::string> sent = test::FramesOf(lines, TrafficLine::Kind::Tx);
    EXPECT_EQ(sent, test::FramesOf(meter, TrafficLine::Kind::Rx));
    EXPECT_EQ(test::FramesOf(lines, TrafficLine::Kind::Rx), test::FramesOf(meter, TrafficLine::Kind::Tx));
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], "*************1A1\r\n") << "the Get stops the continuous output first";
    EXPECT_EQ(sent[1], "*1XU1DZ\r\n");

    // Every reply comes after its request and is followed by the exchange's
    // end line, status 0 (the stop command and the writes get no reply, so
    // no end line); times never go back.
    std::size_t ends = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(lines[i].timeUs, lines[i - 1].timeUs) << i;
        }
        EXPECT_FALSE(lines[i].fine) << "wmctl's clock counts milliseconds";
        if (lines[i].kind != TrafficLine::Kind::End) continue;
        ++ends;
        EXPECT_EQ(lines[i].status, 0);
        EXPECT_EQ(lines[i].message, "no fault found");
        ASSERT_GE(i, 2u);
        EXPECT_EQ(lines[i - 1].kind, TrafficLine::Kind::Rx);
        EXPECT_EQ(lines[i - 2].kind, TrafficLine::Kind::Tx);
    }
    EXPECT_EQ(ends, test::FramesOf(lines, TrafficLine::Kind::Rx).size());
    EXPECT_GE(ends, 4u) << "the main block, the option boards and two more blocks";
}

TEST_F(TraceFile, aFailedExchangeEndsWithItsStatusAndTheFileIsWrittenAsItGoes) {
    // The trace file is a pipe: a line read from it while wmctl still waits
    // for the reply was flushed, not held back until the end.
    const std::filesystem::path fifo = dir / "trace.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int traceFd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(traceFd, 0);
    SimProcess sim({"--baud", "9600", "--silent", "B3"});
    int doneFd = -1;
    const pid_t pid = StartWithOutputFiles(WmArgs(sim, {"--trace-file", fifo.string(), "read", "gross"}),
                                           dir / "out.txt", dir / "err.txt", doneFd);
    ASSERT_GT(pid, 0);
    const std::optional<TrafficLine> sent = ParseTrafficLine(ReadLine(traceFd, 10000));
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->kind, TrafficLine::Kind::Tx);
    EXPECT_EQ(sent->bytes, "*1B3\r\n");
    // The meter stays silent: 3 s later the exchange ends with status 21.
    const std::optional<TrafficLine> end = ParseTrafficLine(ReadLine(traceFd, 10000));
    ASSERT_TRUE(end);
    EXPECT_EQ(end->kind, TrafficLine::Kind::End);
    EXPECT_EQ(end->status, 21);
    EXPECT_GE(end->timeUs - sent->timeUs, 3'000'000u);
    const RunResult r = WaitWithOutputFiles(pid, doneFd, dir / "out.txt", dir / "err.txt", 10000);
    close(traceFd);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(test::TrafficLinesIn(r.err).empty()) << "--trace-file alone prints no trace:\n" << r.err;
}

TEST_F(TraceFile, aTraceFileThatCannotBeWrittenIsRefusedBeforeAnythingIsSent) {
    SimProcess sim({"--baud", "9600", "--log", (dir / "sim.log").string()});
    const RunResult r = RunProgram(
        WmArgs(sim, {"--trace-file", (dir / "no such folder" / "t.txt").string(), "read", "gross"}), dir);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot write the trace file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    // The meter is asked for a reading by another run: it heard only that one.
    const RunResult read = RunProgram(WmArgs(sim, {"read", "gross"}), dir);
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(test::FramesOf(test::ReadTrafficFile(dir / "sim.log"), TrafficLine::Kind::Rx),
              std::vector<std::string>{"*1B3\r\n"});
    EXPECT_EQ(RunProgram(WmArgs(sim, {"--trace-file"}), dir).exitCode, 2);
}

} // namespace
} // namespace wm::e2e
