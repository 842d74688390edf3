#include "wmctl.h"
#include "TraceOutput.h"

#include "Batch.h"
#include "BatchForm.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/Program.h"
#include "app/ProgramFolders.h"
#include "comm/Hex.h"
#include "comm/MeterCommands.h"
#include "platform/qt/QtNodeSockets.h"
#include "platform/qt/QtPlatform.h"
#include "readings/OutputCommands.h"
#include "readings/RecordFramer.h"
#include "readings/ReadingsLog.h"
#include "readings/RecordReceiver.h"
#include "sc/Calibration.h"
#include "sc/SigCond.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "setup/MenuRows.h"
#include "setup/SetupEditor.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"
#include "app/SetupFileCommands.h"
#include "SettingsCommand.h"
#include "ScanCommand.h"

namespace wm {

namespace {

constexpr const char* kUsage =
    "usage: wmctl [--settings FILE] [--port DEVICE] [--node-tries N] [--trace] [--trace-file FILE] COMMAND [ARGS]\n"
    "  --settings FILE  the Settings.SSS to read and rewrite (default: the one in the program's folder,\n"
    "                   or when installed ~/.config/wmsetup/Settings.SSS)\n"
    "  --port DEVICE    serial device to use instead of the one the settings' port number names\n"
    "  --node-tries N   when the settings name an Ethernet node: ask it to call back at most N times,\n"
    "                   4 s apart (default 10)\n"
    "  --trace          print every frame sent and received and each exchange's end status, one traffic\n"
    "                   line each (time, tx/rx/end, hex, text), on standard error\n"
    "  --trace-file FILE  the same lines to FILE, written as they come\n"
    "  --port DEVICE@N  the meter with address N on DEVICE (Custom ASCII 0-31, Modbus 1-255)\n"
    "  get -o FOLDER --port P --port P... [--jobs N]\n"
    "  put FILE [--yes] --port P --port P... [--jobs N]\n"
    "                   the same on the meter of each port, N at a time (default: all at once); get\n"
    "                   saves FOLDER/<device name>.WT; prints a summary (port, result, status, time)\n"
    "  get -o FILE      Get Setup, save the image as a setup file; prints the status line text\n"
    "  put FILE [--yes] open the setup file, then Put Setup; the signal-conditioner mismatch question\n"
    "                   is answered No unless --yes\n"
    "  show FILE [--json]  decode a setup file: one line per field (name, code, shown text)\n"
    "  menu FILE [--json]  the setup file as the meter's front-panel menu shows it: one line per row\n"
    "                   (grid, label, the six display positions), grid by grid as the menu view shows them\n"
    "  set FILE NAME=VALUE... [-o OUT]  change fields by the names show prints, with the setup pages'\n"
    "                   rules (a list: its text as shown or its code; a number: as entered on the\n"
    "                   front panel), then write OUT (default FILE); nothing is written on an error\n"
    "  diff A B [--json]   the fields whose values differ: name, A's text, B's text; exit 1 when\n"
    "                   some differ\n"
    "  default -o FILE  save the default setup\n"
    "  command NAME     meter-reset | function-reset | alarm-reset | peak-reset | tare-reset\n"
    "  read NAME        gross | net | peak (prints the reading as the commands window shows it)\n"
    "  sctype [dc|lc]   print the SigCondType verdict, or force the type\n"
    "  calib-words [--json]  print the calibration word of every range of the signal conditioner\n"
    "                   (Custom ASCII only; writes nothing)\n"
    "  stream [-n N] [--setup SETUPFILE] [--json | --csv]  start the meter's continuous output, print\n"
    "                   each record the readings list would show on its own line, then stop the output:\n"
    "                   after N records, or at Ctrl+C; the record characters come from SETUPFILE, else\n"
    "                   from a Get Setup (Custom ASCII on a serial line only; exit 1 when no record\n"
    "                   comes for 10 s)\n"
    "  settings [OPTIONS]  write Settings.SSS from options: port or device, protocol, baud rate, addresses,\n"
    "                   node (wmctl settings --help lists them)\n"
    "  scan [--quick] [--write]  find the meter: ask for the gross reading at each baud rate, protocol,\n"
    "                   parity and address in turn until it answers, and print the link found;\n"
    "                   --quick tries only the common baud rates and the first addresses; --write\n"
    "                   writes Settings.SSS for it (exit 1 when nothing answers, or at Ctrl+C)\n"
    "When Settings.SSS line 2 names an Ethernet node, the commands that talk to the meter reach it\n"
    "through the node; a node that never calls back fails them with exit status 1.\n"
    "Exit status: 0 done; 1 the meter exchange failed; 2 bad arguments or unreadable input.\n";

constexpr const char* kStreamNeedsSerialText =
    "the meter's continuous output is read from a serial port; through the Ethernet node the readings "
    "list, plot and graph are not available";

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "wmctl: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

struct Options {
    std::string settings;
    std::string port;                 // the device of the last --port
    std::optional<int> address;       // the meter's address on it, from DEVICE@N
    std::vector<std::string> ports;   // every --port as given
    int jobs = 0;                     // --jobs; 0: not given
    bool batchJob = false;            // one meter's job of a batch: end with the job line
    int nodeTries = 10;
    bool trace = false;
    std::string traceFile;
    std::vector<std::string> rest; // command and its arguments
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& problem) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // A get or put may name its ports after the command too.
        const bool batchOption = a == "--port" || a == "--jobs";
        if (!o.rest.empty() && !(batchOption && (o.rest[0] == "get" || o.rest[0] == "put"))) {
            o.rest.push_back(a);
        } else if (a == "--settings" || a == "--port" || a == "--trace-file") {
            if (i + 1 >= args.size()) {
                problem = a + " needs a value";
                return std::nullopt;
            }
            // An empty path would silently mean "no override" and reach
            // whatever port the settings name.
            if (args[i + 1].empty()) {
                problem = a == "--port" ? "--port needs a device path" : a + " needs a file name";
                return std::nullopt;
            }
            if (a == "--trace-file") {
                o.traceFile = args[++i];
                continue;
            }
            if (a == "--settings") {
                o.settings = args[++i];
                continue;
            }
            const std::optional<PortArg> port = ParsePortArg(args[++i], problem);
            if (!port) return std::nullopt;
            o.port = port->device;
            o.address = port->address;
            o.ports.push_back(args[i]);
        } else if (a == "--jobs") {
            const std::string value = i + 1 < args.size() ? args[++i] : std::string();
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), o.jobs);
            if (value.empty() || ec != std::errc() || end != value.data() + value.size() || o.jobs < 1 || o.jobs > 100) {
                problem = "--jobs needs a number from 1 to 100";
                return std::nullopt;
            }
        } else if (a == "--batch-job") {
            o.batchJob = true;
        } else if (a == "--node-tries") {
            const std::string value = i + 1 < args.size() ? args[++i] : std::string();
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), o.nodeTries);
            if (value.empty() || ec != std::errc() || end != value.data() + value.size() || o.nodeTries < 1 ||
                o.nodeTries > 100) {
                problem = "--node-tries needs a number from 1 to 100";
                return std::nullopt;
            }
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "-h" || a == "--help") {
            problem.clear();
            return std::nullopt;
        } else if (!a.empty() && a[0] == '-') {
            problem = "unknown option " + a;
            return std::nullopt;
        } else {
            o.rest.push_back(a);
        }
    }
    if (o.rest.empty()) {
        problem = "no command given";
        return std::nullopt;
    }
    return o;
}

