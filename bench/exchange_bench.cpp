// Wall and CPU time of meter exchanges against the simulated meter on a
// pseudo-terminal, each set against its floor: the pauses the protocol
// demands plus the time the characters take on the line. A result within a
// few per cent of the floor means the waits add nothing of their own; CPU
// far below wall time means the waits block instead of spinning.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Program.h"
#include "comm/MeterCommands.h"
#include "platform/qt/QtPlatform.h"
#include "transfer/GetSetup.h"

namespace {

double CpuMs(int who) {
    rusage u{};
    getrusage(who, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

struct Sample {
    double wall, cpu;
};

Sample Median(std::vector<Sample> v) {
    std::sort(v.begin(), v.end(), [](const Sample& a, const Sample& b) { return a.wall < b.wall; });
    return v[v.size() / 2];
}

void Report(const char* name, const Sample& s, double floorMs) {
    std::printf("%-34s wall %8.1f ms  floor %8.1f ms  (+%5.2f%%)  cpu %6.1f ms (%5.2f%% of wall)\n", name, s.wall,
                floorMs, 100.0 * (s.wall - floorMs) / floorMs, s.cpu, 100.0 * s.cpu / s.wall);
}

// Settings.SSS line 1 for 9600 baud, serial port type 1, revision 6 (the
// simulated meter reports revision 6, as the default setup holds).
std::string Line1(int protocol) { return "0501" + std::to_string(protocol) + "00100100061" + "0"; }

struct Bench {
    QString wmsim, wmctl;
    QTemporaryDir dir;
    QProcess sim;
    std::string pty;
    int runs = 5;

    bool StartSim() {
        sim.start(wmsim, {"--baud", "9600", "--delay", "0"});
        if (!sim.waitForStarted(5000)) return false;
        while (!sim.canReadLine())
            if (!sim.waitForReadyRead(5000)) return false;
        pty = sim.readLine().trimmed().toStdString();
        return !pty.empty();
    }

    std::string Settings(int protocol) {
        const std::string path = dir.filePath("Settings.SSS").toStdString();
        std::ofstream(path, std::ios::binary) << Line1(protocol) << "\r\n"
                                              << std::string(28, '0') << "1\r\n";
        return path;
    }

    // Character time in ms for 9600 baud and the line's bits per character.
    static double Char(int bits) { return bits / 9.6; }

    // Runs `exchange` `times` times on a program of its own linked to the
    // simulated meter and reports the median against floorOfOne, which is
    // given the program's quiet gap. The exchange returns its status.
    void Measure(const char* name, int protocol, int times, const std::function<int(wm::Program&)>& exchange,
                 const std::function<double(double gapMs)>& floorOfOne) {
        wm::QtClock clock;
        wm::QtEventPump pump;
        wm::QtSerialPort port(pump);
        wm::ConsoleOperator op;
        wm::Program program({port, clock, pump, op}, {Settings(protocol), dir.path().toStdString(), pty});
        program.StartUp();
        std::vector<Sample> samples;
        for (int i = 0; i < times; ++i) {
            const double w0 = NowMs(), c0 = CpuMs(RUSAGE_SELF);
            const int status = exchange(program);
            samples.push_back({NowMs() - w0, CpuMs(RUSAGE_SELF) - c0});
            if (status != 0) std::printf("  %s failed: status %d\n", name, status);
        }
        program.conn.ClosePort();
        Report(name, Median(samples), floorOfOne(10.0 * program.link.CharTimeMs + 50.0));
    }

    // A pseudo-terminal passes the request on at once; only the meter's reply
    // is paced at the baud rate, so the wire time in the floor is the first
    // reply character's.
    void InProcess(const char* name, int protocol, int bits) {
        const wm::MeterCommand* gross = wm::FindMeterCommand("gross");
        Measure(
            name, protocol, runs, [gross](wm::Program& p) { return wm::RunMeterCommand(p, *gross).status; },
            [bits](double g) { return 300.0 + Char(bits) + 200.0 + g; });
    }

    // A whole Get Setup. Every reply here is shorter than the 200 ms pause
    // after its first character, so each answered exchange costs 300 ms +
    // one character + 200 ms + the quiet gap; the floor adds the Get's own
    // pauses to that.
    void Get(const char* name, int protocol, int bits, int exchanges, double ownPausesMs) {
        Measure(
            name, protocol, std::max(1, runs / 2), [](wm::Program& p) { return int{wm::GetSetup(p).status}; },
            [=](double g) { return ownPausesMs + exchanges * (300.0 + Char(bits) + 200.0 + g); });
    }

    void WholeWmctl() {
        const std::string settings = Settings(0);
        std::vector<Sample> samples;
        for (int i = 0; i < runs; ++i) {
            QProcess p;
            const double w0 = NowMs(), c0 = CpuMs(RUSAGE_CHILDREN);
            p.start(wmctl, {"--settings", QString::fromStdString(settings), "--port", QString::fromStdString(pty),
                            "read", "gross"});
            p.waitForFinished(10000);
            samples.push_back({NowMs() - w0, CpuMs(RUSAGE_CHILDREN) - c0});
        }
        // The exchange, then the 200 ms that closing the port waits.
        Report("wmctl read gross (whole process)", Median(samples), 300.0 + Char(10) + 200.0 + 60.0 + 200.0);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Bench b;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--wmsim") b.wmsim = args[i + 1];
        if (args[i] == "--wmctl") b.wmctl = args[i + 1];
        if (args[i] == "--runs") b.runs = std::max(1, args[i + 1].toInt());
    }
    if (b.wmsim.isEmpty() || !b.StartSim()) {
        std::fprintf(stderr, "bench: cannot start the simulated meter (--wmsim PATH)\n");
        return 2;
    }
    std::printf("Simulated meter on %s, 9600 baud, median of %d runs\n", b.pty.c_str(), b.runs);
    b.InProcess("read gross, Custom ASCII", 0, 10);
    b.InProcess("read gross, Modbus RTU", 1, 11);
    if (!b.wmctl.isEmpty()) b.WholeWmctl();
    // Custom ASCII, revision 6: the 5 ms before it starts, 1000 ms before
    // "G130" and before "X236Z", the stop command
    // (300 ms) and 200 ms after it, 0.3 s after "G130", the write-back
    // (300 ms) and 1500 ms after it; four answered exchanges.
    b.Get("Get Setup, Custom ASCII", 0, 10, 4, 5 + 300 + 200 + 2000 + 300 + 300 + 1500);
    // Modbus RTU at 9600 baud: the 5 ms, then six requests with 2000 ms
    // between them.
    b.Get("Get Setup, Modbus RTU", 1, 11, 6, 5 + 5 * 2000);
    b.sim.terminate();
    b.sim.waitForFinished(3000);
    return 0;
}
