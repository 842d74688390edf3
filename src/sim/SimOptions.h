#pragma once
// The command line of wmsim, and the lines of its request log. They live in
// the library so that the tests can check them without a pseudo-terminal.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/Fault.h"
#include "sim/Meter.h"
#include "sim/NodeSession.h"

namespace wm::sim {

struct SimOptions {
    int baud = 9600;
    // The meter's parity under Modbus (n, o, e). With the baud rate and the
    // protocol it is the line setting the meter answers at; requests sent
    // with other port settings are not heard (sim/MeterLine.h).
    char parity = 'n';
    Protocol protocol = Protocol::Auto;
    std::optional<char> address;
    std::optional<int> modbusAddress;
    bool echo = false;
    std::optional<std::uint32_t> delayMs;
    std::optional<std::uint32_t> recordMs;
    std::string logFile;
    std::string setupFile;
    std::vector<Fault> faults;
    // Calibration: the input at the terminals (a fraction of the range's
    // calibration input), a file holding that fraction, re-read at every
    // input reading, the reading noise, and words to store at start.
    std::optional<double> appliedInput;
    std::string inputFile;
    std::optional<int> noiseCounts;
    std::vector<std::pair<int, std::uint16_t>> calibWords;
    // The Ethernet node: the IPv4 address whose UDP port it listens on
    // (empty: no node), how it behaves, and an address a stranger's
    // connection comes from before the node calls (empty: none).
    std::string nodeAddress;
    NodeOptions node;
    std::string strangerAddress;
    // Readings that move: the kind, the ramp's range and step, the noise's seed.
    std::optional<Motion> readings;
    std::optional<ReadingsMotion> ramp; // low, high and step
    std::optional<std::uint32_t> seed;
    bool help = false;
};

struct ParsedSimOptions {
    SimOptions options;
    std::string error; // empty when the command line was understood
};

[[nodiscard]] ParsedSimOptions ParseSimOptions(const std::vector<std::string>& args);
[[nodiscard]] std::string SimUsage();

// Sets the meter up as the options say: the setup file's first line over
// the default setup (a shorter line keeps the default's remaining
// characters), then the addresses, behaviour and faults. False with a
// sentence in problem when the setup file cannot be used.
bool ApplySimOptions(const SimOptions& options, Meter& meter, std::string& problem);

// The applied input as a file holds it: a number such as "1", "-1" or "0"
// with blanks or a line end around it; nullopt for anything else.
[[nodiscard]] std::optional<double> ParseAppliedInput(const std::string& text);

// The log's lines for one request, in the traffic format (comm/TrafficLog.h),
// joined by a line feed: an rx line for the request as heard, at the time
// its last byte came, noting the framing, the key faults match ("-" when
// unreadable), heard or ignored and why; then, when the meter answered, a tx
// line at the same time for the whole reply.
[[nodiscard]] std::string FormatLogEntry(const LogEntry& entry);

} // namespace wm::sim