// Where this run's settings and help are: beside the program, or when
// installed in the user's configuration folder; --settings and --port
// override.
ProgramPaths WmctlPaths(const Options& o, const std::string& programDir) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const ProgramFolders folders = FindProgramFolders(programDir, FolderEnvironment{xdg ? xdg : "", home ? home : ""});
    return MakeProgramPaths(folders, o.settings, o.port);
}

// The command-line program's platform: the real serial port, the node's
// sockets and the clock, and a console operator. Everything lives as long as
// one run.
struct Console {
    QtClock clock;
    QtEventPump pump;
    QtSerialPort port{pump};
    QtNodeSockets sockets{pump};
    ConsoleOperator op;
    std::unique_ptr<Program> program;
    // What a batch's job reports: the transfer's status, a Put abandoned.
    std::optional<int> jobStatus;
    bool jobAbandoned = false;
    // The Ethernet window's one-second timer: the keep-alive while a command runs.
    QTimer nodeTimer;

    Console(const Options& o, const std::string& programDir) {
        program = std::make_unique<Program>(Platform{port, clock, pump, op}, WmctlPaths(o, programDir));
        if (o.address) program->conn.OverrideAddress(*o.address);
        program->AttachNode(sockets);
        program->node->attempts = o.nodeTries;
        nodeTimer.setInterval(1000);
        QObject::connect(&nodeTimer, &QTimer::timeout, [this] { program->node->TimerTick(); });
    }
};

