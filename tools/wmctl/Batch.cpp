#include "Batch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "BatchForm.h"
#include "comm/Connection.h"
#include "setup/SetupFiles.h"

namespace wm {

// Each meter's job is a child process: wmctl runs itself with the one port
// and the single get or put, and a hidden option makes it end its output
// with the job line the summary is filled from. Threads, each with its own
// Program, port, event loop and clock, would work too, but a process is the
// simpler sound choice: the job runs the very code a single run runs, and
// nothing of one job can reach another. The console operator writes its
// questions and answers straight to standard error, where the jobs' lines
// would interleave; a Put that changes the serial settings rewrites
// Settings.SSS, which here goes to a copy of the job's own; and a job that
// hangs or crashes is ended alone, while Ctrl+C ends them all with a signal.

namespace {

constexpr int kJobLimitMs = 600'000; // far beyond the longest Get or Put, at 300 baud
constexpr int kKillGraceMs = 2000;   // after SIGTERM, then SIGKILL

int interruptPipe[2] = {-1, -1};

void OnInterrupt(int) {
    const char byte = 'x';
    const ssize_t written = write(interruptPipe[1], &byte, 1);
    (void)written; // a full pipe already holds a wake-up
}

int Refuse(const std::string& problem) {
    std::fprintf(stderr, "wmctl: %s\n", problem.c_str());
    return 2;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct Job {
    std::string named;                   // as on the command line
    QStringList args;
    std::filesystem::path settingsCopy;  // put: the job's own Settings.SSS
    JobRow row;
    std::unique_ptr<QProcess> process;
    QElapsedTimer clock;
    bool interrupted = false, timedOut = false, failedToStart = false, ended = false;
};

// A job's standard error, each line after its port.
void Relay(const std::string& port, const std::string& text) {
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::fprintf(stderr, "%s: %s\n", port.c_str(), text.substr(from, end - from).c_str());
        from = end + 1;
    }
}

// Removes the folder of the settings copies however the batch ends.
struct TempFolder {
    std::filesystem::path path;
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

// Runs the jobs, at most atOnce at a time, until all have ended or Ctrl+C
// (or SIGTERM) has ended those running.
void RunJobs(std::vector<Job>& jobs, std::size_t atOnce) {
    QEventLoop loop;
    const QString program = QCoreApplication::applicationFilePath();
    std::size_t next = 0, running = 0;
    bool stopping = false;

    const auto finish = [&](Job& job, std::optional<int> exitCode) {
        job.row.seconds = static_cast<double>(job.clock.elapsed()) / 1000.0;
        std::string out = job.process->readAllStandardOutput().toStdString();
        const std::string err = job.process->readAllStandardError().toStdString();
        const std::optional<JobReport> report = TakeJobLine(out);
        if (report) job.row.status = report->status;
        job.row.result = job.failedToStart ? JobResult::Error
                         : job.interrupted ? JobResult::Interrupted
                         : job.timedOut    ? JobResult::Killed
                                           : JobResultOf(exitCode, report);
        Relay(job.named, out); // the status line a single run prints
        Relay(job.named, err);
        if (job.failedToStart) Relay(job.named, "wmctl: could not start " + program.toStdString());
        if (job.timedOut) Relay(job.named, "wmctl: ended after " + std::to_string(kJobLimitMs / 1000) + " s");
        --running;
    };
    std::function<void()> startMore = [&] {
        while (!stopping && next < jobs.size() && running < atOnce) {
            Job& job = jobs[next++];
            job.process = std::make_unique<QProcess>();
            QProcess* p = job.process.get();
            // A job must not outlive the batch, however the batch ends.
            p->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
            // Queued: a job that cannot start says so inside start(), and
            // its end must not start the next one from in there.
            QObject::connect(p, &QProcess::finished, &loop, [&, p, &job = job](int code, QProcess::ExitStatus how) {
                if (job.ended) return;
                job.ended = true;
                finish(job, how == QProcess::NormalExit ? std::optional<int>(code) : std::nullopt);
                startMore();
                if (running == 0) loop.quit();
            }, Qt::QueuedConnection);
            QObject::connect(p, &QProcess::errorOccurred, &loop, [&, p, &job = job](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart || job.ended) return;
                job.ended = true;
                job.failedToStart = true;
                finish(job, std::nullopt);
                startMore();
                if (running == 0) loop.quit();
            }, Qt::QueuedConnection);
            QTimer::singleShot(kJobLimitMs, p, [p, &job = job] {
                if (p->state() == QProcess::NotRunning) return;
                job.timedOut = true;
                p->kill();
            });
            ++running;
            job.clock.start();
            p->start(program, job.args);
        }
    };

