// wmctl stream against wmsim on a pseudo-terminal: the records as the
// readings list shows them, in each output form and each framing of the
// meter's continuous output, and the exact start and stop commands on the
// wire (read back from wmsim's request log).
#include <gtest/gtest.h>
#include <termios.h>

#include <fcntl.h>

#include <chrono>
#include <sstream>

#include "Processes.h"
#include "support/TrafficLines.h"
#include "setup/Defaults.h"

namespace wm::e2e {
namespace {

// Settings.SSS for the simulated meter at 9600 baud, meter address 1.
void WriteSettings(const std::filesystem::path& file, char protocol) {
    std::string line1 = "0501000100100071";
    line1[4] = protocol;
    std::ofstream(file, std::ios::binary) << line1 << "0\r\n" << std::string(28, '0') << "1\r\n";
}

// The default setup with some of its two-digit bytes replaced; pos is the
// 1-based character position of the byte.
std::string SetupWith(std::initializer_list<std::pair<int, const char*>> bytes) {
    std::string image(DefaultSetupText);
    for (const auto& [pos, hex] : bytes) image.replace(static_cast<std::size_t>(pos - 1), 2, hex);
    return image;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// One wmsim process, started from a setup file and logging every request.
struct MeterProcess {
    std::unique_ptr<SimProcess> sim;
    std::filesystem::path setup, log;
    std::size_t logLinesSeen = 0;
};

struct Stream : ::testing::Test {
    std::filesystem::path dir;
    MeterProcess meter;
    SimProcess* sim = nullptr; // meter's

    void SetUp() override { dir = MakeTestFolder(); }
    void TearDown() override {
        meter.sim.reset();
        std::filesystem::remove_all(dir);
    }
    // A meter started from the setup image, logging every request it hears;
    // name keeps the files of two meters apart.
    void StartMeter(MeterProcess& m, const std::string& image, const std::string& name,
                    const std::vector<std::string>& extra = {}) {
        m.setup = dir / (name + ".WT");
        m.log = dir / (name + "-log.txt");
        std::ofstream(m.setup, std::ios::binary) << image << "\r\n0\r\n";
        m.sim.reset();
        m.logLinesSeen = 0;
        std::vector<std::string> args{"--baud", "9600", "--delay", "0", "--setup", m.setup.string(), "--log",
                                      m.log.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        m.sim = std::make_unique<SimProcess>(args);
        ASSERT_FALSE(m.sim->Device().empty());
    }
    void StartMeter(const std::string& image) {
        StartMeter(meter, image, "meter");
        sim = meter.sim.get();
    }
    std::vector<std::string> WmArgs(const MeterProcess& m, const std::vector<std::string>& args) const {
        std::vector<std::string> all{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                     m.sim->Device()};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    RunResult Wm(const std::vector<std::string>& args, const MeterProcess* m = nullptr) {
        return RunProgram(WmArgs(m != nullptr ? *m : meter, args), dir, 15000);
    }
    // The requests the meter heard since the last call, as its log holds
    // them. A reading asked for first is answered only after everything sent
    // before it was heard and logged, so the log is complete up to it; and it
    // is answered cleanly only when the continuous output has stopped.
    std::vector<std::string> Heard(MeterProcess& m) {
        EXPECT_EQ(Wm({"read", "gross"}, &m).exitCode, 0);
        const std::vector<TrafficLine> lines = test::ReadTrafficFile(m.log);
        std::vector<std::string> heard;
        for (std::size_t n = m.logLinesSeen; n < lines.size(); ++n)
            if (lines[n].kind == TrafficLine::Kind::Rx) heard.push_back(lines[n].bytes);
        m.logLinesSeen = lines.size();
        return heard;
    }
    std::vector<std::string> Heard() { return Heard(meter); }
};

TEST_F(Stream, fiveRecordsInEachFormBetweenTheStartAndStopCommands) {
    WriteSettings(dir / "Settings.SSS", '0');
    const std::string image = SetupWith({});
    StartMeter(image);
    const std::string file = (dir / "meter.WT").string();

    const RunResult plain = Wm({"stream", "-n", "5", "--setup", file});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, "+01234\n+01234\n+01234\n+01234\n+01234\n");
    // Nothing but the start command, then the stop command of sixteen
    // asterisks: the setup file stands in for a Get.
    EXPECT_EQ(Heard(), (std::vector<std::string>{"*1A0\r\n", "****************1A1\r\n", "*1B3\r\n"}));

    const RunResult json = Wm({"stream", "-n", "5", "--json", "--setup", file});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(Lines(json.out), std::vector<std::string>(5, R"("+01234\r")"));

    const RunResult csv = Wm({"stream", "--csv", "-n", "5", "--setup", file});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const std::vector<std::string> rows = Lines(csv.out);
    ASSERT_EQ(rows.size(), 6u) << csv.out;
    EXPECT_EQ(rows[0], "ms,record");
    EXPECT_EQ(rows[1], "0,+01234");
    long last = 0;
    for (std::size_t i = 2; i < rows.size(); ++i) {
        const std::size_t comma = rows[i].find(',');
        ASSERT_NE(comma, std::string::npos) << rows[i];
        const long ms = std::stol(rows[i].substr(0, comma));
        EXPECT_GE(ms, last) << rows[i];
        EXPECT_LT(ms, 2000) << rows[i]; // records back to back at line rate
        last = ms;
        EXPECT_EQ(rows[i].substr(comma + 1), "+01234");
    }
    const std::vector<std::string> heard = Heard();
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "*1A0\r\n"), 2);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "****************1A1\r\n"), 2);
}

