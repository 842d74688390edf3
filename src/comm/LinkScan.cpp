#include "comm/LinkScan.h"

#include <algorithm>
#include <array>

#include "comm/Connection.h"
#include "comm/MeterCommands.h"
#include "comm/Tables.h"

namespace wm {

namespace {

// Baud indices: the common rates first, then the rest from the fastest
// (the quickest to try) down.
constexpr std::array<int, 3> kCommonBauds = {5, 6, 7};       // 9600, 19200, 38400
constexpr std::array<int, 5> kOtherBauds = {4, 3, 2, 1, 0};   // 4800 .. 300

// Protocol and parity: Custom ASCII (always 8,n,1), then each Modbus
// framing with no parity (the program's default), even (Modbus's own
// default), odd. Each pair is one setting of the port.
struct PortFraming {
    int mode;
    int parity;
};
constexpr std::array<PortFraming, 7> kFramings = {{{0, 0}, {1, 0}, {1, 2}, {1, 1}, {2, 0}, {2, 2}, {2, 1}}};

// Custom ASCII addresses are 0-9 then A-V; Modbus slaves 1-247 (248-255
// are reserved by Modbus). Meters are mostly left at the first few.
constexpr int kFirstAddresses = 4;
constexpr int kAsciiAddresses = 32;
constexpr int kLastModbusAddress = 247;

char AsciiAddress(int v) { return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10); }

void AddTries(std::vector<ScanLink>& plan, int baud, const PortFraming& f, int firstRank, int endRank) {
    for (int rank = firstRank; rank < endRank; ++rank) {
        ScanLink link;
        link.baudIndex = baud;
        link.serialMode = f.mode;
        link.parityCode = f.parity;
        if (f.mode == 0) {
            link.meterAddress = AsciiAddress(rank);
        } else {
            link.modbusAddress = rank + 1;
        }
        plan.push_back(link);
    }
}

// How long the gross-reading request and its reply are, in characters on
// the line: Custom ASCII "*" address "B3" CR LF, and a reading of at most
// kLongestReading characters with CR LF; Modbus RTU 8 bytes out (slave,
// function, start, count, CRC) and 9 back (slave, function, byte count,
// two registers, CRC); Modbus ASCII the same in hex digits between ":" and
// CR LF, 17 and 19 characters.
struct Lengths {
    std::uint64_t request;
    std::uint64_t reply;
};
Lengths LengthsFor(int serialMode) {
    if (serialMode == 1) return {8, 9};
    if (serialMode == 2) return {17, 19};
    return {6, kLongestReading + 2};
}

// The meter's turnaround: from the end of a request to the first
// character of its answer. The meter answers within a few tens of
// milliseconds (the simulated one after 10 ms); the allowance also covers a
// USB adapter, which delivers characters in packets every 16 ms or so each
// way, and a busy machine's scheduling.
constexpr std::uint32_t kTurnaroundMs = 100;
// The line is quiet before each request for at least this long and four
// character times (more than the 3.5 that end a Modbus RTU frame), so the
// meter starts every try afresh after whatever the last one left on the
// line. The usual 300 ms would add minutes to a full scan for nothing: the
// try before has already kept the line quiet for its whole reply wait.
constexpr std::uint32_t kLeastPauseMs = 20;
// What the reception's bound allows beyond the reply and its quiet gap, for
// the wake-ups of the event loop.
constexpr std::uint32_t kReceiveMarginMs = 20;

// One character on the line in microseconds, rounded up: 11 bit times
// (start, 8 data bits or 7 and a parity bit, parity or a second stop bit,
// stop), the longest frame the meter uses.
std::uint64_t CharUs(int baudIndex) {
    const std::uint64_t baud = std::stoul(std::string(BaudRates[static_cast<std::size_t>(baudIndex)]));
    return (11'000'000 + baud - 1) / baud;
}

std::uint32_t CeilMs(std::uint64_t us) { return static_cast<std::uint32_t>((us + 999) / 1000); }

const std::string kSerialLine2 = std::string(29, '0');

bool UsableLine1(const std::string& line1) {
    LinkState probe;
    return DeriveLinkState(line1, kSerialLine2, probe).empty();
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

} // namespace

std::vector<ScanLink> ScanPlan(ScanMode mode) {
    std::vector<ScanLink> plan;
    for (int baud : kCommonBauds)
        for (const PortFraming& f : kFramings) AddTries(plan, baud, f, 0, kFirstAddresses);
    if (mode == ScanMode::Quick) return plan;
    for (int baud : kOtherBauds)
        for (const PortFraming& f : kFramings) AddTries(plan, baud, f, 0, kFirstAddresses);
    for (int baud : kCommonBauds) AddTries(plan, baud, kFramings[0], kFirstAddresses, kAsciiAddresses);
    for (int baud : kOtherBauds) AddTries(plan, baud, kFramings[0], kFirstAddresses, kAsciiAddresses);
    for (int baud : kCommonBauds)
        for (std::size_t i = 1; i < kFramings.size(); ++i)
            AddTries(plan, baud, kFramings[i], kFirstAddresses, kLastModbusAddress);
    return plan;
}

// The reply wait is the request's own time on the line (the wait starts
// when it is written), the meter's turnaround and the first character of
// the answer; once that has come, the rest of the longest answer, the
// transaction layer's quiet gap that ends it, and a margin. Anything still
// arriving then is not the meter's answer to this request.
Transaction::ReplyTimes ScanReplyTimes(const ScanLink& link) {
    const std::uint64_t c = CharUs(link.baudIndex);
    const Lengths len = LengthsFor(link.serialMode);
    LinkState state;
    (void)DeriveLinkState(ScanSettingsLine1(link, kScanDefaultLine1), kSerialLine2, state);
    Transaction::ReplyTimes t;
    t.pauseBeforeSendMs = std::max(kLeastPauseMs, CeilMs(4 * c));
    t.firstCharacterMs = CeilMs((len.request + 1) * c) + kTurnaroundMs;
    t.settleMs = CeilMs(len.reply * c);
    t.receiveLimitMs = t.settleMs + Transaction::QuietGapMs(state.CharTimeMs) + kReceiveMarginMs;
    return t;
}

std::uint32_t TryBoundMs(const ScanLink& link) {
    const Transaction::ReplyTimes t = ScanReplyTimes(link);
    return t.pauseBeforeSendMs + t.firstCharacterMs + t.receiveLimitMs;
}

ScanDuration ScanTime(ScanMode mode) {
    ScanDuration d;
    for (const ScanLink& link : ScanPlan(mode)) {
        const Transaction::ReplyTimes t = ScanReplyTimes(link);
        d.longestMs += t.pauseBeforeSendMs + t.firstCharacterMs + t.receiveLimitMs;
        d.silentMs += t.pauseBeforeSendMs + t.firstCharacterMs;
        ++d.tries;
    }
    return d;
}

std::string DescribeScanStep(const ScanLink& link) {
    static constexpr std::array<const char*, 3> protocols = {"Custom ASCII", "Modbus RTU", "Modbus ASCII"};
    static constexpr std::array<const char*, 3> parities = {"none", "odd", "even"};
    std::string text = protocols[static_cast<std::size_t>(std::clamp(link.serialMode, 0, 2))];
    text += ", " + std::string(BaudRates[static_cast<std::size_t>(std::clamp(link.baudIndex, 0, 7))]) + " baud";
    text += ", parity " + std::string(parities[static_cast<std::size_t>(std::clamp(link.parityCode, 0, 2))]);
    return text;
}


std::string DescribeScanLink(const ScanLink& link) {
    const std::string text = DescribeScanStep(link);
    if (link.serialMode == 0) return text + ", address " + std::string(1, link.meterAddress);
    return text + ", slave " + std::to_string(link.modbusAddress);
}

std::string ScanSettingsLine1(const ScanLink& link, const std::string& baseLine1) {
    std::string line = UsableLine1(baseLine1) ? baseLine1 : std::string(kScanDefaultLine1);
    if (line.size() == 16) line += "0";
    line[1] = static_cast<char>('0' + link.baudIndex);
    line[4] = static_cast<char>('0' + link.serialMode);
    line[5] = static_cast<char>('0' + (link.serialMode == 0 ? 0 : link.parityCode));
    if (link.serialMode == 0) {
        line[7] = link.meterAddress;
    } else {
        const std::string digits = std::to_string(link.modbusAddress);
        line.replace(8, 3, std::string(3 - std::min<std::size_t>(3, digits.size()), '0') + digits);
    }
    if (line[15] != '2') line[15] = '1';
    return line;
}

std::string ScanSettingsLine2(const std::string& baseLine2) {
    if (baseLine2.size() < 28 || !std::all_of(baseLine2.begin(), baseLine2.begin() + 28, IsHex)) return kSerialLine2;
    std::string line = baseLine2;
    line.replace(4, 12, std::string(12, '0'));
    return line;
}

LinkSettings WithScanLink(LinkSettings settings, const ScanLink& link) {
    settings.protocol = static_cast<SerialProtocol>(std::clamp(link.serialMode, 0, 2));
    settings.baud = std::stoi(std::string(BaudRates[static_cast<std::size_t>(std::clamp(link.baudIndex, 0, 7))]));
    static constexpr std::array<char, 3> parities = {'n', 'o', 'e'};
    settings.parity = link.serialMode == 0 ? 'n' : parities[static_cast<std::size_t>(std::clamp(link.parityCode, 0, 2))];
    if (link.serialMode == 0)
        settings.address = link.meterAddress;
    else
        settings.modbusAddress = link.modbusAddress;
    settings.node = false;
    settings.nodeMac = std::string(12, '0');
    if (settings.portType == 0) settings.portType = 1;
    return settings;
}

ScanResult ScanForMeter(MeterLink& meter, const ScanOptions& options) {
    ScanResult result;
    if (meter.Busy()) {
        result.problem = "another exchange with the meter is running";
        return result;
    }
    const MeterCommand& gross = *FindMeterCommand("gross");
    SerialPortControl& port = meter.txn.Port();
    const LinkState before = meter.link;
    const bool wasOpen = port.IsOpen();
    const std::vector<ScanLink> plan = ScanPlan(options.mode);
    std::string portSettings;
    const ScanLink* previous = nullptr;

    for (const ScanLink& link : plan) {
        if (options.cancelled && options.cancelled()) {
            result.cancelled = true;
            break;
        }
        if (options.progress) {
            const bool newStep = previous == nullptr || previous->baudIndex != link.baudIndex ||
                                 previous->serialMode != link.serialMode || previous->parityCode != link.parityCode;
            options.progress({result.tries, plan.size(), link, newStep});
        }
        previous = &link;
        const std::string problem =
            DeriveLinkState(ScanSettingsLine1(link, options.baseLine1), kSerialLine2, meter.link);
        if (!problem.empty()) { // cannot happen for the plan's links; never try a half-set link
            result.problem = "the link " + DescribeScanLink(link) + " cannot be set: " + problem;
            break;
        }
        if (!port.IsOpen() || PortSettingsText(meter.link) != portSettings) {
            const std::string error = meter.conn.OpenSerialPort();
            if (!error.empty()) {
                result.problem = "serial port " + port.Device() + ": " + error;
                break;
            }
            portSettings = PortSettingsText(meter.link);
        }
        meter.txn.SetReplyTimes(ScanReplyTimes(link));
        const CommandOutcome out = RunMeterCommand(meter, gross);
        meter.txn.SetReplyTimes(std::nullopt);
        ++result.tries;
        if (out.succeeded) {
            result.found = link;
            result.reading = out.reading.value_or("");
            break;
        }
        if (out.status == status::DeviceGone) {
            result.problem = "serial port " + port.Device() + ": the device went away";
            break;
        }
    }

    // The link and the port as they were before the scan.
    meter.link = before;
    if (wasOpen) {
        const std::string error = meter.conn.OpenSerialPort();
        if (!error.empty()) {
            meter.link.Problem = error;
            meter.link.PortType = 0; // as OpenConnection leaves a port it cannot open
        }
    } else if (port.IsOpen()) {
        port.Close();
    }
    return result;
}

} // namespace wm