    if (pipe(interruptPipe) != 0) {
        interruptPipe[0] = interruptPipe[1] = -1;
    } else {
        fcntl(interruptPipe[1], F_SETFL, O_NONBLOCK);
        struct sigaction action{};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    std::unique_ptr<QSocketNotifier> notifier;
    if (interruptPipe[0] >= 0) {
        notifier = std::make_unique<QSocketNotifier>(interruptPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [&] {
            char drained[16];
            const ssize_t n = read(interruptPipe[0], drained, sizeof drained);
            (void)n;
            if (stopping) return;
            stopping = true;
            for (Job& job : jobs) {
                QProcess* p = job.process.get();
                if (p == nullptr || p->state() == QProcess::NotRunning) continue;
                job.interrupted = true;
                p->terminate();
                QTimer::singleShot(kKillGraceMs, p, [p] {
                    if (p->state() != QProcess::NotRunning) p->kill();
                });
            }
        });
    }

    startMore();
    if (running > 0) loop.exec();
    // Ctrl+C at the terminal reaches the jobs too, and one may have ended by
    // it before the batch saw the signal.
    if (stopping)
        for (Job& job : jobs)
            if (job.row.result == JobResult::Killed && !job.timedOut) job.row.result = JobResult::Interrupted;

    if (interruptPipe[0] >= 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        notifier.reset();
        close(interruptPipe[0]);
        close(interruptPipe[1]);
        interruptPipe[0] = interruptPipe[1] = -1;
    }
}

// After a batch Put: when the meters that took the setup took new serial
// settings with it, Settings.SSS follows them as after a single Put.
void FollowSettings(const std::vector<Job>& jobs, const std::filesystem::path& settingsFile, const SettingsText& before) {
    std::set<std::pair<std::string, std::string>> taken;
    int behind = 0;
    for (const Job& job : jobs) {
        if (job.row.result != JobResult::Ok) {
            ++behind;
            continue;
        }
        const SettingsText after = ReadSettingsFile(job.settingsCopy);
        if (after.problem.empty() && (after.line1 != before.line1 || after.line2 != before.line2))
            taken.insert({after.line1, after.line2});
    }
    if (taken.empty()) return;
    if (taken.size() > 1) {
        std::fprintf(stderr, "wmctl: the meters took different serial settings; %s is left as it was\n",
                     settingsFile.string().c_str());
        return;
    }
    const auto& [line1, line2] = *taken.begin();
    const std::string problem = WriteSettingsFile(settingsFile, line1, line2);
    if (!problem.empty()) {
        std::fprintf(stderr, "wmctl: Settings file %s: %s\n", settingsFile.string().c_str(), problem.c_str());
        return;
    }
    std::fprintf(stderr, "wmctl: %s now follows the serial settings just put (line 1 %s)%s\n",
                 settingsFile.string().c_str(), line1.c_str(),
                 behind > 0 ? "; the meters not done keep their old ones" : "");
}

} // namespace

int RunBatch(const BatchRequest& r) {
    const std::string command = r.rest.empty() ? std::string() : r.rest[0];
    const bool put = command == "put";
    if (!put && command != "get") return Refuse("only get and put run on more than one port, not " + command);
    bool yes = false;
    std::filesystem::path setupFile, folder;
    if (put) {
        yes = r.rest.size() == 3 && r.rest[2] == "--yes";
        if (r.rest.size() != 2 && !yes) return Refuse("put needs FILE [--yes]");
        setupFile = r.rest[1];
    } else {
        if (r.rest.size() != 3 || r.rest[1] != "-o" || r.rest[2].empty())
            return Refuse("get on more than one port needs -o FOLDER");
        folder = r.rest[2];
    }

    // The settings are checked once here, not once per meter.
    const std::filesystem::path settingsFile(r.settings);
    const SettingsText text = ReadSettingsFile(settingsFile);
    LinkState link;
    const std::string settingsProblem = text.problem.empty() ? DeriveLinkState(text.line1, text.line2, link) : text.problem;
    if (!settingsProblem.empty()) return Refuse("Settings file " + settingsFile.string() + ": " + settingsProblem);
    if (link.EthernetLink == 1)
        return Refuse("the settings name an Ethernet node, which reaches one meter; get and put on many meters "
                      "need serial ports");
    if (link.PortType == 0) return Refuse("the settings say there is no serial port (port type 0)");

    std::vector<Job> jobs;
    std::set<std::string> devices, names;
    for (const std::string& named : r.ports) {
        std::string problem;
        const std::optional<PortArg> port = ParsePortArg(named, problem);
        if (!port) return Refuse(problem);
        // Two jobs on one port would fight over it: the same device under
        // another name (a link to it) counts as the same port.
        std::error_code ec;
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(port->device, ec);
        if (!devices.insert(ec ? port->device : canonical.string()).second)
            return Refuse("--port " + named + ": that port is named twice; each port serves one job");
        if (port->address) {
            LinkState trial = link;
            problem = UseLinkAddress(trial, *port->address);
            if (!problem.empty()) return Refuse("--port " + named + ": " + problem);
        }
        Job job;
        job.named = named;
        job.row.port = named;
        if (r.trace) job.args << "--trace";
        job.args << "--port" << Q(named) << "--batch-job";
        if (!put) {
            const std::string name = SetupFileNameForDevice(port->device);
            if (name.empty()) return Refuse("--port " + named + ": no file name can be made from it");
            if (!names.insert(name).second)
                return Refuse("--port " + named + ": another port's setup would be saved as " + name + " too");
            job.args << "get" << "-o" << Q((folder / name).string());
        }
        jobs.push_back(std::move(job));
    }

    TempFolder copies;
    if (put) {
        // Read before any port is opened: a bad file costs no meter anything.
        const SetupFileText file = ReadSetupFile(setupFile);
        if (!file.problem.empty()) return Refuse(setupFile.string() + ": " + file.problem);
        // Each job gets Settings.SSS as it is now: a job that rewrote the
        // shared file for its meter's new settings would point the jobs
        // after it at settings their meters do not have yet.
        std::string pattern = (std::filesystem::temp_directory_path() / "wmctl-batch-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return Refuse("cannot make a folder for the settings of each job");
        copies.path = pattern;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            jobs[i].settingsCopy = copies.path / ("Settings" + std::to_string(i + 1) + ".SSS");
            const std::string problem = WriteSettingsFile(jobs[i].settingsCopy, text.line1, text.line2);
            if (!problem.empty()) return Refuse(problem);
            jobs[i].args.prepend(Q(jobs[i].settingsCopy.string()));
            jobs[i].args.prepend("--settings");
            jobs[i].args << "put" << Q(setupFile.string());
            if (yes) jobs[i].args << "--yes";
        }
    } else {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder, ec)) return Refuse(folder.string() + ": the folder cannot be made");
        if (!r.settings.empty())
            for (Job& job : jobs) job.args = QStringList{"--settings", Q(r.settings)} + job.args;
    }

    RunJobs(jobs, r.jobs > 0 ? static_cast<std::size_t>(r.jobs) : jobs.size());
    if (put) FollowSettings(jobs, settingsFile, text);

    std::vector<JobRow> rows;
    bool allDone = true;
    for (const Job& job : jobs) {
        rows.push_back(job.row);
        allDone = allDone && job.row.result == JobResult::Ok;
    }
    std::fputs(FormatSummary(rows).c_str(), stdout);
    std::fflush(stdout);
    return allDone ? 0 : 1;
}

} // namespace wm