// Opens the link for a command that talks to the meter; through the node,
// waits for its call. Returns 0, or the exit status after saying why not.
// The continuous output is read from the serial port itself, so a command
// that reads it needs the serial link, as the main window's Readings menu does.
int OpenMeterLink(Console& c, bool serialOnly = false) {
    c.program->StartUp();
    if (c.op.endRequested) return 2;
    const LinkState& link = c.program->link;
    if (!link.SettingsUsable) return 2;
    if (link.PortType == 0) {
        if (link.Problem.empty())
            std::fprintf(stderr, "wmctl: the settings say there is no serial port (port type 0)\n");
        return 2;
    }
    if (link.EthernetLink == 1 && serialOnly) {
        std::fprintf(stderr, "wmctl: %s\n", kStreamNeedsSerialText);
        return 2;
    }
    if (link.EthernetLink == 1) {
        // A node that never calls is told as the desktop program tells it
        // (the operator prints the message); the settings are written back.
        if (c.program->node->BuildLink() != NodeConnection::Outcome::Connected) return 1;
        c.nodeTimer.start();
    }
    return 0;
}

int Finish(Console& c, int code) {
    c.nodeTimer.stop();
    c.program->node->Close();
    if (c.program->platform.port.IsOpen()) c.program->conn.ClosePort();
    return code;
}

int RunCommandOrRead(Console& c, const std::vector<std::string>& rest, bool reading) {
    if (rest.size() != 2) return Usage(rest[0] + " needs exactly one NAME");
    const MeterCommand* command = FindMeterCommand(rest[1]);
    if (command == nullptr || command->isReading != reading) return Usage("unknown " + rest[0] + " name " + rest[1]);
    if (const int code = OpenMeterLink(c)) return code;
    const CommandOutcome out = RunMeterCommand(*c.program, *command);
    if (!out.succeeded) {
        std::fprintf(stderr, "wmctl: %s (%s)\n", out.caption.c_str(), out.cause.c_str());
        return Finish(c, 1);
    }
    if (reading) {
        std::printf("%s\n", out.reading.value_or("").c_str());
    } else {
        std::printf("%s\n", out.caption.c_str());
    }
    return Finish(c, 0);
}

// "-o FILE" after the command name.
std::optional<std::string> OutputFile(const std::vector<std::string>& rest) {
    if (rest.size() == 3 && rest[1] == "-o" && !rest[2].empty()) return rest[2];
    return std::nullopt;
}

int RunDefault(Console& c, const std::vector<std::string>& rest) {
    const std::optional<std::string> file = OutputFile(rest);
    if (!file) return Usage("default needs -o FILE");
    DefaultData(*c.program);
    const std::string problem = WriteSetupFile(*c.program, *file);
    if (!problem.empty()) {
        std::fprintf(stderr, "wmctl: %s\n", problem.c_str());
        return 2;
    }
    return 0;
}

