// How many of the meter's records a client shows when the continuous output
// runs back to back at line rate, and what that costs it. For each baud rate
// the simulated meter runs on a pseudo-terminal with its output at line rate
// ("+01234" and CR, seven characters a record) and the client reads it for a
// fixed time. Reported: the records the meter sent while the client read
// (wmsim counts those it wrote whole, and says the count at SIGUSR1, sent as
// the client is told to stop), the records the client showed, their ratio,
// and the client's
// processor time (user + system, from wait4) as a share of one core over its
// whole run, start-up and the closing of the port included.
//
// A client shows at most one record per arrival of data and drops the whole
// records queued behind it, and it never shows the first two after the start
// (the first may be partial, the second only measures the list's rows): so a
// client that keeps up shows sent - 2, and the ratio is given both ways.
//
// Clients (--client):
//   wmctl  `wmctl stream`, ended by SIGINT (it sends the stop command first);
//          shown = the lines it printed.
//   list   the readings list window run offscreen: `wmsetup --bench-list S`
//          opens the list on the port as the main menu does, ends it at
//          SIGINT, sent as the meter is asked for its count (S, 10 s more
//          than the run, is only a fallback) as its End button does, and
//          prints "N records shown" as the last line of its standard output.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "setup/Defaults.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A child process with its standard output and error in files. The child
// holds the write end of a pipe until it ends, so the parent can wait for
// its end with a deadline.
struct Child {
    pid_t pid = -1;
    int done = -1;
    Clock::time_point started;

    int out = -1; // the read end of its standard output, when it goes to a pipe

