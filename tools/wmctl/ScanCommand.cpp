#include "ScanCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/Program.h"
#include "comm/Connection.h"
#include "comm/LinkScan.h"
#include "platform/qt/QtPlatform.h"

namespace wm {

namespace {

// Ctrl+C (or SIGTERM) during a scan: the handler marks the request and
// writes a byte to a pipe whose read end wakes the wait under way; the try
// in progress ends (within its short bound) and the scan stops before the
// next one.
volatile std::sig_atomic_t scanInterrupted = 0;
int scanPipe[2] = {-1, -1};

void OnScanInterrupt(int) {
    scanInterrupted = 1;
    if (scanPipe[1] >= 0) {
        const char byte = 'x';
        const ssize_t written = write(scanPipe[1], &byte, 1);
        (void)written; // a full pipe already holds a wake-up
    }
}

// Watches for Ctrl+C while it lives.
class InterruptWatch {
public:
    explicit InterruptWatch(QtEventPump& pump) {
        scanInterrupted = 0;
        if (pipe(scanPipe) != 0) return;
        fcntl(scanPipe[0], F_SETFL, O_NONBLOCK);
        fcntl(scanPipe[1], F_SETFL, O_NONBLOCK);
        notifier_ = std::make_unique<QSocketNotifier>(scanPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [&pump] {
            char drained[16];
            const ssize_t n = read(scanPipe[0], drained, sizeof drained);
            (void)n;
            pump.Wake();
        });
        struct sigaction action {};
        action.sa_handler = OnScanInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    ~InterruptWatch() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        notifier_.reset();
        for (int& fd : scanPipe) {
            if (fd >= 0) close(fd);
            fd = -1;
        }
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

std::string Seconds(std::uint64_t ms) { return std::to_string((ms + 999) / 1000) + " s"; }

} // namespace

int RunScan(Program& program, QtEventPump& pump, const std::vector<std::string>& rest) {
    bool quick = false, write = false;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        if (rest[i] == "--quick") {
            quick = true;
        } else if (rest[i] == "--write") {
            write = true;
        } else {
            std::fprintf(stderr, "wmctl: scan takes --quick and --write, not %s\n", rest[i].c_str());
            return 2;
        }
    }
    // The settings' other fields (port number, revision, board) go with every
    // try and into the file written; without usable settings, the defaults.
    const std::filesystem::path& file = program.paths.settingsFile;
    const SettingsText settings = ReadSettingsFile(file);
    ScanOptions options;
    options.mode = quick ? ScanMode::Quick : ScanMode::Full;
    if (settings.problem.empty()) options.baseLine1 = settings.line1;
    LinkState base;
    (void)DeriveLinkState(ScanSettingsLine1({}, options.baseLine1), ScanSettingsLine2(settings.line2), base);
    const std::string device = program.paths.portOverride.empty() ? DeviceForPortNumber(base.CommPortNumber)
                                                                  : program.paths.portOverride;
    const ScanDuration time = ScanTime(options.mode);
    std::fprintf(stderr, "wmctl: %s scan of %s: %zu tries, at most %s (%s when nothing answers)\n",
                 quick ? "quick" : "full", device.c_str(), time.tries, Seconds(time.longestMs).c_str(),
                 Seconds(time.silentMs).c_str());

    options.progress = [](const ScanProgress& p) {
        if (!p.newStep) return;
        std::fprintf(stderr, "[%3zu%%] %s\n", p.done * 100 / p.total, DescribeScanStep(p.trying).c_str());
    };
    options.cancelled = [] { return scanInterrupted != 0; };
    ScanResult result;
    {
        const InterruptWatch watch(pump);
        result = ScanForMeter(program, options);
    }
    if (!result.problem.empty()) {
        std::fprintf(stderr, "wmctl: scan stopped after %zu tries: %s\n", result.tries, result.problem.c_str());
        return 2;
    }
    if (result.cancelled) {
        std::fprintf(stderr, "wmctl: scan cancelled after %zu tries\n", result.tries);
        return 1;
    }
    if (!result.found) {
        std::fprintf(stderr, "wmctl: no meter answered in %zu tries\n", result.tries);
        return 1;
    }
    std::printf("%s\n", DescribeScanLink(*result.found).c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "wmctl: found after %zu tries; gross reading %s\n", result.tries, result.reading.c_str());
    if (!write) return 0;
    // The file keeps what it held beside the link (port, family, revision,
    // board); the device scanned is named in it, so the next run finds the
    // meter without --port.
    const LinkSettingsFile current = ReadLinkSettingsFile(file);
    LinkSettings found = WithScanLink(current.settings.value_or(LinkSettings{}), *result.found);
    if (!program.paths.portOverride.empty()) SetSerialDevice(found, program.paths.portOverride);
    const std::string problem = WriteLinkSettings(file, found);
    if (!problem.empty()) {
        std::fprintf(stderr, "wmctl: %s: %s\n", file.string().c_str(), problem.c_str());
        return 2;
    }
    std::fprintf(stderr, "wmctl: wrote %s\n", file.string().c_str());
    return 0;
}

} // namespace wm