// The setup a file holds, or nothing after saying why on standard error.
std::optional<SetupImage> ReadImage(const std::string& file) {
    const SetupFileText text = ReadSetupFile(file);
    if (!text.problem.empty()) {
        std::fprintf(stderr, "wmctl: %s: %s\n", file.c_str(), text.problem.c_str());
        return std::nullopt;
    }
    SetupImage image;
    image.text = text.image;
    return image;
}

int RunShow(const std::vector<std::string>& rest) {
    const bool json = rest.size() == 3 && rest[2] == "--json";
    if (rest.size() != 2 && !json) return Usage("show needs FILE [--json]");
    const std::optional<SetupImage> read = ReadImage(rest[1]);
    if (!read) return 2;
    const SetupImage& image = *read;
    if (json) {
        std::printf("%s\n", DescribeSetupJson(image).c_str());
        return 0;
    }
    for (const FieldRow& row : DescribeSetup(image)) std::printf("%s\n", FormatFieldRow(row).c_str());
    return 0;
}

int RunMenu(const std::vector<std::string>& rest) {
    const bool json = rest.size() == 3 && rest[2] == "--json";
    if (rest.size() != 2 && !json) return Usage("menu needs FILE [--json]");
    const std::optional<SetupImage> read = ReadImage(rest[1]);
    if (!read) return 2;
    const SetupImage& image = *read;
    // As when the file is opened in the program: a file of the main block
    // alone has revision 0.
    const int revision = FieldCode(image, FieldNamed("Revision"));
    const DerivedSetup derived = DeriveSetup(image);
    if (derived.ScType != ScTypeDC && derived.ScType != ScTypeLoadCell)
        std::fprintf(stderr, "wmctl: %s: the signal-conditioner type %s is neither DC nor load cell\n",
                     rest[1].c_str(), derived.ScTypeText.c_str());
    const std::vector<MenuRow> rows = BuildMenuRows(image, derived, revision);
    if (json) {
        std::printf("%s\n", MenuRowsJson(rows).c_str());
        return 0;
    }
    for (const MenuRow& row : rows) std::printf("%s\n", FormatMenuRow(row).c_str());
    return 0;
}

int RunSet(Console& c, const std::vector<std::string>& rest) {
    std::string file, out;
    std::vector<std::pair<std::string, std::string>> edits;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        if (a == "-o") {
            if (i + 1 >= rest.size() || rest[i + 1].empty()) return Usage("set: -o needs a file name");
            out = rest[++i];
        } else if (file.empty()) {
            file = a;
        } else {
            const std::size_t eq = a.find('=');
            if (eq == std::string::npos || eq == 0) return Usage("set: " + a + " is not NAME=VALUE");
            edits.emplace_back(a.substr(0, eq), a.substr(eq + 1));
        }
    }
    if (file.empty() || edits.empty()) return Usage("set needs FILE NAME=VALUE... [-o OUT]");
    if (out.empty()) out = file;
    std::optional<SetupImage> image = ReadImage(file);
    if (!image) return 2;

    // The meter the setup came from, as far as the file tells: its revision
    // and family decide what page 3 offers; the parity and time-out the file
    // holds stand in for the link's.
    LinkState link;
    link.MeterRevision = FieldCode(*image, FieldNamed("Revision"));
    link.MeterFamily = FieldCode(*image, FieldNamed("Family"));
    link.ParityCode = FieldCode(*image, FieldNamed("Parity"));
    link.ModbusTimeoutChoice = FieldCode(*image, FieldNamed("MBTimeout"));
    link.SerialMode = FieldCode(*image, FieldNamed("SerProtocol"));
    DerivedSetup derived = DeriveSetup(*image);
    SetupEditor editor(*image, derived, link);
    for (const auto& [name, value] : edits) {
        const EditResult result = editor.SetField(name, value);
        if (!result.ok) {
            std::fprintf(stderr, "wmctl: %s; nothing written\n", Printable(result.problem).c_str());
            return 2;
        }
    }
    c.program->setup = *image;
    c.program->SetupFileLine2 = std::string(DefaultSetupFileLine2);
    const std::string problem = WriteSetupFile(*c.program, out);
    if (!problem.empty()) {
        std::fprintf(stderr, "wmctl: %s\n", problem.c_str());
        return 2;
    }
    return 0;
}

