#pragma once
// The meter's operating commands: four resets, the tare reset and the three
// reading requests, each one exchange in the active protocol. The commands
// window and `wmctl command` / `wmctl read` both run them from this table.
#include <optional>
#include <string>
#include <string_view>

#include "app/Program.h"

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
    bool failed = false;
    bool clearPeak = false;
    std::optional<std::string> reading; // the text the reading box shows
    int status = 0;
};

// Runs one command row as a button click does: status text first (through
// `shown`, so a window can repaint before the exchange), then the exchange.
[[nodiscard]] CommandOutcome RunMeterCommand(Program& program, const MeterCommand& command);

// A Modbus reading reply: two registers at characters 7-14, high register
// first, as one signed 32-bit number in decimal.
[[nodiscard]] std::string DecodeModbusReading(const std::string& modbusReply);

} // namespace wm
