#include "comm/MeterCommands.h"

#include <array>
#include <cstdint>

#include "app/Tables.h"

namespace wm {

namespace {

constexpr std::array<MeterCommand, 8> kCommands = {{
    {"cmdMRst", "meter-reset", "Meter Reset Command sent.", "C0", "050001FF00", ReplyRule::Never, "", "", false,
     false},
    {"cmdFRst", "function-reset", "Function Reset Command sent.", "C1", "050002FF00", ReplyRule::ModbusOnly,
     "Communications error.  Try again.", "", true, false},
    {"cmdLARst", "alarm-reset", "Latched Alarms Reset Command sent.", "C2", "050003FF00", ReplyRule::ModbusOnly,
     "Communications error.  Try again.", "", false, false},
    {"cmdPeakRst", "peak-reset", "Peak Reset Command sent.", "C3", "050004FF00", ReplyRule::ModbusOnly,
     "Communications error.  Try again.", "", true, false},
    {"cmdTare", "tare-reset", "Tare Reset Command sent.", "W21D00000000", "10001900020400000000",
     ReplyRule::ModbusOnly, "Communications error.  Try again.", "", false, false},
    {"cmdGross", "gross", "Gross Reading request sent.", "B3", "0400070002", ReplyRule::Always,
     "Communications failure.  Try again.", "Gross Reading request sent.    Gross Reading received.", false, true},
    {"cmdNet", "net", "Net Reading request sent.", "B2", "0400030002", ReplyRule::Always,
     "Communications failure.  Try again.", "Net Reading request sent.    Net Reading received.", false, true},
    {"cmdPeakRd", "peak", "Peak Reading request sent.", "B4", "0400050002", ReplyRule::Always,
     "Communications failure.  Program may have to be re-started.",
     "Peak Reading request sent.    Peak Reading received.", false, true},
}};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

const MeterCommand* FindMeterCommand(std::string_view nameOrButton) {
    for (const MeterCommand& c : kCommands)
        if (c.name == nameOrButton || c.button == nameOrButton) return &c;
    return nullptr;
}

std::string DecodeModbusReading(const std::string& modbusReply) {
    if (modbusReply.size() < 14) return {};
    std::uint32_t v = 0;
    for (std::size_t i = 6; i < 14; ++i) {
        const int d = HexValue(modbusReply[i]);
        if (d < 0) return {};
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return std::to_string(static_cast<std::int32_t>(v));
}

CommandOutcome RunMeterCommand(Program& program, const MeterCommand& command) {
    CommandOutcome out;
    out.caption = std::string(command.sentText);
    out.colour = ColourGreen;
    Exchange& x = program.x;
    const bool modbus = program.link.UseModbus != 0;
    if (modbus) {
        x.ModbusRequest = std::string(command.modbusRequest);
    } else {
        x.TxCommand = "*" + program.link.MeterAddress + std::string(command.asciiCode);
    }
    program.txn.SendCommand();
    const bool awaits = command.reply == ReplyRule::Always || (command.reply == ReplyRule::ModbusOnly && modbus);
    if (!awaits) return out;
    program.txn.ReceiveReply();
    out.status = x.TransferStatus;
    if (x.TransferStatus != 0) {
        out.failed = true;
        out.caption = std::string(command.failureText);
        out.colour = ColourRed;
        return out;
    }
    if (!command.isReading) {
        out.clearPeak = command.clearsPeak;
        return out;
    }
    if (modbus) x.RxReply = DecodeModbusReading(x.ModbusReply);
    out.caption = std::string(command.receivedText);
    out.reading = x.RxReply;
    return out;
}

} // namespace wm
