// wmsim: a simulated weight meter on a pseudo-terminal. It prints the
// device path of the terminal's slave side as its first line, then serves
// the meter on the master side in real time until SIGTERM or SIGINT (SIGUSR1
// makes it say how many records of the continuous output it has sent): bytes
// in as they arrive, replies paced at the baud rate, the RTU silence and
// the continuous output driven by ppoll time-outs (no busy waiting). With
// --node it is also the serial-to-Ethernet node in front of that meter.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "NodeEndpoint.h"
#include "comm/NodePacket.h"
#include "sim/Meter.h"
#include "sim/MeterLine.h"
#include "sim/MeterSession.h"
#include "sim/NodeSession.h"
#include "sim/SimOptions.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t countRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }
void OnCountSignal(int) { countRequested = 1; }

void SayRecordsSent(std::uint64_t records) {
    std::cerr << "wmsim: " << records << " records of the continuous output sent" << std::endl;
}

std::uint64_t MonotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000ULL +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000ULL;
}

// Microseconds since wmsim started: the times in the request log.
std::uint64_t NowUs() {
    static const std::uint64_t startUs = MonotonicUs();
    return MonotonicUs() - startUs;
}

// The bytes on their way out, each with the time its stop bit leaves.
class PacedOutput {
public:
    explicit PacedOutput(std::uint64_t charTimeUs) : charTimeUs_(charTimeUs) {}

    void Add(const wm::sim::Outgoing& piece) {
        std::uint64_t t = std::max(piece.atUs, lastUs_);
        for (char c : piece.bytes) {
            t += charTimeUs_;
            queue_.push_back({t, c, false});
        }
        if (piece.record && !piece.bytes.empty()) queue_.back().endsRecord = true;
        lastUs_ = t;
    }

    // Writes what is due. A full terminal buffer (nobody reading the slave
    // side) drops the bytes, as a line with nobody listening would; a record
    // counts as sent once its last byte was written.
    void WriteDue(int fd, std::uint64_t nowUs) {
        std::string due;
        std::vector<std::size_t> recordEnds;
        while (!queue_.empty() && queue_.front().dueUs <= nowUs) {
            if (queue_.front().endsRecord) recordEnds.push_back(due.size());
            due.push_back(queue_.front().byte);
            queue_.pop_front();
        }
        if (due.empty()) return;
        const ssize_t written = write(fd, due.data(), due.size());
        if (written < 0 && errno != EAGAIN) std::cerr << "wmsim: write: " << std::strerror(errno) << "\n";
        for (std::size_t end : recordEnds)
            if (written > 0 && end < static_cast<std::size_t>(written)) ++recordsSent_;
    }

    // Records of the continuous output written whole.
    [[nodiscard]] std::uint64_t RecordsSent() const { return recordsSent_; }

    [[nodiscard]] std::optional<std::uint64_t> NextDueUs() const {
        if (queue_.empty()) return std::nullopt;
        return queue_.front().dueUs;
    }

private:
    struct Byte {
        std::uint64_t dueUs;
        char byte;
        bool endsRecord;
    };
    std::uint64_t charTimeUs_;
    std::uint64_t lastUs_ = 0;
    std::uint64_t recordsSent_ = 0;
    std::deque<Byte> queue_;
};

bool OpenTerminal(int& master, int& slave, std::string& name) {
    char path[256] = {};
    if (openpty(&master, &slave, path, nullptr, nullptr) != 0) return false;
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    name = path;
    return true;
}

void WriteLog(wm::sim::Meter& meter, wm::sim::NodeSession* node, std::ofstream& log) {
    std::vector<std::string> nodeLines;
    if (node != nullptr) nodeLines = node->TakeLog();
    if (!log.is_open()) {
        meter.ClearLog();
        return;
    }
    for (const std::string& line : nodeLines) log << line << '\n';
    for (const wm::sim::LogEntry& e : meter.Log())
        log << wm::sim::FormatLogEntry(e) << '\n';
    log.flush();
    meter.ClearLog();
}

timespec TimeoutUntil(std::uint64_t deadlineUs, std::uint64_t nowUs) {
    const std::uint64_t wait = deadlineUs > nowUs ? deadlineUs - nowUs : 0;
    return {static_cast<time_t>(wait / 1'000'000), static_cast<long>((wait % 1'000'000) * 1000)};
}

