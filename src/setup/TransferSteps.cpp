#include "setup/TransferSteps.h"

#include <algorithm>
#include <cctype>

#include "app/Program.h"
#include "app/Tables.h"

namespace wm {

std::optional<std::uint32_t> HexNumber(std::string_view s) {
    if (s.empty() || s.size() > 8) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = HexDigitValue(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

std::string Hex(std::uint32_t value, int digits) {
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = HexDigits[value & 15];
        value >>= 4;
    }
    return s;
}

std::string UpperCase(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int LeadingDecimal(std::string_view s) {
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::size_t ModbusCheckLength(const LinkState& link) { return link.EthernetLink == 1 ? 0 : 4; }

bool RefuseWhileBusy(Program& program) {
    if (!program.txn.Waiting()) return false;
    program.platform.op.Beep();
    return true;
}

void SendAscii(Program& program, const std::string& letters) {
    program.x.TxCommand = "*" + program.link.MeterAddress + letters;
    program.txn.SendCommand();
}

bool AskAscii(Program& program, const std::string& letters) {
    SendAscii(program, letters);
    program.txn.ReceiveReply();
    return program.x.TransferStatus == status::Ok;
}

std::optional<std::string> HexReply(const Program& program, std::size_t length) {
    const std::string& reply = program.x.RxReply;
    if (reply.size() != length || !IsHexText(reply)) return std::nullopt;
    return UpperCase(reply);
}

bool AskModbus(Program& program, const std::string& request, std::size_t expected, std::int16_t failCode) {
    program.x.ModbusRequest = request;
    program.txn.SendCommand();
    program.txn.ReceiveReply();
    if (program.x.TransferStatus != status::Ok) return false;
    const std::string& reply = program.x.ModbusReply;
    const std::size_t data = expected - std::min(expected, ModbusCheckLength(program.link));
    // A Modbus ASCII reply is the received text itself; only hex digits may
    // reach the setup image.
    if (reply.size() != expected || !IsHexText(std::string_view(reply).substr(0, data))) {
        program.x.TransferStatus = failCode;
        return false;
    }
    // A Modbus ASCII slave may send lower-case digits; the image holds upper case.
    program.x.ModbusReply = UpperCase(reply);
    return true;
}

} // namespace wm