int RunDiff(const std::vector<std::string>& rest) {
    const bool json = rest.size() == 4 && rest[3] == "--json";
    if (rest.size() != 3 && !json) return Usage("diff needs A B [--json]");
    const std::optional<SetupImage> a = ReadImage(rest[1]);
    const std::optional<SetupImage> b = ReadImage(rest[2]);
    if (!a || !b) return 2;
    const std::vector<FieldChange> changes = CompareSetups(*a, *b);
    if (json) {
        std::printf("%s\n", FieldChangesJson(changes).c_str());
    } else {
        for (const FieldChange& change : changes) std::printf("%s\n", FormatFieldChange(change).c_str());
    }
    return changes.empty() ? 0 : 1;
}

int RunGet(Console& c, const std::vector<std::string>& rest) {
    const std::optional<std::string> file = OutputFile(rest);
    if (!file) return Usage("get needs -o FILE");
    if (const int code = OpenMeterLink(c)) return code;
    const GetResult result = GetFromMeter(*c.program);
    c.jobStatus = result.status;
    std::printf("%s\n", c.op.status.c_str());
    if (!result.ok()) {
        std::fprintf(stderr, "wmctl: %s\n", DescribeGetFailure(result).c_str());
        return Finish(c, 1);
    }
    if (result.endProgram || c.op.endRequested) {
        std::fprintf(stderr, "wmctl: the signal-conditioner type is corrupt; nothing saved (see: wmctl sctype)\n");
        return Finish(c, 1);
    }
    const std::string problem = WriteSetupFile(*c.program, *file);
    if (!problem.empty()) {
        std::fprintf(stderr, "wmctl: %s\n", problem.c_str());
        return Finish(c, 2);
    }
    return Finish(c, 0);
}

int RunPut(Console& c, const std::vector<std::string>& rest) {
    const bool yes = rest.size() == 3 && rest[2] == "--yes";
    if (rest.size() != 2 && !yes) return Usage("put needs FILE [--yes]");
    // The signal-conditioner mismatch question is answered from --yes,
    // every other box with its default.
    c.op.policy = [yes](const MessageBox& box) {
        if (box.id == MessageId::SCMismatch) return yes ? Answer::Yes : Answer::No;
        return box.defaultAnswer;
    };
    // The file is read and checked before the port is opened: a bad file
    // must not cost an exchange with the meter.
    if (!ReadImage(rest[1])) return 2;
    if (const int code = OpenMeterLink(c)) return code;
    if (!LoadSetupFile(*c.program, rest[1])) return Finish(c, 2);
    const PutResult result = PutToMeter(*c.program).put;
    c.jobStatus = result.status;
    c.jobAbandoned = result.abandoned || result.endProgram;
    if (result.abandoned || result.endProgram) {
        std::fprintf(stderr, "wmctl: Put abandoned, nothing was written\n");
        return Finish(c, 1);
    }
    std::printf("%s\n", c.op.status.c_str());
    if (!result.ok()) {
        std::fprintf(stderr, "wmctl: %s\n", DescribePutFailure(result).c_str());
        return Finish(c, 1);
    }
    return Finish(c, 0);
}

int RunSCType(Console& c, const std::vector<std::string>& rest) {
    if (rest.size() > 2 || (rest.size() == 2 && rest[1] != "dc" && rest[1] != "lc"))
        return Usage("sctype takes nothing, dc or lc");
    if (const int code = OpenMeterLink(c)) return code;
    if (rest.size() == 1) {
        const SCTypeReport report = ReadSCType(*c.program);
        for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());
        return Finish(c, report.succeeded ? 0 : 1);
    }
    const SCRestoreReport report =
        RestoreSCTypeOnMeter(*c.program, rest[1] == "dc" ? SCBoard::DC : SCBoard::LoadCell);
    for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());
    if (!report.succeeded) {
        const std::string why = report.status != 0
                                    ? StatusMeaning(report.status) + " (status " + std::to_string(report.status) + ")"
                                    : std::string("the meter's reply could not be used");
        std::fprintf(stderr, "wmctl: the signal-conditioner type was not confirmed: %s\n", why.c_str());
        return Finish(c, 1);
    }
    return Finish(c, 0);
}

