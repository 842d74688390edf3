#include "gui/main/AppStart.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <cstdlib>
#include <cstdio>
#include <filesystem>

#include "app/Program.h"
#include "app/ProgramFolders.h"
#include "gui/main/QtOperator.h"
#include "gui/main/Screenshots.h"
#include "gui/main/frmEther.h"
#include "gui/main/frmMMenu.h"
#include "gui/readings/frmList.h"
#include "platform/qt/QtNodeSockets.h"
#include "platform/qt/QtPlatform.h"

namespace wm {

namespace {

constexpr const char* kUsage =
    "usage: wmsetup [--settings FILE] [--port DEVICE] [--screenshots DIR] [SETUPFILE]\n"
    "  SETUPFILE           open this setup file at start, as File > Open Setup does\n"
    "  --settings FILE     the Settings.SSS to read and rewrite (default: the one in the program's folder,\n"
    "                      or when installed ~/.config/wmsetup/Settings.SSS)\n"
    "  --port DEVICE       serial device to use instead of the one the settings' port number names\n"
    "  --screenshots DIR   draw every window into PNG files in DIR and end (works without a display)\n"
    "  --bench-list S      open Readings > List at once, End it at Ctrl+C or after S seconds, print\n"
    "                      \"N records shown\" and end (the readings benchmark's client)\n";

// The benchmark's Ctrl+C reaches the event loop through this pipe.
int benchInterruptPipe[2] = {-1, -1};

void OnBenchInterrupt(int) {
    const char byte = 1;
    const ssize_t n = write(benchInterruptPipe[1], &byte, 1);
    (void)n;
}

} // namespace

std::optional<WmsetupOptions> ParseWmsetupOptions(const std::vector<std::string>& args,
                                                  std::string& problem) {
    WmsetupOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (!a.empty() && a[0] != '-') {
            if (!o.setupFile.empty()) {
                problem = "one setup file at a time, not " + o.setupFile + " and " + a;
                return std::nullopt;
            }
            o.setupFile = a;
            continue;
        }
        if (a != "--settings" && a != "--port" && a != "--screenshots" && a != "--bench-list") {
            problem = "unknown argument " + a;
            return std::nullopt;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            problem = a + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (a == "--settings") o.settings = value;
        if (a == "--port") o.port = value;
        if (a == "--screenshots") o.screenshots = QString::fromStdString(value);
        if (a == "--bench-list") {
            char* end = nullptr;
            const long seconds = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || seconds < 1 || seconds > 86'400) {
                problem = "--bench-list takes seconds from 1 to 86400, not \"" + value + "\"";
                return std::nullopt;
            }
            o.benchListSeconds = static_cast<int>(seconds);
        }
    }
    return o;
}

int RunWmsetup(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string problem;
    const std::optional<WmsetupOptions> parsed = ParseWmsetupOptions(args, problem);
    if (!parsed) {
        std::fprintf(stderr, "wmsetup: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    if (parsed->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // Screenshots and the benchmark's list run without a display unless one
    // is asked for.
    if ((!parsed->screenshots.isEmpty() || parsed->benchListSeconds > 0) &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName("wmsetup");
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const ProgramFolders folders = FindProgramFolders(QApplication::applicationDirPath().toStdString(),
                                                      FolderEnvironment{xdg ? xdg : "", home ? home : ""});
    if (!parsed->screenshots.isEmpty()) return RenderScreenshots(parsed->screenshots, folders.helpDir);

    QtClock clock;
    QtEventPump pump;
    QtSerialPort port{pump};
    QtNodeSockets sockets{pump};
    QtOperator op;
    Program program(Platform{port, clock, pump, op}, MakeProgramPaths(folders, parsed->settings, parsed->port));
    program.AttachNode(sockets);

    program.StartUp();
    if (op.EndRequested()) return 1; // the settings name another instrument

    frmMMenu window(program, op);
    QObject::connect(&window, &frmMMenu::programEnded, &app, &QApplication::quit, Qt::QueuedConnection);
    if (!parsed->setupFile.empty()) {
        // Once the event loop runs, so that a message about the file has the
        // main window (or the Ethernet window) under it. A relative name is
        // the shell's: it is taken from the working folder.
        std::error_code ec;
        std::filesystem::path file = std::filesystem::absolute(parsed->setupFile, ec);
        if (ec) file = parsed->setupFile;
        QTimer::singleShot(0, &window, [&window, file] { window.OpenSetupFile(file); });
    }
    if (program.link.EthernetLink == 1) {
        // The Ethernet window asks the node to call and shows the main
        // window once it has; it stays loaded for its timer.
        frmEther ether(program, window);
        QObject::connect(&ether, &frmEther::programEnded, &app, [] { QApplication::exit(1); }, Qt::QueuedConnection);
        ether.show();
        return QApplication::exec();
    }
    window.show();
    std::unique_ptr<QSocketNotifier> interrupt;
    if (parsed->benchListSeconds > 0) {
        // The readings benchmark: the list as the operator opens it, ended
        // as its End button ends it, by Ctrl+C (SIGINT, the moment the
        // benchmark also asks the meter how many records it sent) or after
        // the seconds given.
        const auto end = [&window] {
            frmList* list = window.ListWindow();
            const std::size_t shown = list ? list->Log().Size() : 0;
            if (list) list->cmdEnd_Click();
            std::printf("%zu records shown\n", shown);
            std::fflush(stdout);
            QApplication::exit(list ? 0 : 1);
        };
        if (pipe(benchInterruptPipe) == 0) {
            fcntl(benchInterruptPipe[1], F_SETFL, O_NONBLOCK);
            interrupt = std::make_unique<QSocketNotifier>(benchInterruptPipe[0], QSocketNotifier::Read);
            QObject::connect(interrupt.get(), &QSocketNotifier::activated, &window, end);
            std::signal(SIGINT, OnBenchInterrupt);
        }
        QTimer::singleShot(0, &window, [&window] { window.mnuList_Click(); });
        QTimer::singleShot(parsed->benchListSeconds * 1000, &window, end);
    }
    return QApplication::exec();
}

} // namespace wm