// Each framing the setup can choose, given to wmctl by the same setup file
// the meter runs.
TEST_F(Stream, setupFileGivesTheRecordCharacters) {
    WriteSettings(dir / "Settings.SSS", '0');
    const struct {
        std::string image;
        const char* plain;
        const char* json; // checked where the form differs from the plain one
    } rows[] = {
        // "Include LF": records end CR LF, cut at the line feed.
        {SetupWith({{45, "A1"}}), "+01234", R"("+01234\r\n")"},
        // Net and gross in one record, CR after the last item.
        {SetupWith({{9, "00"}}), "+01234 +01234", R"("+01234 +01234\r")"},
        // Custom start "S" and stop "E" characters, revision 6.
        {SetupWith({{9, "21"}, {125, "45"}, {127, "53"}}), "t+01234p", nullptr},
        // Stop code 0: the start character ends the records, no "t".
        {SetupWith({{9, "21"}, {125, "00"}, {127, "53"}}), "+01234p", nullptr},
        // A meter of revision 0 has no custom characters whatever the bit
        // says: it ends its records with CR, which the list still shows as "p".
        {SetupWith({{9, "21"}, {121, "00"}, {125, "45"}, {127, "53"}}), "+01234p", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.image);
        StartMeter(row.image);
        const std::string file = (dir / "meter.WT").string();
        const RunResult plain = Wm({"stream", "-n", "3", "--setup", file});
        ASSERT_EQ(plain.exitCode, 0) << plain.err;
        EXPECT_EQ(Lines(plain.out), std::vector<std::string>(3, row.plain));
        if (row.json == nullptr) continue;
        const RunResult json = Wm({"stream", "-n", "2", "--json", "--setup", file});
        ASSERT_EQ(json.exitCode, 0) << json.err;
        EXPECT_EQ(Lines(json.out), std::vector<std::string>(2, row.json));
    }

    // "End of each item" with net, gross and peak: every item ends a record,
    // so each line holds one reading (which ones depends on how the records
    // arrive: those queued behind a shown one are dropped).
    StartMeter(SetupWith({{9, "0C"}}));
    const RunResult items = Wm({"stream", "-n", "6", "--setup", (dir / "meter.WT").string()});
    ASSERT_EQ(items.exitCode, 0) << items.err;
    const std::vector<std::string> lines = Lines(items.out);
    EXPECT_EQ(lines.size(), 6u);
    for (const std::string& line : lines) EXPECT_TRUE(line == "+01234" || line == "+01500") << line;
}

