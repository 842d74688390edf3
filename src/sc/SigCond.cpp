#include "sc/SigCond.h"

#include "transfer/Session.h"
#include "setup/Fields.h"
#include "transfer/TransferSteps.h"

namespace wm {

namespace {

constexpr const char* kCorruptQuestion =
    "The Signal Conditioner type is not DC or LC or its data is corrupt.  Do you wish to terminate this "
    "program, "
    "power down the meter and change the Signal Conditioner board ?  A 'No' response will cause default "
    "values "
    "to be applied to the board which can be changed in View Setup and Put to the Meter.";

bool AskToEnd(Session& session) {
    const Answer a = session.op.Ask(
        {kCorruptQuestion, "Signal Conditioner error", Buttons::YesNo, Answer::Yes, Icon::None,
         MessageId::CorruptType});
    return a == Answer::Yes;
}

// The board's two stored bytes in Custom ASCII, the second being R. A reply
// that is not four hex digits is a communication error (told here): what
// it holds would otherwise be written back to the board.
std::optional<std::string> AskX110(Session& session) {
    (void)session.AskAscii("X110"); // judged by its length and digits below
    const auto reply = HexReply(session, 4);
    if (!reply) MsgErr(session.op);
    return reply;
}

// One Modbus request whose reply must be the meter's answer to it: a read
// of one register, or the echo of a single-register write. Anything else (a
// time-out, a bad check, an exception, a missing echo) is a communication
// error, told here: an empty or foreign reply must not read as a corrupt
// board, nor a write that was never acknowledged as done.
bool AskModbusOrTell(Session& session, const std::string& request, std::size_t dataLength) {
    const MeterAnswer answer = session.AskModbus(request);
    const std::string& reply = answer.reply;
    const bool answered = answer.ok() && reply.size() >= dataLength &&
                          IsHexText(std::string_view(reply).substr(0, dataLength)) &&
                          UpperCase(reply.substr(2, 2)) == request.substr(0, 2);
    if (!answered) MsgErr(session.op);
    return answered;
}

// R, the stored input-mode/range byte, from the meter; nullopt after a
// communication error (already told).
std::optional<std::string> ReadStoredRange(Session& session) {
    if (session.link.UseModbus != 0) {
        // The register's low byte is characters 9-10 of every Modbus reply
        // form (RTU, ASCII and TCP alike).
        if (!AskModbusOrTell(session, "0300450001", 10)) return std::nullopt;
        // Modbus ASCII may bring the digits in lower case ("d0").
        return UpperCase(session.x.ModbusReply.substr(8, 2));
    }
    const auto reply = AskX110(session);
    if (!reply) return std::nullopt;
    return reply->substr(2, 2);
}

} // namespace

SCCheck CheckSCAfterGet(Session& session) {
    SetupImage& image = session.setup;
    session.derived = DeriveSetup(image, session.derived);
    if (IsKnownScType(session.derived.ScType)) return SCCheck::Ok;
    if (AskToEnd(session)) {
        if (session.port.IsOpen()) session.port.Close();
        session.op.EndProgram();
        return SCCheck::EndProgram;
    }
    // Go on with a DC board in its first range, which the operator can
    // change on the setup pages and Put.
    image.Put(FieldNamed("ScTypeCode").pos, "01"); // the whole byte, clearing whatever corrupted it
    StoreRangeByte(image, FindInputMode(2)->inputMode, 0);
    session.derived = DeriveSetup(image, session.derived);
    return SCCheck::Defaulted;
}

void MsgErr(Operator& op) {
    op.Ask({"Communication error.  Try again.", "Error", Buttons::Ok, Answer::Ok, Icon::None,
            MessageId::CommunicationError});
}

const std::vector<std::string>& SCTypeIntroLines() {
    static const std::vector<std::string> lines = {
        "This provides a means of restoring the Signal Conditioner type",
        "when corruption is suspected, otherwise take no action.",
        "If the proper Signal Conditioner type is unknown, observe the type",
        "marked on the Signal Conditioner board. ",
        "",
        "Checking current Signal Conditioner type identification.",
        "",
    };
    return lines;
}

std::vector<std::string> SCTypeVerdict(const std::string& r, bool& showOK) {
    const StoredRangeVerdict verdict = JudgeStoredRange(r);
    if (verdict.corrupt) {
        showOK = false;
        return {"The Signal Conditioner type identification is corrupt.",
                "The Signal Conditioner can be restored to its proper type",
                "by clicking on the appropriate selection of the drop-down menu. "};
    }
    const std::string kind = verdict.loadCell ? "Load Cell" : "DC";
    showOK = true;
    return {"Signal Conditioner type is " + kind + " and range is " + (verdict.rangeValid ? "valid." : "invalid."),
            "If the Signal Conditioner type is correct and range is valid, take no action.",
            "Selecting one of the two above menu items will force the selected",
            "Signal Conditioner type and its valid default range."};
}

SCTypeReport ReadSCType(Session& session) {
    SCTypeReport report;
    if (RefuseWhileBusy(session)) {
        report.refused = true;
        return report;
    }
    report.lines = SCTypeIntroLines();
    const auto r = ReadStoredRange(session);
    if (!r) {
        report.lines.clear();
        report.picTextVisible = false;
        return report;
    }
    const std::vector<std::string> verdict = SCTypeVerdict(*r, report.showOK);
    report.lines.insert(report.lines.end(), verdict.begin(), verdict.end());
    session.op.HideStatus();
    report.succeeded = true;
    return report;
}

SCRestoreReport RestoreSCType(Session& session, SCBoard board) {
    SCRestoreReport report;
    if (RefuseWhileBusy(session)) {
        report.refused = true;
        return report;
    }
    const bool dc = board == SCBoard::DC;
    report.lines = {kSCWaitLine};
    if (session.link.UseModbus != 0) {
        const std::string request = dc ? "1000450001020060" : "10004500010200D0";
        const bool answered = AskModbusOrTell(session, request, 12);
        report.status = session.x.TransferStatus;
        if (!answered) return report;
        // The meter took it only when it answers with the write reply for
        // register 0045 (its echo of the request's head).
        const std::string& reply = session.x.ModbusReply;
        report.succeeded = session.x.ModbusException == 0 && reply.size() == 12 + ModbusCheckLength(session.link) &&
                           UpperCase(reply.substr(0, 12)) == UpperCase(session.link.ModbusAddressHex + request.substr(0, 10));
        if (!report.succeeded) {
            MsgErr(session.op);
            return report;
        }
    } else {
        const auto reply = AskX110(session);
        report.status = session.x.TransferStatus;
        if (!reply) return report;
        // The first byte of the pair is kept as the meter has it.
        const std::string first = reply->substr(0, 2);
        session.txn.DelayMs(2000);
        SendAscii(session, "W110" + first + (dc ? "60" : "D0"));
        report.status = session.x.TransferStatus;
        report.succeeded = report.status == status::Ok;
    }
    report.lines = {dc ? "Signal Conditioner type set to DC and 200 mV range."
                       : "Signal Conditioner type set to Load Cell and 20 mV DC range."};
    return report;
}

} // namespace wm