// The calibration words, for audits: read only, never a write.
int RunCalibWords(Console& c, const std::vector<std::string>& rest) {
    const bool json = rest.size() == 2 && rest[1] == "--json";
    if (rest.size() != 1 && !json) return Usage("calib-words takes nothing or --json");
    if (const int code = OpenMeterLink(c)) return code;
    if (c.program->link.UseModbus != 0) {
        std::fprintf(stderr, "wmctl: %s\n", kCalibNeedsAscii);
        return Finish(c, 2);
    }
    const CalibWordsResult result = ReadCalibWords(*c.program);
    if (result.invalidBoard) {
        std::fprintf(stderr, "wmctl: %s\n", kInvalidSCText);
        return Finish(c, 1);
    }
    if (result.failure) {
        const CalibFailure& f = *result.failure;
        const std::string what = result.failedRange.empty() ? std::string("the board type (") + f.exchange + ")"
                                                            : "range " + result.failedRange + " (" + f.exchange + ")";
        const std::string why = f.status != status::Ok
                                    ? StatusMeaning(f.status) + " (status " + std::to_string(f.status) + ")"
                                    : "the reply " + JsonString(f.reply) + " is not a word (status 0)";
        std::fprintf(stderr, "wmctl: reading the calibration word of %s failed: %s\n", what.c_str(), why.c_str());
        return Finish(c, 1);
    }
    if (json) {
        std::string out = "[";
        for (std::size_t i = 0; i < result.words.size(); ++i) {
            const CalibWord& w = result.words[i];
            out += (i == 0 ? "" : ",") + std::string("\n  {\"range\": ") + JsonString(w.range) +
                   ", \"address\": " + JsonString(w.address) + ", \"word\": " + JsonString(w.word) + "}";
        }
        std::printf("%s\n]\n", out.c_str());
    } else {
        for (const CalibWord& w : result.words)
            std::printf("%-16s %s %s\n", w.range.c_str(), w.address.c_str(), w.word.c_str());
    }
    return Finish(c, 0);
}

// --- stream ----------------------------------------------------------------

// Ctrl+C (or SIGTERM) while the meter streams: the handler only marks the
// request and writes a byte to a pipe whose read end wakes the wait on the
// port, so the stop command goes out at once.
volatile std::sig_atomic_t streamInterrupted = 0;
int interruptPipe[2] = {-1, -1};

void OnStreamInterrupt(int) {
    streamInterrupted = 1;
    if (interruptPipe[1] >= 0) {
        const char byte = 'x';
        const ssize_t written = write(interruptPipe[1], &byte, 1);
        (void)written; // a full pipe already holds a wake-up
    }
}

enum class StreamForm { Plain, Json, Csv };

struct StreamArgs {
    int limit = 0; // 0: until interrupted
    std::string setupFile;
    StreamForm form = StreamForm::Plain;
};

std::optional<StreamArgs> ParseStreamArgs(const std::vector<std::string>& rest, std::string& problem) {
    StreamArgs a;
    bool formGiven = false;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (arg == "-n" || arg == "--setup") {
            if (i + 1 >= rest.size() || rest[i + 1].empty()) {
                problem = "stream: " + arg + " needs a value";
                return std::nullopt;
            }
            const std::string& value = rest[++i];
            if (arg == "--setup") {
                a.setupFile = value;
                continue;
            }
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), a.limit);
            if (ec != std::errc() || end != value.data() + value.size() || a.limit < 1) {
                problem = "stream: -n needs a whole number of records, 1 or more";
                return std::nullopt;
            }
        } else if (arg == "--json" || arg == "--csv") {
            if (formGiven) {
                problem = "stream: give one of --json and --csv";
                return std::nullopt;
            }
            formGiven = true;
            a.form = arg == "--json" ? StreamForm::Json : StreamForm::Csv;
        } else {
            problem = "stream: unknown argument " + arg;
            return std::nullopt;
        }
    }
    return a;
}

