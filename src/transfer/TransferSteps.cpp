#include "transfer/TransferSteps.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "transfer/Session.h"
#include "comm/Tables.h"
#include "comm/MeterCommands.h"

namespace wm {


std::string RegisterRange(int start, int count) {
    const std::string first = Hex(static_cast<std::uint32_t>(start), 4);
    if (count <= 1) return "register " + first;
    return "registers " + first + "-" + Hex(static_cast<std::uint32_t>(start + count - 1), 4);
}

std::size_t ModbusCheckLength(const LinkState& link) { return link.EthernetLink == 1 ? 0 : 4; }

bool RefuseWhileBusy(Session& session) {
    if (!session.txn.Waiting()) return false;
    session.op.Beep();
    return true;
}

void BeginStep(TransferStep& step, const Session& session, std::string request, std::string expected) {
    step = TransferStep{};
    step.request = std::move(request);
    step.expected = std::move(expected);
    step.modbus = session.link.UseModbus != 0;
    step.echoingLine = session.link.PortType == 2 && session.link.EthernetLink == 0;
}

void NoteReply(TransferStep& step, const Session& session) {
    const Exchange& x = session.x;
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

void SendAscii(Session& session, const std::string& letters) { session.SendAscii(letters); }

bool AskAscii(Session& session, const std::string& letters, TransferStep& step) {
    const MeterAnswer answer = session.AskAscii(letters);
    NoteReply(step, session);
    return answer.ok();
}

std::optional<std::string> HexReply(const Session& session, std::size_t length) {
    const std::string& reply = session.x.RxReply;
    if (reply.size() != length || !IsHexText(reply)) return std::nullopt;
    return UpperCase(reply);
}

bool AskModbus(Session& session, const std::string& request, std::size_t expected, std::int16_t failCode,
               TransferStep& step) {
    const MeterAnswer answer = session.AskModbus(request);
    NoteReply(step, session);
    if (!answer.ok()) return false;
    const std::string& reply = answer.reply;
    const std::size_t data = expected - std::min(expected, ModbusCheckLength(session.link));
    // A Modbus ASCII reply is the received text itself; only hex digits may
    // reach the setup image, and only from a reply to this very function.
    const bool usable = reply.size() == expected && expected >= 4 &&
                        IsHexText(std::string_view(reply).substr(0, data)) &&
                        UpperCase(reply.substr(2, 2)) == UpperCase(request.substr(0, 2));
    if (!usable) {
        session.x.TransferStatus = failCode;
        return false;
    }
    // A Modbus ASCII slave may send lower-case digits; the image holds upper case.
    session.x.ModbusReply = UpperCase(reply);
    return true;
}

} // namespace wm
