#pragma once
// The meter's operating commands: four resets, the tare reset and the three
// reading requests, each one exchange in the active protocol. The commands
// window and `wmctl command` / `wmctl read` both run them from this table.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "comm/MeterLink.h"

namespace wm {

enum class ReplyRule { Never, ModbusOnly, Always };

struct MeterCommand {
    std::string_view button;    // control name on the commands window
    std::string_view name;      // wmctl's name
    std::string_view sentText;  // status text shown first
    std::string_view asciiCode; // after "*" + address
    std::string_view modbusRequest;
    ReplyRule reply;
    std::string_view failureText;
    std::string_view receivedText; // reading rows only
    bool clearsPeak;               // on a good (Modbus) reply
    bool isReading;
};

[[nodiscard]] const MeterCommand* FindMeterCommand(std::string_view nameOrButton);

struct CommandOutcome {
    std::string caption;
    Rgb colour;
    // Exactly one of these three: the command went out and any awaited reply
    // was the meter's answer to it; it failed (the caption says so); or it
    // was refused because another exchange was waiting (nothing was sent).
    bool succeeded = false;
    bool refused = false;
    bool failed = false;
    bool clearPeak = false;
    std::optional<std::string> reading; // the text the reading box shows
    int status = 0;                     // the transaction layer's status
    std::string cause;                  // why it failed, in words (empty unless failed)
};

// The longest reading text the meter sends in Custom ASCII (a sign, seven
// digits, a point and a few blanks fit many times over); anything longer is
// line noise or another device talking, not a reading.
inline constexpr std::size_t kLongestReading = 32;

// Runs one command row as a button click does: status text first, then the
// exchange. While another exchange waits nothing is done (refused, no
// caption). A reply that was awaited must be the meter's answer to this
// command: under Modbus the write-coil or write-registers echo, or a reading
// reply of two registers; in Custom ASCII a reading of printable characters,
// neither empty nor longer than kLongestReading. Anything else fails with
// the row's failure caption, even when the transaction layer saw no fault
// (status 0 with an empty reply: no CR, or a missing echo).
[[nodiscard]] CommandOutcome RunMeterCommand(MeterLink& meter, const MeterCommand& command);

// A Modbus reading reply: two registers at characters 7-14, high register
// first, as one signed 32-bit number in decimal.
[[nodiscard]] std::string DecodeModbusReading(const std::string& modbusReply);

// A transaction status in words for the operator. Under Modbus the small
// codes are the meter's exception codes; the rest are the link's own.
[[nodiscard]] std::string DescribeLinkStatus(int status, bool modbus);
// Why a reply can come back empty with status 0 on this link: the echo that
// the settings promise was missing, or (Custom ASCII) no CR ended it.
[[nodiscard]] std::string EmptyReplyCause(const LinkState& link);

} // namespace wm