// The record without the line end that closed it: the end character when it
// is a carriage return or line feed, and the carriage return of a CR LF pair
// (the meter set to include a line feed ends its records with both).
// Writes one line to standard output at once, so a reader sees each record
// as it comes; false when standard output is gone (a closed pipe).
bool PrintLine(const std::string& line) {
    const std::string text = line + "\n";
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// Sends the readings list's start or stop command, as the list does: no
// reply is read.
bool SendOutputCommand(Console& c, bool start) {
    MeterLink& meter = *c.program;
    return (start ? StartContinuousOutput(meter) : StopContinuousOutput(meter)) != status::DeviceGone;
}

int RunStream(Console& c, const std::vector<std::string>& rest) {
    std::string problem;
    const std::optional<StreamArgs> args = ParseStreamArgs(rest, problem);
    if (!args) return Usage(problem);
    // A setup file is read before the port is opened: a bad file costs no
    // exchange with the meter.
    std::optional<SetupImage> fileImage;
    if (!args->setupFile.empty()) {
        fileImage = ReadImage(args->setupFile);
        if (!fileImage) return 2;
    }
    if (const int code = OpenMeterLink(c, true)) return code;
    if (c.program->link.UseModbus != 0) {
        std::fprintf(stderr, "wmctl: %s\n", kListNeedsAscii);
        return Finish(c, 2);
    }
    RecordCharacters chars;
    if (fileImage) {
        chars = ChooseRecordCharacters(*fileImage, FieldCode(*fileImage, FieldNamed("Revision")));
    } else {
        const GetResult got = GetFromMeter(*c.program);
        if (!got.ok()) {
            std::fprintf(stderr, "wmctl: %s\n", DescribeGetFailure(got).c_str());
            return Finish(c, 1);
        }
        chars = ChooseRecordCharacters(c.program->setup, c.program->link.MeterRevision);
    }

    if (pipe(interruptPipe) != 0) {
        std::fprintf(stderr, "wmctl: cannot watch for Ctrl+C\n");
        return Finish(c, 1);
    }
    fcntl(interruptPipe[1], F_SETFL, O_NONBLOCK);
    auto interruptNotifier = std::make_unique<QSocketNotifier>(interruptPipe[0], QSocketNotifier::Read);
    QObject::connect(interruptNotifier.get(), &QSocketNotifier::activated, [&c] {
        char drained[16];
        const ssize_t n = read(interruptPipe[0], drained, sizeof drained);
        (void)n;
        c.pump.Wake();
    });
    struct sigaction action{};
    action.sa_handler = OnStreamInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that goes away (| head) must not kill wmctl before the meter
    // is told to stop.
    std::signal(SIGPIPE, SIG_IGN);
    const auto cleanUp = [&] {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        interruptNotifier.reset();
        close(interruptPipe[0]);
        close(interruptPipe[1]);
        interruptPipe[0] = interruptPipe[1] = -1;
    };

    if (args->form == StreamForm::Csv && !PrintLine("ms,record")) {
        cleanUp();
        return Finish(c, 1);
    }
    if (!SendOutputCommand(c, true)) {
        std::fprintf(stderr, "wmctl: the serial device went away\n");
        cleanUp();
        return Finish(c, 1);
    }

    constexpr std::uint32_t SilenceLimitMs = 10'000;
    SerialPortControl& port = c.program->platform.port;
    RecordReceiver receiver(port, c.program->platform.pump, c.program->platform.clock);
    if (c.program->traffic.Listening()) receiver.tap = [&c](const std::string& bytes, std::uint32_t tick) {
        c.program->txn.trace("rx", bytes, tick);
    };
    RecordFramer framer(chars);
    std::optional<std::uint32_t> firstShownMs;
    std::uint32_t lastShownMs = c.program->platform.clock.TickMs();
    int shown = 0;
    int code = 0;
    std::string why;
    const auto interrupted = [] { return streamInterrupted != 0; };
    while (args->limit == 0 || shown < args->limit) {
        // Bytes that never make a record (a wrong end character, a wrong
        // baud rate) do not keep the run alive.
        const ReceivedRecord got = receiver.Next(framer, interrupted, SilenceLimitMs, lastShownMs);
        if (got.outcome == ReceivedRecord::Outcome::Stopped) break;
        if (got.outcome == ReceivedRecord::Outcome::Gone) {
            why = "the serial device went away";
            code = 1;
            break;
        }
        if (got.outcome == ReceivedRecord::Outcome::Quiet) {
            why = "no record came for 10 s";
            code = 1;
            break;
        }
        const std::uint32_t now = got.tickMs;
        lastShownMs = now;
        if (!firstShownMs) firstShownMs = now;
        std::string line;
        switch (args->form) {
        case StreamForm::Plain: line = PlainRecord(got.record); break;
        case StreamForm::Json: line = JsonString(got.record); break;
        case StreamForm::Csv: line = std::to_string(now - *firstShownMs) + "," + CsvField(PlainRecord(got.record)); break;
        }
        if (!PrintLine(line)) {
            why = "standard output is closed";
            code = 1;
            break;
        }
        ++shown;
    }
    if (!port.Gone() && !SendOutputCommand(c, false)) {
        if (why.empty()) why = "the serial device went away before the stop command";
        code = 1;
    }
    if (!why.empty()) std::fprintf(stderr, "wmctl: %s; the continuous output was %s\n", why.c_str(),
                                   port.Gone() ? "not stopped" : "stopped");
    cleanUp();
    return Finish(c, code);
}

} // namespace

