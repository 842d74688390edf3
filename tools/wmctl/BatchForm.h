#pragma once
// The parts of wmctl's runs on many meters that are plain text: a port as
// named on the command line (a device, perhaps with the meter's address), the
// file a batch Get writes for a port, the line a job reports its outcome on,
// and the summary table. Standard library only, so the tests check them
// without a meter.
#include <optional>
#include <string>
#include <vector>

namespace wm {

// "--port /dev/ttyUSB0@3": the meter with address 3 on /dev/ttyUSB0 (the
// meter address in Custom ASCII, the Modbus address in Modbus; whether the
// number fits the protocol is checked once the settings are read). Only a
// tail of digits after the last '@' is an address: any other '@' belongs to
// the device's name.
struct PortArg {
    std::string device;
    std::optional<int> address;
};
// Nothing, with the problem, for an empty device or an address above 255.
[[nodiscard]] std::optional<PortArg> ParsePortArg(const std::string& text, std::string& problem);

// The setup file a batch Get writes for a device: its last name component
// with ".WT" ("/dev/ttyUSB0" -> "ttyUSB0.WT"). Empty when the device's name
// ends in nothing usable ("/", "..").
[[nodiscard]] std::string SetupFileNameForDevice(const std::string& device);

// How one meter's job ended, as the summary shows it.
enum class JobResult {
    Ok,          // done (exit status 0)
    Failed,      // the exchange with the meter failed
    Abandoned,   // Put: answered No at the signal-conditioner question; nothing written
    Error,       // could not start on the meter: the port, the settings or a file (exit status 2)
    Killed,      // ended by a signal, or ran past the job's time bound
    Interrupted, // stopped by Ctrl+C
    NotRun,      // never started: interrupted before its turn
};
[[nodiscard]] const char* JobResultText(JobResult result);

// The last line a job's wmctl writes on standard output when the batch runs
// it (hidden option --batch-job): the transfer's status code, or "-" when no
// transfer ran, and "abandoned" when a Put was abandoned.
[[nodiscard]] std::string JobLine(std::optional<int> status, bool abandoned);
struct JobReport {
    std::optional<int> status;
    bool abandoned = false;
};
// Takes the job line out of a job's standard output; nothing when none is
// there (the job ended before it could say).
[[nodiscard]] std::optional<JobReport> TakeJobLine(std::string& output);
// The result from the job's exit (nothing: no exit status, it was killed)
// and its report.
[[nodiscard]] JobResult JobResultOf(std::optional<int> exitCode, const std::optional<JobReport>& report);

struct JobRow {
    std::string port; // as named on the command line
    JobResult result = JobResult::NotRun;
    std::optional<int> status;
    double seconds = 0;
};
// The table the batch prints on standard output: a header line, then one
// line per port in the order they were named, columns padded with blanks:
//   port          result  status   time
//   /dev/ttyUSB0  ok           0  1.9 s
//   /dev/ttyUSB1  failed      21  3.1 s
// A job that ran no transfer shows "-" for its status; one that never ran
// shows "-" for its time too.
[[nodiscard]] std::string FormatSummary(const std::vector<JobRow>& rows);

} // namespace wm
