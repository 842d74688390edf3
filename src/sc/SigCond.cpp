#include "sc/SigCond.h"

#include "app/Program.h"
#include "setup/TransferSteps.h"

namespace wm {

namespace {

constexpr const char* kCorruptQuestion =
    "The Signal Conditioner type is not DC or LC or its data is corrupt.  Do you wish to terminate this "
    "program, "
    "power down the meter and change the Signal Conditioner board ?  A 'No' response will cause default "
    "values "
    "to be applied to the board which can be changed in View Setup and Put to the Meter.";

// The largest range index of each input mode; modes without a list are not limited.
int LargestRange(int mode) {
    switch (mode) {
    case 2:
    case 7:
    case 8: return 4;
    case 3: return 3;
    case 6: return 2;
    default: return -1;
    }
}

void DeriveInputDP(DerivedSetup& d) {
    switch (d.InputMode) {
    case 2:
    case 6: d.InputDP = 6 - d.InputRange; break;
    case 3: d.InputDP = d.InputRange == 3 ? 4 : 5 - d.InputRange; break;
    case 7:
    case 8: d.InputDP = d.InputRange > 1 ? 3 : 4; break;
    default: break;
    }
}

bool AskToEnd(Program& program) {
    const Answer a = program.platform.op.Ask(
        {kCorruptQuestion, "Signal Conditioner error", Buttons::YesNo, Answer::Yes, Icon::None});
    return a == Answer::Yes;
}

// The board's two stored bytes in Custom ASCII, the second being R. A reply
// that is not four hex digits is a communication error (told here): what
// it holds would otherwise be written back to the board.
std::optional<std::string> AskX110(Program& program) {
    SendAscii(program, "X110");
    program.txn.ReceiveReply();
    const auto reply = HexReply(program, 4);
    if (!reply) MsgErr(program.platform.op);
    return reply;
}

// R, the stored input-mode/range byte, from the meter; nullopt after a
// communication error (already told).
std::optional<std::string> ReadStoredRange(Program& program) {
    if (program.link.UseModbus != 0) {
        // The register's low byte is characters 9-10 of every Modbus reply
        // form (RTU, ASCII and TCP alike). The meter's answer is not
        // otherwise examined: a short reply reads as a corrupt identification.
        program.x.ModbusRequest = "0300450001";
        program.txn.SendCommand();
        program.txn.ReceiveReply();
        // Modbus ASCII may bring the digits in lower case ("d0").
        return program.x.ModbusReply.size() >= 10 ? UpperCase(program.x.ModbusReply.substr(8, 2)) : std::string();
    }
    const auto reply = AskX110(program);
    if (!reply) return std::nullopt;
    return reply->substr(2, 2);
}

} // namespace

SCCheck CheckSCAfterGet(Program& program) {
    DerivedSetup& d = program.derived;
    SetupImage& image = program.setup;
    SCCheck outcome = SCCheck::Ok;

    d.ScTypeText = image.Mid(35, 2);
    d.ScType = LeadingDecimal(d.ScTypeText);
    d.InputMode = image.GetBits(7, 4, 55) - 4;
    if (d.InputMode > 6) d.InputMode -= 1;

    if (d.ScType == 1) {
        if (d.InputMode != 2 && d.InputMode != 3 && d.InputMode != 6) d.InputMode = 2;
    } else if (d.ScType == 3) {
        if (d.InputMode != 7 && d.InputMode != 8) d.InputMode = 7;
    } else if (AskToEnd(program)) {
        if (program.platform.port.IsOpen()) program.platform.port.Close();
        program.platform.op.EndProgram();
        return SCCheck::EndProgram;
    } else {
        d.ScType = 1;
        d.InputMode = 2;
        image.Put(35, "01");
        image.Put(55, "60");
        outcome = SCCheck::Defaulted;
    }

    d.InputRange = image.GetBits(3, 0, 55);
    const int largest = LargestRange(d.InputMode);
    if (largest >= 0 && d.InputRange > largest) d.InputRange = 0;
    DeriveInputDP(d);
    d.DisplayDP = image.GetBits(2, 0, 39);
    return outcome;
}

void MsgErr(Operator& op) {
    op.Ask({"Communication error.  Try again.", "Error", Buttons::Ok, Answer::Ok, Icon::None});
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
    const char mode = r.empty() ? ' ' : r[0];
    const int v = r.size() >= 2 && r[1] >= '0' && r[1] <= '9' ? r[1] - '0' : 0; // a letter counts as 0
    int largest = -1;
    switch (mode) {
    case '6':
    case 'C':
    case 'D': largest = 4; break;
    case '7': largest = 3; break;
    case 'A': largest = 2; break;
    default:
        showOK = false;
        return {"The Signal Conditioner type identification is corrupt.",
                "The Signal Conditioner can be restored to its proper type",
                "by clicking on the appropriate selection of the drop-down menu. "};
    }
    const bool loadCell = mode == 'C' || mode == 'D';
    const std::string kind = loadCell ? "Load Cell" : "DC";
    showOK = true;
    return {"Signal Conditioner type is " + kind + " and range is " + (v > largest ? "invalid." : "valid."),
            "If the Signal Conditioner type is correct and range is valid, take no action.",
            "Selecting one of the two above menu items will force the selected",
            "Signal Conditioner type and its valid default range."};
}

SCTypeReport ReadSCType(Program& program) {
    SCTypeReport report;
    if (RefuseWhileBusy(program)) {
        report.refused = true;
        return report;
    }
    report.lines = SCTypeIntroLines();
    const auto r = ReadStoredRange(program);
    if (!r) {
        report.lines.clear();
        report.picTextVisible = false;
        return report;
    }
    const std::vector<std::string> verdict = SCTypeVerdict(*r, report.showOK);
    report.lines.insert(report.lines.end(), verdict.begin(), verdict.end());
    program.platform.op.HideStatus();
    return report;
}

SCRestoreReport RestoreSCType(Program& program, SCBoard board) {
    SCRestoreReport report;
    if (RefuseWhileBusy(program)) {
        report.refused = true;
        return report;
    }
    const bool dc = board == SCBoard::DC;
    report.lines = {kSCWaitLine};
    if (program.link.UseModbus != 0) {
        program.x.ModbusRequest = dc ? "1000450001020060" : "10004500010200D0";
        program.txn.SendCommand();
        program.txn.ReceiveReply(); // collected, not examined: the text says what was asked for
    } else {
        const auto reply = AskX110(program);
        if (!reply) return report;
        // The first byte of the pair is kept as the meter has it.
        const std::string first = reply->substr(0, 2);
        program.txn.DelayMs(2000);
        SendAscii(program, "W110" + first + (dc ? "60" : "D0"));
    }
    report.lines = {dc ? "Signal Conditioner type set to DC and 200 mV range."
                       : "Signal Conditioner type set to Load Cell and 20 mV DC range."};
    return report;
}

} // namespace wm
