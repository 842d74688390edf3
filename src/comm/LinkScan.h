#pragma once
// Finding the meter when its link is not known: a scan that asks for the
// gross reading (a request that changes nothing on the meter) over baud
// rates, protocols, parities and addresses, one try after another, until
// the meter answers. Each try sets the link state as Settings.SSS line 1
// would, reopens the serial port when the line settings change, and runs
// the commands window's gross-reading row with waits cut to what an answer
// at that baud rate can take. Every wait goes through the event pump, so the
// window stays alive during a scan and tests run it in virtual time.
//
// The order (ScanPlan): the common baud rates 9600, 19200, 38400 first, then
// 4800 down to 300; at each, Custom ASCII, then Modbus RTU and Modbus ASCII
// with no parity, even, odd; at each of those the first addresses (Custom
// ASCII 0-3, Modbus 1-4), which is where meters are left. That much is the
// quick scan. The full scan goes on with the other Custom ASCII addresses
// (4-V) at every baud rate, then the other Modbus addresses (5-247) at the
// common baud rates only: at 4800 baud and below those 243 addresses in six
// framings would add three quarters of an hour even on a quiet line.
// ScanTime says how long each scan can take (README quotes it).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comm/LinkSettings.h"
#include "comm/MeterLink.h"
#include "comm/Transaction.h"

namespace wm {

// One link the scan tries, or the one it found.
struct ScanLink {
    int serialMode = 0;      // 0 Custom ASCII, 1 Modbus RTU, 2 Modbus ASCII
    int baudIndex = 5;       // index into BaudRates
    int parityCode = 0;      // 0 none, 1 odd, 2 even (Custom ASCII: always 0)
    char meterAddress = '0'; // Custom ASCII: 0-9, A-V
    int modbusAddress = 1;   // Modbus: 1-247
    bool operator==(const ScanLink&) const = default;
};

enum class ScanMode { Quick, Full };

// The tries of a scan, in the order they are made.
[[nodiscard]] std::vector<ScanLink> ScanPlan(ScanMode mode);

// The waits of one try (see LinkScan.cpp for why they are long enough).
[[nodiscard]] Transaction::ReplyTimes ScanReplyTimes(const ScanLink& link);
// The longest one try can take: the pause, the wait for the first
// character and the reception's bound.
[[nodiscard]] std::uint32_t TryBoundMs(const ScanLink& link);

struct ScanDuration {
    std::uint64_t longestMs = 0; // every try at its bound (something answers every time, never usefully)
    std::uint64_t silentMs = 0;  // nothing answers at all: the pause and the first-character wait per try
    std::size_t tries = 0;
};
[[nodiscard]] ScanDuration ScanTime(ScanMode mode);

// "Modbus RTU, 19200 baud, parity even, slave 2" or
// "Custom ASCII, 4800 baud, parity none, address A".
[[nodiscard]] std::string DescribeScanLink(const ScanLink& link);
// The same without the address: one setting of the port.
[[nodiscard]] std::string DescribeScanStep(const ScanLink& link);

// Settings.SSS line 1 for a link: baseLine1 with the baud rate (character
// 2), protocol (5), parity (6), meter address (8, Custom ASCII) or Modbus
// address (9-11, Modbus) replaced, and port type (16) a serial port (1,
// or 2 when the base says the line echoes). A base that is not a usable
// line 1 gives way to kScanDefaultLine1 (port 1, revision 000, board 0).
// Every try's link state is derived from this line, and `wmctl scan
// --write` writes it.
[[nodiscard]] std::string ScanSettingsLine1(const ScanLink& link, const std::string& baseLine1);
// Line 2 to go with it: the base when it describes the serial port, else
// the same with no Ethernet node (hardware address all zeros); a base that is
// not a line 2 gives a serial line 2 of zeros.
[[nodiscard]] std::string ScanSettingsLine2(const std::string& baseLine2);
// The settings with the link a scan found in their place: protocol, baud
// rate, parity and address, on a serial line (a node named before is
// dropped); everything else as it was. What `wmctl scan --write` and the
// connection window's Find write.
[[nodiscard]] LinkSettings WithScanLink(LinkSettings settings, const ScanLink& link);
inline constexpr const char* kScanDefaultLine1 = "05010000001000010";

struct ScanProgress {
    std::size_t done = 0;  // tries finished
    std::size_t total = 0; // tries in the scan
    ScanLink trying;       // the try about to be made
    bool newStep = false;  // its baud rate, protocol or parity differs from the try before
};

struct ScanOptions {
    ScanMode mode = ScanMode::Full;
    // Settings.SSS line 1 whose other fields (port number, family, revision,
    // time-out, board) every try keeps; empty or unusable: the default.
    std::string baseLine1;
    // Told before every try.
    std::function<void(const ScanProgress&)> progress;
    // Asked before every try; true ends the scan there.
    std::function<bool()> cancelled;
};

struct ScanResult {
    std::optional<ScanLink> found;
    std::string reading;    // the gross reading the meter answered with
    bool cancelled = false;
    std::size_t tries = 0;  // tries made
    std::string problem;    // why the scan stopped short: busy, or the port could not be used
};

// Runs the scan on the meter's link. While it runs, the link state is each
// try's; afterwards it is as it was, and the port as it was (reopened with
// the old settings when it was open, else closed). Refused at once (problem
// set, nothing tried) while another exchange waits.
[[nodiscard]] ScanResult ScanForMeter(MeterLink& meter, const ScanOptions& options);

} // namespace wm