int RunWmctl(const std::vector<std::string>& args, const std::string& programDir) {
    std::string problem;
    const std::optional<Options> parsed = ParseOptions(args, problem);
    if (!parsed) return Usage(problem);
    const Options& o = *parsed;
    const std::string& name = o.rest[0];
    if (o.ports.size() > 1 || o.jobs > 0) {
        // Each job's trace goes with its messages; one file for all would mix them.
        if (!o.traceFile.empty()) return Usage("--trace-file traces one meter; use --trace with more than one port");
        return RunBatch({WmctlPaths(o, programDir).settingsFile.string(), programDir, o.trace, o.ports, o.jobs, o.rest});
    }
    TraceOutput trace;
    if (!trace.Open(o.trace, o.traceFile, problem)) {
        std::fprintf(stderr, "wmctl: %s\n", problem.c_str());
        return 2;
    }
    Console c(o, programDir);
    trace.Attach(*c.program);
    if (o.batchJob) {
        const int code = name == "get" ? RunGet(c, o.rest) : name == "put" ? RunPut(c, o.rest) : Usage("");
        std::printf("%s\n", JobLine(c.jobStatus, c.jobAbandoned).c_str());
        return code;
    }
    if (name == "command") return RunCommandOrRead(c, o.rest, false);
    if (name == "read") return RunCommandOrRead(c, o.rest, true);
    if (name == "show") return RunShow(o.rest);
    if (name == "menu") return RunMenu(o.rest);
    if (name == "set") return RunSet(c, o.rest);
    if (name == "diff") return RunDiff(o.rest);
    if (name == "default") return RunDefault(c, o.rest);
    if (name == "get") return RunGet(c, o.rest);
    if (name == "put") return RunPut(c, o.rest);
    if (name == "sctype") return RunSCType(c, o.rest);
    if (name == "calib-words") return RunCalibWords(c, o.rest);
    if (name == "stream") return RunStream(c, o.rest);
    if (name == "settings") return RunSettingsCommand(o.rest, c.program->paths.settingsFile);
    if (name == "scan") return RunScan(*c.program, c.pump, o.rest);
    return Usage("unknown command " + name);
}

} // namespace wm