TEST_F(Stream, withoutASetupFileTheRecordCharactersComeFromAGet) {
    WriteSettings(dir / "Settings.SSS", '0');
    StartMeter(SetupWith({{9, "21"}, {125, "45"}, {127, "53"}}));
    const RunResult r = Wm({"stream", "-n", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "t+01234p\nt+01234p\n");
    const std::vector<std::string> heard = Heard();
    ASSERT_GE(heard.size(), 4u);
    EXPECT_EQ(heard[heard.size() - 3], "*1A0\r\n");
    EXPECT_EQ(heard[heard.size() - 2], "****************1A1\r\n");
}

// wmctl stream without -n, its standard output a pipe the test reads.
struct Streaming {
    pid_t pid = -1;
    int out = -1;  // wmctl's standard output
    int done = -1; // reaches its end when wmctl exits

    Streaming(const std::vector<std::string>& args) {
        int o[2], d[2];
        if (pipe(o) != 0 || pipe(d) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(o[1], 1);
            close(o[0]);
            close(o[1]);
            close(d[0]);
            ExecOrExit(args);
        }
        close(o[1]);
        close(d[1]);
        out = o[0];
        done = d[0];
    }
    // The exit status, or -1 when wmctl had to be killed after 5 s.
    int Wait() {
        pollfd end{done, POLLIN, 0};
        const bool ended = poll(&end, 1, 5000) > 0;
        if (!ended) kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        close(done);
        if (out >= 0) close(out);
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// Without -n the records flow until Ctrl+C, which counts as the end: the
// stop command goes out and the exit status is 0. A reader that goes away
// (| head) ends the run too, with the meter stopped, but as a failure.
TEST_F(Stream, ctrlCOrAClosedOutputStopsTheMeter) {
    WriteSettings(dir / "Settings.SSS", '0');
    StartMeter(SetupWith({}));
    const std::vector<std::string> args{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                        sim->Device(), "stream", "--setup", (dir / "meter.WT").string()};
    const std::vector<std::string> startAndStop{"*1A0\r\n", "****************1A1\r\n", "*1B3\r\n"};

    Streaming interrupted(args);
    EXPECT_EQ(ReadLine(interrupted.out, 5000), "+01234");
    kill(interrupted.pid, SIGINT);
    EXPECT_EQ(interrupted.Wait(), 0);
    EXPECT_EQ(Heard(), startAndStop);

    Streaming abandoned(args);
    EXPECT_EQ(ReadLine(abandoned.out, 5000), "+01234");
    close(abandoned.out);
    abandoned.out = -1;
    EXPECT_EQ(abandoned.Wait(), 1);
    EXPECT_EQ(Heard(), startAndStop);
}

// The plot and graph stop the output with a single asterisk, the list with
// sixteen: on the pseudo-terminal as in memory, the meter skips them all.
// Records framed S...E tell the output apart from the replies, which end in
// CR: once stopped, a reading comes back alone.
TEST_F(Stream, theOutputStopsAfterASingleAsteriskToo) {
    WriteSettings(dir / "Settings.SSS", '0');
    StartMeter(SetupWith({{9, "21"}, {125, "45"}, {127, "53"}}));
    const int line = open(sim->Device().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(line, 0);
    // At the meter's 9600 baud, as a program sets its port: wmsim does not
    // hear a line at another rate.
    termios tio{};
    ASSERT_EQ(tcgetattr(line, &tio), 0);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    ASSERT_EQ(tcsetattr(line, TCSANOW, &tio), 0);
    const auto send = [line](const std::string& bytes) {
        return write(line, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    };
    ASSERT_TRUE(send("*1A0\r\n"));
    EXPECT_EQ(ReadUntil(line, 'E', 5000), "S+01234E");
    ASSERT_TRUE(send("*1A1\r\n*1B3\r\n"));
    const std::string throughStop = ReadUntil(line, '\r', 5000);
    EXPECT_TRUE(throughStop.ends_with("+01234\r")) << throughStop;
    ASSERT_TRUE(send("*1B3\r\n"));
    EXPECT_EQ(ReadUntil(line, '\r', 5000), "+01234\r") << "no record after the stop";
    close(line);
    EXPECT_EQ(Heard(), (std::vector<std::string>{"*1A0\r\n", "*1A1\r\n", "*1B3\r\n", "*1B3\r\n",
                                                "*1B3\r\n"}));
}

// No record for 10 s ends the run with exit 1, the output stopped: a meter
// that never starts its output, and one whose records never end with the
// character wmctl waits for (its setup file says S...E, the meter sends CR).
// Both run at once, so the test waits the 10 s only once.
TEST_F(Stream, tenSecondsWithoutARecordEndTheRunWithExit1) {
    WriteSettings(dir / "Settings.SSS", '0');
    MeterProcess silent, mismatched;
    StartMeter(silent, SetupWith({}), "silent", {"--silent", "A0"});
    StartMeter(mismatched, SetupWith({}), "mismatched");
    const auto custom = dir / "custom.WT";
    std::ofstream(custom, std::ios::binary) << SetupWith({{9, "21"}, {125, "45"}, {127, "53"}}) << "\r\n0\r\n";

    const auto started = std::chrono::steady_clock::now();
    int doneA = -1, doneB = -1;
    const pid_t a = StartWithOutputFiles(WmArgs(silent, {"stream", "--setup", silent.setup.string()}),
                                         dir / "a.out", dir / "a.err", doneA);
    const pid_t b = StartWithOutputFiles(WmArgs(mismatched, {"stream", "--setup", custom.string()}),
                                         dir / "b.out", dir / "b.err", doneB);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    const RunResult neverStarted = WaitWithOutputFiles(a, doneA, dir / "a.out", dir / "a.err", 20000);
    const RunResult neverEnded = WaitWithOutputFiles(b, doneB, dir / "b.out", dir / "b.err", 20000);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, std::chrono::seconds(10));
    for (const RunResult* r : {&neverStarted, &neverEnded}) {
        EXPECT_EQ(r->exitCode, 1) << r->err;
        EXPECT_EQ(r->out, "");
        EXPECT_NE(r->err.find("no record came for 10 s; the continuous output was stopped"), std::string::npos)
            << r->err;
    }
    const std::vector<std::string> startAndStop{"*1A0\r\n", "****************1A1\r\n", "*1B3\r\n"};
    EXPECT_EQ(Heard(silent), startAndStop);
    EXPECT_EQ(Heard(mismatched), startAndStop);
}

TEST_F(Stream, modbusIsRefusedWithoutSendingAnythingAndBadArgumentsToo) {
    WriteSettings(dir / "Settings.SSS", '1');
    StartMeter(SetupWith({}));
    const RunResult r = Wm({"stream", "-n", "5", "--setup", (dir / "meter.WT").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("The Custom ASCII protocol must be used to list, plot or graph readings."), std::string::npos)
        << r.err;
    // Only the reading that closes the log: the refusal sent nothing.
    EXPECT_EQ(Heard().size(), 1u);

    WriteSettings(dir / "Settings.SSS", '0');
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"stream", "-n", "0"}, {"stream", "-n", "x"}, {"stream", "--json", "--csv"},
          {"stream", "--setup"}, {"stream", "--setup", (dir / "missing.WT").string()}, {"stream", "extra"}}) {
        const RunResult refused = Wm(bad);
        EXPECT_EQ(refused.exitCode, 2) << bad.back();
    }
    const std::vector<std::string> heard = Heard();
    EXPECT_EQ(heard, std::vector<std::string>{"*1B3\r\n"});
}

} // namespace
} // namespace wm::e2e