    // Standard output to the file out, or to a pipe when out is empty.
    static Child Start(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
        Child c;
        int pipeFds[2], outFds[2] = {-1, -1};
        if (pipe(pipeFds) != 0 || (out.empty() && pipe(outFds) != 0)) return c;
        c.started = Clock::now();
        c.pid = fork();
        if (c.pid == 0) {
            close(pipeFds[0]);
            const int o = out.empty() ? outFds[1] : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(o, 1);
            dup2(e, 2);
            if (out.empty()) close(outFds[0]);
            std::vector<std::string> copy = args;
            std::vector<char*> argv;
            for (std::string& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        c.done = pipeFds[0];
        if (out.empty()) {
            close(outFds[1]);
            c.out = outFds[0];
        }
        return c;
    }

    // The first line of its standard output (a pipe), waiting at most ms.
    std::string FirstLine(int ms) const {
        std::string line;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (line.empty() || line.back() != '\n') {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            pollfd p{out, POLLIN, 0};
            char c;
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0 || read(out, &c, 1) != 1) return {};
            line.push_back(c);
        }
        line.pop_back();
        return line;
    }

    // True when the child ended within ms.
    bool WaitEnd(int ms) const {
        pollfd p{done, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }

    struct End {
        int status = -1;
        double wallS = 0, cpuS = 0;
    };
    End Reap() {
        End e;
        rusage u{};
        int status = 0;
        wait4(pid, &status, 0, &u);
        e.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        e.wallS = std::chrono::duration<double>(Clock::now() - started).count();
        e.cpuS = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                 static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        close(done);
        if (out >= 0) close(out);
        pid = -1;
        return e;
    }
};

// Settings.SSS for Custom ASCII at one of the program's baud rates, meter
// address 1, on a serial port.
bool WriteSettings(const fs::path& file, int baud) {
    const std::vector<int> bauds = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400};
    for (std::size_t i = 0; i < bauds.size(); ++i) {
        if (bauds[i] != baud) continue;
        std::ofstream(file, std::ios::binary) << "0" << i << "01000100100061" << "0\r\n"
                                              << std::string(28, '0') << "1\r\n";
        return true;
    }
    return false;
}

struct Options {
    std::string wmsim, wmctl, wmsetup, client = "wmctl";
    int seconds = 30;
    std::vector<int> bauds = {9600, 38400};
};

struct Result {
    long sent = -1, shown = -1;
    Child::End client, sim;
};

// The client's command line, or nothing (with the reason) when it cannot run.
std::optional<std::vector<std::string>> ClientArgs(const Options& o, const fs::path& dir,
                                                   const std::string& device, std::string& why) {
    const fs::path settings = dir / "Settings.SSS", setup = dir / "meter.WT";
    if (o.client == "wmctl") {
        return std::vector<std::string>{o.wmctl, "--settings", settings.string(), "--port", device,
                                        "stream", "--setup", setup.string()};
    }
    // The hook for the readings list window: see the contract at the top.
    if (o.client == "list") {
        if (o.wmsetup.empty()) {
            why = "--client list needs --wmsetup PATH";
            return std::nullopt;
        }
        Child help = Child::Start({o.wmsetup, "--help"}, dir / "help.out", dir / "help.err");
        if (!help.WaitEnd(10000)) kill(help.pid, SIGKILL);
        help.Reap();
        if ((Slurp(dir / "help.out") + Slurp(dir / "help.err")).find("--bench-list") == std::string::npos) {
            why = "this wmsetup has no --bench-list yet (the readings list window run offscreen for a time)";
            return std::nullopt;
        }
        return std::vector<std::string>{o.wmsetup, "--settings", settings.string(), "--port", device,
                                        "--bench-list", std::to_string(o.seconds + 10)};
    }
    why = "--client takes wmctl or list";
    return std::nullopt;
}

// The records the client showed, from its standard output.
long Shown(const std::string& client, const std::string& out) {
    if (client == "wmctl") return static_cast<long>(std::count(out.begin(), out.end(), '\n'));
    const std::size_t last = out.find_last_of('\n', out.size() >= 2 ? out.size() - 2 : 0);
    const std::string line = out.substr(last == std::string::npos ? 0 : last + 1);
    return line.find("records shown") == std::string::npos ? -1 : std::atol(line.c_str());
}

std::optional<Result> RunOne(const Options& o, int baud, const fs::path& dir, std::string& why) {
    const fs::path settings = dir / "Settings.SSS", setup = dir / "meter.WT";
    if (!WriteSettings(settings, baud)) {
        why = "no such baud rate in the program's table: " + std::to_string(baud);
        return std::nullopt;
    }
    // The default setup: records "+01234" CR at line rate.
    std::ofstream(setup, std::ios::binary) << wm::DefaultSetupText << "\r\n0\r\n";

    Child sim = Child::Start({o.wmsim, "--baud", std::to_string(baud), "--delay", "0", "--setup", setup.string()},
                             {}, dir / "sim.err");
    const std::string device = sim.FirstLine(10000);
    if (device.empty()) {
        why = "wmsim did not start (" + Slurp(dir / "sim.err") + ")";
        kill(sim.pid, SIGKILL);
        sim.Reap();
        return std::nullopt;
    }
    const std::optional<std::vector<std::string>> args = ClientArgs(o, dir, device, why);
    if (!args) {
        kill(sim.pid, SIGTERM);
        sim.Reap();
        return std::nullopt;
    }

    // The count of records sent is taken when the client is told to stop
    // reading: the records the meter sends while the stop command waits its
    // turn are never read, by design.
    Result r;
    Child client = Child::Start(*args, dir / "client.out", dir / "client.err");
    const bool endedEarly = client.WaitEnd(o.seconds * 1000);
    kill(sim.pid, SIGUSR1);
    if (!endedEarly) kill(client.pid, SIGINT);
    if (!client.WaitEnd(15000)) kill(client.pid, SIGKILL);
    r.client = client.Reap();
    kill(sim.pid, SIGTERM);
    r.sim = sim.Reap();

    const std::string simErr = Slurp(dir / "sim.err");
    const std::size_t at = simErr.find(" records of the continuous output sent"); // the first: at SIGUSR1
    if (at != std::string::npos) r.sent = std::atol(simErr.c_str() + simErr.rfind(' ', at - 1) + 1);
    r.shown = Shown(o.client, Slurp(dir / "client.out"));
    if (r.client.status != 0) why = "the client ended with status " + std::to_string(r.client.status) + ": " +
                                    Slurp(dir / "client.err");
    return r;
}

void Report(int baud, const Result& r) {
    const double lineRate = baud / 10.0 / 7.0; // records of seven characters, ten bits each
    const double ratio = r.sent > 0 ? 100.0 * r.shown / r.sent : 0;
    const double ratioKeptUp = r.sent > 2 ? 100.0 * r.shown / (r.sent - 2) : 0;
    std::printf("%6d baud (%.0f records/s): sent %ld, shown %ld: shown/sent %.2f%%, shown/(sent-2) %.2f%%\n"
                "            client CPU %.2f s in %.1f s = %.2f%% of one core; wmsim %.2f%%\n",
                baud, lineRate, r.sent, r.shown, ratio, ratioKeptUp, r.client.cpuS, r.client.wallS,
                100.0 * r.client.cpuS / r.client.wallS, 100.0 * r.sim.cpuS / r.sim.wallS);
}

std::optional<Options> Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--wmsim") {
            o.wmsim = value;
        } else if (name == "--wmctl") {
            o.wmctl = value;
        } else if (name == "--wmsetup") {
            o.wmsetup = value;
        } else if (name == "--client") {
            o.client = value;
        } else if (name == "--seconds") {
            o.seconds = std::max(1, std::atoi(value.c_str()));
        } else if (name == "--baud") {
            o.bauds.clear();
            std::istringstream list(value);
            for (std::string b; std::getline(list, b, ',');) o.bauds.push_back(std::atoi(b.c_str()));
        } else {
            return std::nullopt;
        }
    }
    if (o.wmsim.empty() || (o.client == "wmctl" && o.wmctl.empty())) return std::nullopt;
    return o;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> o = Parse(argc, argv);
    if (!o) {
        std::fprintf(stderr, "usage: bench_readings --wmsim PATH --wmctl PATH [--wmsetup PATH] "
                             "[--client wmctl|list] [--seconds N] [--baud B,B...]\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("wm-bench-readings-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::printf("Continuous output at line rate for %d s per case, client %s\n", o->seconds, o->client.c_str());
    int code = 0;
    for (int baud : o->bauds) {
        double load[1] = {0};
        getloadavg(load, 1);
        std::string why;
        const std::optional<Result> r = RunOne(*o, baud, dir, why);
        if (!r) {
            std::fflush(stdout);
            std::fprintf(stderr, "bench_readings: %s\n", why.c_str());
            code = 1;
            break;
        }
        Report(baud, *r);
        std::printf("            load average before the run %.2f%s%s\n", load[0], why.empty() ? "" : "; ",
                    why.c_str());
    }
    fs::remove_all(dir);
    return code;
}
