#include "comm/MeterCommands.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "comm/Tables.h"
#include "comm/Hex.h"

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

std::string DescribeLinkStatus(int status, bool modbus) {
    if (status >= 1 && status <= 9) {
        if (modbus) return "the meter answered with Modbus exception 0" + std::to_string(status);
        return "the transfer failed with code " + std::to_string(status);
    }
    return StatusMeaning(status);
}

std::string EmptyReplyCause(const LinkState& link) {
    if (link.EthernetLink == 1) return "the Ethernet node delivered nothing";
    if (link.PortType == 2)
        return "the settings say the line echoes (port type 2), but the request did not come back ahead of "
               "the reply";
    if (link.UseModbus == 0) return "no carriage return ended it";
    return "nothing could be taken from it";
}

namespace {

bool SameHex(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (HexValue(a[i]) < 0 || HexValue(a[i]) != HexValue(b[i])) return false;
    return true;
}

std::size_t CheckLength(const LinkState& link) { return link.EthernetLink == 1 ? 0 : 4; }

// Why a reply that the transaction layer passed (status 0) is not the
// meter's answer to the command; empty when it is.
std::string ReplyProblem(const MeterLink& meter, const MeterCommand& command) {
    const LinkState& link = meter.link;
    const Exchange& x = meter.x;
    const std::string& text = link.UseModbus != 0 ? x.ModbusReply : x.RxReply;
    if (text.empty()) return "the reply was empty: " + EmptyReplyCause(link);
    if (link.UseModbus == 0) {
        if (text.size() > kLongestReading)
            return "the reply was " + std::to_string(text.size()) + " characters long, longer than any reading (" +
                   std::to_string(kLongestReading) + ")";
        for (char c : text) {
            const auto code = static_cast<unsigned char>(c);
            if (code < 0x20 || code > 0x7E)
                return "the reply holds a character that is not printable (code " + std::to_string(code) + ")";
        }
        return {};
    }
    const std::string_view request = command.modbusRequest;
    const std::string_view function = request.substr(0, 2);
    // A write answers with the function, start and count (05: coil and
    // value) of the request; a reading with function 04 and four data bytes.
    const std::string expected =
        link.ModbusAddressHex + std::string(command.isReading ? std::string(function) + "04" : request.substr(0, 10));
    const std::size_t length = (command.isReading ? 14 : 12) + CheckLength(link);
    if (x.ModbusException != 0)
        return "the meter answered with Modbus exception " + std::string(text.substr(4, 2));
    if (text.size() != length || !SameHex(std::string_view(text).substr(0, expected.size()), expected) ||
        (command.isReading && DecodeModbusReading(text).empty()))
        return "the reply was not the meter's answer to function " + std::string(function) + " (" +
               (command.isReading ? "a reading of two registers" : "the echo of the request") + ")";
    return {};
}

} // namespace

CommandOutcome RunMeterCommand(MeterLink& meter, const MeterCommand& command) {
    CommandOutcome out;
    if (meter.txn.Waiting()) {
        out.refused = true;
        out.status = status::Refused;
        return out;
    }
    out.caption = std::string(command.sentText);
    out.colour = ColourGreen;
    Exchange& x = meter.x;
    const bool modbus = meter.link.UseModbus != 0;
    if (modbus) {
        x.ModbusRequest = std::string(command.modbusRequest);
    } else {
        x.TxCommand = "*" + meter.link.MeterAddress + std::string(command.asciiCode);
    }
    meter.txn.SendCommand();
    const bool awaits = command.reply == ReplyRule::Always || (command.reply == ReplyRule::ModbusOnly && modbus);
    if (!awaits) {
        out.succeeded = true;
        return out;
    }
    meter.txn.ReceiveReply();
    out.status = x.TransferStatus;
    const std::string code = " (status " + std::to_string(x.TransferStatus) + ")";
    if (x.TransferStatus == 0) {
        out.cause = ReplyProblem(meter, command);
    } else if (x.ModbusException != 0) {
        out.cause = "the meter answered with Modbus exception " + ByteToHex(x.ModbusException) + code;
    } else {
        out.cause = DescribeLinkStatus(x.TransferStatus, modbus) + code;
    }
    if (!out.cause.empty()) {
        out.failed = true;
        out.caption = std::string(command.failureText);
        out.colour = ColourRed;
        if (command.isReading) x.RxReply.clear(); // a reply that is not a reading never reaches a reading box
        return out;
    }
    out.succeeded = true;
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