// The program's port settings as the pseudo-terminal carries them (the
// master side reads the slave side's terminal settings): the baud rate and
// the stop bits; the kernel keeps a pseudo-terminal at 8 data bits without
// parity. Nothing when they cannot be read.
std::optional<wm::LineSettings> ProgramPortSettings(int master) {
    static constexpr std::pair<speed_t, int> speeds[] = {{B300, 300},     {B600, 600},     {B1200, 1200},
                                                         {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                                                         {B19200, 19200}, {B38400, 38400}, {B57600, 57600},
                                                         {B115200, 115200}};
    termios t{};
    if (tcgetattr(master, &t) != 0) return std::nullopt;
    wm::LineSettings s;
    s.ok = true;
    s.baud = 0;
    for (const auto& [code, baud] : speeds)
        if (cfgetospeed(&t) == code) s.baud = baud;
    s.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
    return s;
}

// Whether the meter hears what the program just sent; a request it cannot
// hear goes to the log (when there is one) as "line ignored".
bool Heard(const wm::sim::Meter& meter, const wm::sim::MeterLine& line, int master, const char* bytes,
           ssize_t n, std::ofstream& log) {
    const std::optional<wm::LineSettings> port = ProgramPortSettings(master);
    if (!port || wm::sim::MeterHears(line, wm::sim::FixedFraming(meter), *port, true)) return true;
    if (log.is_open()) {
        static constexpr char digits[] = "0123456789ABCDEF";
        std::string hex;
        for (ssize_t i = 0; i < n; ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            hex += digits[b >> 4];
            hex += digits[b & 15];
        }
        log << NowUs() << " line ignored (sent at " << port->baud << " baud, " << port->stopBits
            << " stop bits) rx=" << hex << '\n';
    }
    return false;
}

int Serve(wm::sim::Meter& meter, const wm::sim::SimOptions& options, int master, std::ofstream& log,
          wm::sim::NodeSession* node, wm::sim::NodeEndpoint* endpoint) {
    const std::uint64_t charTimeUs = 10'000'000ULL / static_cast<std::uint64_t>(options.baud);
    wm::sim::MeterSession session(meter, charTimeUs);
    PacedOutput output(charTimeUs);
    const wm::sim::MeterLine line{options.baud, options.parity};

    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGUSR1);

    while (!stopRequested) {
        std::optional<std::uint64_t> deadline = session.NextDeadlineUs();
        const auto earliest = [&deadline](std::optional<std::uint64_t> due) {
            if (due) deadline = std::min(deadline.value_or(*due), *due);
        };
        earliest(output.NextDueUs());
        if (endpoint != nullptr) earliest(endpoint->NextDeadlineUs());
        std::vector<pollfd> fds{{master, POLLIN, 0}};
        if (endpoint != nullptr) endpoint->AddPollFds(fds);
        timespec timeout{};
        if (deadline) timeout = TimeoutUntil(*deadline, NowUs());
        const int ready = ppoll(fds.data(), fds.size(), deadline ? &timeout : nullptr, &waitMask);
        if (ready < 0 && errno != EINTR) {
            std::cerr << "wmsim: poll: " << std::strerror(errno) << "\n";
            return 1;
        }
        const std::uint64_t now = NowUs();
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            char buffer[512];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0 && Heard(meter, line, master, buffer, n, log))
                for (ssize_t i = 0; i < n; ++i)
                    session.Receive(buffer[i], now);
        }
        if (endpoint != nullptr) {
            if (ready > 0) endpoint->Handle(fds, now);
            endpoint->Tick(NowUs());
        }
        session.Tick(now);
        for (const wm::sim::Outgoing& piece : session.TakeOutgoing())
            output.Add(piece);
        output.WriteDue(master, NowUs());
        WriteLog(meter, node, log);
        if (countRequested) {
            countRequested = 0;
            SayRecordsSent(output.RecordsSent());
        }
    }
    SayRecordsSent(output.RecordsSent());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const wm::sim::ParsedSimOptions parsed =
        wm::sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << "wmsim: " << parsed.error << "\nTry wmsim --help.\n";
        return 2;
    }
    if (parsed.options.help) {
        std::cout << wm::sim::SimUsage();
        return 0;
    }
    wm::sim::Meter meter;
    std::string problem;
    if (!wm::sim::ApplySimOptions(parsed.options, meter, problem)) {
        std::cerr << "wmsim: " << problem << "\n";
        return 2;
    }
    std::ofstream log;
    if (!parsed.options.logFile.empty()) {
        log.open(parsed.options.logFile, std::ios::binary | std::ios::trunc);
        if (!log) {
            std::cerr << "wmsim: cannot write the log file " << parsed.options.logFile << "\n";
            return 2;
        }
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = OnCountSignal;
    sigaction(SIGUSR1, &action, nullptr);

    (void)NowUs(); // the log's times count from here
    const std::uint64_t charTimeUs = 10'000'000ULL / static_cast<std::uint64_t>(parsed.options.baud);
    std::unique_ptr<wm::sim::NodeSession> node;
    std::unique_ptr<wm::sim::NodeEndpoint> endpoint;
    if (!parsed.options.nodeAddress.empty()) {
        node = std::make_unique<wm::sim::NodeSession>(meter, parsed.options.node, charTimeUs);
        endpoint = std::make_unique<wm::sim::NodeEndpoint>(*node, parsed.options.nodeAddress,
                                                           parsed.options.strangerAddress);
        if (!endpoint->Open(problem)) {
            std::cerr << "wmsim: " << problem << "\n";
            return 1;
        }
    }

    int master = -1, slave = -1;
    std::string device;
    if (!OpenTerminal(master, slave, device)) {
        std::cerr << "wmsim: cannot open a pseudo-terminal: " << std::strerror(errno) << "\n";
        return 1;
    }
    std::cout << device << std::endl;
    std::cerr << "wmsim: meter address " << meter.MeterAddress() << ", Modbus slave " << meter.ModbusAddress()
              << ", " << parsed.options.baud << " baud, parity " << parsed.options.parity << "\n";
    if (node)
        std::cerr << "wmsim: Ethernet node " << parsed.options.node.hardware << " on UDP "
                  << parsed.options.nodeAddress << ":" << wm::NodePort << "\n";
    // The slave side stays open here too, so the master never sees a hang-up
    // while the program closes and reopens the port between transfers.
    const int result = Serve(meter, parsed.options, master, log, node.get(), endpoint.get());
    close(master);
    close(slave);
    return result;
}
