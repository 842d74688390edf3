#include "gui/main/AppStart.h"

#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "app/Program.h"
#include "gui/main/QtOperator.h"
#include "gui/main/Screenshots.h"
#include "gui/main/frmEther.h"
#include "gui/main/frmMMenu.h"
#include "platform/qt/QtNodeSockets.h"
#include "platform/qt/QtPlatform.h"

namespace wm {

namespace {

constexpr const char* kUsage =
    "usage: wmsetup [--settings FILE] [--port DEVICE] [--screenshots DIR]\n"
    "  --settings FILE     the Settings.SSS to read and rewrite (default: the one in the program's folder)\n"
    "  --port DEVICE       serial device to use instead of the one the settings' port number names\n"
    "  --screenshots DIR   draw every window into PNG files in DIR and end (works without a display)\n";

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
        if (a != "--settings" && a != "--port" && a != "--screenshots") {
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
    // Screenshots are drawn without a display unless one is asked for.
    if (!parsed->screenshots.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName("wmsetup");
    const std::filesystem::path programDir = QApplication::applicationDirPath().toStdString();
    if (!parsed->screenshots.isEmpty()) return RenderScreenshots(parsed->screenshots, programDir);

    QtClock clock;
    QtEventPump pump;
    QtSerialPort port{pump};
    QtNodeSockets sockets{pump};
    QtOperator op;
    ProgramPaths paths;
    paths.programDir = programDir;
    paths.settingsFile =
        parsed->settings.empty() ? programDir / "Settings.SSS" : std::filesystem::path(parsed->settings);
    paths.portOverride = parsed->port;
    Program program(Platform{port, clock, pump, op}, paths);
    program.AttachNode(sockets);

    program.StartUp();
    if (op.EndRequested()) return 1; // the settings name another instrument

    frmMMenu window(program, op);
    QObject::connect(&window, &frmMMenu::programEnded, &app, &QApplication::quit, Qt::QueuedConnection);
    if (program.link.EthernetLink == 1) {
        // The Ethernet window asks the node to call and shows the main
        // window once it has; it stays loaded for its timer.
        frmEther ether(program, window);
        QObject::connect(&ether, &frmEther::programEnded, &app, [] { QApplication::exit(1); }, Qt::QueuedConnection);
        ether.show();
        return QApplication::exec();
    }
    window.show();
    return QApplication::exec();
}

} // namespace wm
