#include "setup/TransferSteps.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "app/Program.h"
#include "app/Tables.h"
#include "comm/MeterCommands.h"

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

std::string RegisterRange(int start, int count) {
    const std::string first = Hex(static_cast<std::uint32_t>(start), 4);
    if (count <= 1) return "register " + first;
    return "registers " + first + "-" + Hex(static_cast<std::uint32_t>(start + count - 1), 4);
}

std::size_t ModbusCheckLength(const LinkState& link) { return link.EthernetLink == 1 ? 0 : 4; }

bool RefuseWhileBusy(Program& program) {
    if (!program.txn.Waiting()) return false;
    program.platform.op.Beep();
    return true;
}

void BeginStep(TransferStep& step, const Program& program, std::string request, std::string expected) {
    step = TransferStep{};
    step.request = std::move(request);
    step.expected = std::move(expected);
    step.modbus = program.link.UseModbus != 0;
    step.echoingLine = program.link.PortType == 2 && program.link.EthernetLink == 0;
}

void NoteReply(TransferStep& step, const Program& program) {
    const Exchange& x = program.x;
    step.linkStatus = x.TransferStatus;
    step.replyLength = (step.modbus ? x.ModbusReply : x.RxReply).size();
    step.exception = step.modbus ? x.ModbusException : 0;
}

std::string DescribeStepCause(const TransferStep& step) {
    if (!step.problem.empty()) return step.problem;
    // A refusal is named by its code in every framing, whatever status it got.
    if (step.exception != 0)
        return "the meter answered with Modbus exception " + Hex(static_cast<std::uint32_t>(step.exception), 2);
    if (step.linkStatus != status::Ok) return DescribeLinkStatus(step.linkStatus, step.modbus);
    if (step.replyLength == 0) {
        LinkState link;
        link.UseModbus = step.modbus ? 1 : 0;
        link.PortType = step.echoingLine ? 2 : 1;
        return "the reply to " + step.request + " was empty: " + EmptyReplyCause(link);
    }
    return "the reply to " + step.request + " was not " + step.expected;
}

std::string DescribeStepFailure(const std::string& operation, const TransferStep& step, int status) {
    const std::string code = " (status " + std::to_string(status) + ")";
    // A fault of the link or a refusal by the meter is told after the
    // request's name; an unusable reply names the request itself.
    const bool linkFault = step.problem.empty() && (step.linkStatus != status::Ok || step.exception != 0);
    if (linkFault) return operation + " failed at " + step.request + ": " + DescribeStepCause(step) + code;
    return operation + " failed: " + DescribeStepCause(step) + code;
}

void SendAscii(Program& program, const std::string& letters) {
    program.x.TxCommand = "*" + program.link.MeterAddress + letters;
    program.txn.SendCommand();
}

bool AskAscii(Program& program, const std::string& letters, TransferStep& step) {
    SendAscii(program, letters);
    program.txn.ReceiveReply();
    NoteReply(step, program);
    return program.x.TransferStatus == status::Ok;
}

std::optional<std::string> HexReply(const Program& program, std::size_t length) {
    const std::string& reply = program.x.RxReply;
    if (reply.size() != length || !IsHexText(reply)) return std::nullopt;
    return UpperCase(reply);
}

bool AskModbus(Program& program, const std::string& request, std::size_t expected, std::int16_t failCode,
               TransferStep& step) {
    program.x.ModbusRequest = request;
    program.txn.SendCommand();
    program.txn.ReceiveReply();
    NoteReply(step, program);
    if (program.x.TransferStatus != status::Ok) return false;
    const std::string& reply = program.x.ModbusReply;
    const std::size_t data = expected - std::min(expected, ModbusCheckLength(program.link));
    // A Modbus ASCII reply is the received text itself; only hex digits may
    // reach the setup image, and only from a reply to this very function.
    const bool usable = reply.size() == expected && expected >= 4 &&
                        IsHexText(std::string_view(reply).substr(0, data)) &&
                        UpperCase(reply.substr(2, 2)) == UpperCase(request.substr(0, 2));
    if (!usable) {
        program.x.TransferStatus = failCode;
        return false;
    }
    // A Modbus ASCII slave may send lower-case digits; the image holds upper case.
    program.x.ModbusReply = UpperCase(reply);
    return true;
}

} // namespace wm
