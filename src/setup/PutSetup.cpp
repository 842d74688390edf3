#include "setup/PutSetup.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "app/Program.h"
#include "app/Tables.h"
#include "setup/GetSetup.h"
#include "setup/TransferSteps.h"

namespace wm {

namespace {

std::int16_t& Status(Program& program) { return program.x.TransferStatus; }

// --- the compatibility check ------------------------------------------------

enum class SCKind { Undetermined, DC, LoadCell };

// Only a DC board in a DC mode (group 3) and a load-cell board in a load-cell
// mode (group 5) are kinds the Put can vouch for.
SCKind KindOf(std::string_view typeText, int modeCode) {
    if (modeCode < 0 || modeCode >= static_cast<int>(SCTypeByCode.size())) return SCKind::Undetermined;
    const int group = SCTypeByCode[static_cast<std::size_t>(modeCode)];
    if (typeText == "01" && group == 3) return SCKind::DC;
    if (typeText == "03" && group == 5) return SCKind::LoadCell;
    return SCKind::Undetermined;
}

std::string KindName(SCKind kind) { return std::string(SCTypeNames[kind == SCKind::DC ? 2 : 4]); }

struct MeterBoard {
    std::string type;  // ScTypeText
    std::string range; // MeterRangeText
    int mode = -1;     // first digit of the range byte
};

bool ReadBoardAscii(Program& program, int gap, MeterBoard& board) {
    SendAscii(program, "A1"); // continuous output off
    program.txn.DelayMs(200);
    if (!AskAscii(program, "X115")) return false;
    const auto id = HexReply(program, 4);
    if (!id) {
        Status(program) = putstatus::AsciiTypeReply;
        return false;
    }
    board.type = id->substr(2, 2);
    program.txn.DelayMs(gap);
    ShowProgress(program, 15);
    if (!AskAscii(program, "G12C")) return false;
    const auto range = HexReply(program, 2);
    if (!range) {
        Status(program) = putstatus::AsciiRangeReply;
        return false;
    }
    board.range = *range;
    board.mode = HexDigitValue(board.range[0]);
    return true;
}

bool ReadBoardModbus(Program& program, int gap, MeterBoard& board) {
    const std::size_t length = 10 + ModbusCheckLength(program.link);
    if (!AskModbus(program, "0300680001", length, putstatus::ModbusTypeReply)) return false;
    board.type = program.x.ModbusReply.substr(8, 2);
    program.txn.DelayMs(gap);
    ShowProgress(program, 15);
    if (!AskModbus(program, "0300450001", length, putstatus::ModbusRangeReply)) return false;
    board.range = program.x.ModbusReply.substr(8, 2);
    board.mode = HexDigitValue(board.range[0]);
    return true;
}

bool Abandon(Program& program, const char* text) {
    program.platform.op.Ask({text, "", Buttons::Ok, Answer::Ok, Icon::None});
    program.platform.op.HideStatus();
    Status(program) = status::Ok;
    return false;
}

std::string MismatchText(SCKind meter, SCKind data) {
    const std::string cr(1, CarriageReturn);
    return "The Meter Signal Conditioner Type is '" + KindName(meter) + "'" + cr +
           "The Signal Conditioner Type data to be PUT is '" + KindName(data) + "'" + cr +
           "These are not compatible.  You might be able to correct this discrepancy by clicking "
           "on the Main Menu item 'SigCondType'.  If you continue, all data except the "
           "Signal Conditioner Type and Range will be PUT to the Meter ( Not Recommended )." +
           cr + "Continue?";
}

// --- the Modbus write -------------------------------------------------------

enum class Field { Pair, Byte, Scaled, Zero };
struct Reg {
    Field kind;
    int pos; // image position; for Zero the number of zero registers
};

std::string Values(const SetupImage& image, std::initializer_list<Reg> regs) {
    std::string out;
    for (const Reg& r : regs) {
        switch (r.kind) {
        case Field::Pair: out += SignedFieldToHex8(image.Mid(r.pos, 6)); break;
        case Field::Scaled: out += ScaledFieldToHex8(image.Mid(r.pos, 6)); break;
        case Field::Byte: out += "00" + image.Mid(r.pos, 2); break;
        case Field::Zero: out += std::string(4 * static_cast<std::size_t>(r.pos), '0'); break;
        }
    }
    return out;
}

// One write-multiple-registers request. The meter's answer must be a write
// reply (function 10): in Modbus ASCII and through the node an exception
// reply is not flagged by the transaction layer, and must not pass as
// written.
bool WriteBlock(Program& program, const std::string& request, std::int16_t failCode) {
    program.x.ModbusRequest = request;
    program.txn.SendCommand();
    program.txn.ReceiveReply();
    // Status 0 with no reply text at all is possible (an echo that did not match).
    const std::string& reply = program.x.ModbusReply;
    if (Status(program) == status::Ok && reply.size() >= 4 && reply.compare(2, 2, "10") == 0) return true;
    Status(program) = failCode;
    return false;
}

bool WriteAllBlocks(Program& program) {
    const SetupImage& im = program.setup;
    const int gap = ModbusGap(program.link);
    using F = Field;

    ShowProgress(program, 30);
    program.platform.op.SetProgressVisible(true);
    ShowProgress(program, 40);
    if (!WriteBlock(program,
                    "100001000C18" + Values(im, {{F::Pair, 115},
                                                 {F::Pair, 109},
                                                 {F::Pair, 115},
                                                 {F::Pair, 109},
                                                 {F::Scaled, 103},
                                                 {F::Pair, 97}}),
                    putstatus::Request1))
        return false;

    program.txn.DelayMs(gap);
    ShowProgress(program, 50);
    if (!WriteBlock(
            program,
            "100011000A14" +
                Values(im, {{F::Pair, 91}, {F::Pair, 85}, {F::Pair, 79}, {F::Pair, 73}, {F::Pair, 1}}),
            putstatus::Request2Or3))
        return false;

    program.txn.DelayMs(gap);
    ShowProgress(program, 60);
    if (!WriteBlock(program,
                    "100021000C18" + Values(im, {{F::Pair, 27},
                                                 {F::Pair, 21},
                                                 {F::Pair, 27},
                                                 {F::Pair, 21},
                                                 {F::Pair, 67},
                                                 {F::Pair, 61}}),
                    putstatus::Request2Or3))
        return false;

    ShowProgress(program, 70);
    program.txn.DelayMs(gap);
    if (!WriteBlock(program,
                    "10004D000B16" + Values(im, {{F::Byte, 33},
                                                 {F::Byte, 43},
                                                 {F::Byte, 41},
                                                 {F::Zero, 1},
                                                 {F::Byte, 11},
                                                 {F::Byte, 37},
                                                 {F::Zero, 4},
                                                 {F::Byte, 39}}),
                    putstatus::Request4))
        return false;

    ShowProgress(program, 80);
    program.txn.DelayMs(gap);
    if (!WriteBlock(program, "10005D000306" + Values(im, {{F::Byte, 127}, {F::Byte, 125}, {F::Byte, 135}}),
                    putstatus::Request5))
        return false;

    const std::string last = "100041000C18" + Values(im, {{F::Byte, 59},
                                                          {F::Byte, 57},
                                                          {F::Byte, 59},
                                                          {F::Byte, 57},
                                                          {F::Byte, 55},
                                                          {F::Byte, 53},
                                                          {F::Byte, 51},
                                                          {F::Byte, 49},
                                                          {F::Byte, 47},
                                                          {F::Byte, 45},
                                                          {F::Byte, 9},
                                                          {F::Byte, 133}});
    // Request 5 has just given the meter its (possibly new) slave address;
    // the last block goes to that address, and so does everything after it.
    if (program.setup.Mid(135, 2) == "00") program.setup.Put(135, "01");
    program.link.ModbusAddressHex = program.setup.Mid(135, 2);
    ShowProgress(program, 100);
    program.txn.DelayMs(gap);
    return WriteBlock(program, last, putstatus::Request6);
}

std::optional<std::int64_t> SignedHex(std::string_view digits) {
    const auto v = HexNumber(digits);
    if (!v) return std::nullopt;
    return static_cast<std::int64_t>(*v);
}

} // namespace

bool CheckPutCompatibility(Program& program) {
    const int gap = ModbusGap(program.link);
    ShowProgress(program, 5);
    program.platform.op.SetProgressVisible(true);

    MeterBoard board;
    const bool read = program.link.UseModbus != 0 ? ReadBoardModbus(program, gap, board)
                                                  : ReadBoardAscii(program, gap, board);
    if (!read) return true; // the status tells the Put that nothing is to be written
    program.derived.ScTypeText = board.type;

    const SCKind meter = KindOf(board.type, board.mode);
    if (meter == SCKind::Undetermined)
        return Abandon(program, "Meter type could not be determined, DPM PUT will be aborted.");

    const std::string range = program.setup.Mid(55, 2);
    const SCKind data = KindOf(program.setup.Mid(35, 2), range.empty() ? -1 : HexDigitValue(range[0]));
    if (data == SCKind::Undetermined)
        return Abandon(program,
                       "Data to be PUT contains incompatible Signal Conditioner Type and Range, DPM PUT "
                       "will be aborted.");

    if (meter != data) {
        Operator& op = program.platform.op;
        op.HideStatus();
        if (op.Ask({MismatchText(meter, data), "Error", Buttons::YesNo, Answer::No, Icon::None}) !=
            Answer::Yes) {
            Status(program) = status::Ok;
            return false;
        }
        program.setup.Put(35, board.type);
        program.setup.Put(55, board.range);
        op.SetStatus(kPuttingCaption, ColourGreen);
    }
    program.txn.DelayMs(gap);
    return true;
}

void PutSetupAscii(Program& program) {
    SetupImage& im = program.setup;
    ShowProgress(program, 23);
    program.platform.op.SetProgressVisible(true);
    if (Status(program) != status::Ok) return; // the check could not reach the meter

    // Family 6 meters must not receive bit 5 of this byte set.
    if (program.link.MeterFamily == 6) im.Put(57, Hex(static_cast<std::uint32_t>(im.ByteAt(57) & 0xDF), 2));

    if (program.link.EthernetLink == 0) {
        SendAscii(program, "WP18" + im.Mid(21, 100) + "Z");
    } else {
        // The node's buffer takes the block in two parts.
        SendAscii(program, "WD18" + im.Mid(21, 52) + "Z");
        ShowProgress(program, 30);
        SendAscii(program, "WC0B" + im.Mid(73, 48) + "Z");
    }
    ShowProgress(program, 40);
    SendAscii(program, "W31D" + im.Mid(1, 12) + "Z");
    ShowProgress(program, 50);
    SendAscii(program, "W26D" + im.Mid(121, 8) + "Z");
    ShowProgress(program, 60);
    SendAscii(program, "W236" + im.Mid(129, 8));

    program.txn.DelayMs(2000); // the meter stores the blocks before it answers again
    ShowProgress(program, 75);
    UpdateSettingsFromSetup(program);
    program.txn.DelayMs(1000);
    ShowProgress(program, 100);
    program.platform.op.SetProgressVisible(false);
}

void PutSetupModbus(Program& program) {
    // The Modbus Put goes ahead whatever the check left: a check that could
    // not read the board (a time-out, a short reply) does not stop it.
    Status(program) = status::Ok;
    // A setup completed from a 120-character file has no characters 129-136
    // (protocol, parity and slave address): request 5 could not be built, and
    // the blocks before it must not be written alone.
    if (program.setup.text.size() < 136) Status(program) = putstatus::Request5;
    if (Status(program) == status::Ok && WriteAllBlocks(program)) {
        UpdateSettingsFromSetup(program);
        Status(program) = status::Ok;
    }
    program.platform.op.SetProgressVisible(false);
}

std::string SignedFieldToHex8(const std::string& field) {
    constexpr std::int64_t limit = 99999;
    const std::int64_t n = SignedHex(field).value_or(0);
    if (!field.empty() && field[0] == '0') return "00" + (n > limit ? std::string("01869F") : field);
    const std::int64_t negative = n - 0x1000000;
    return "FF" + (negative < -limit ? std::string("FE7961") : field);
}

std::string ScaledFieldToHex8(const std::string& field) {
    const int k = field.empty() ? 0 : std::max(0, HexDigitValue(field[0]));
    const std::int64_t m = field.size() > 1 ? SignedHex(field.substr(1, 5)).value_or(0) : 0;
    int d = 0;
    if (k >= 8) {
        d = k == 8 ? 1 : std::min(k - 8, 6);
    } else {
        d = k == 0 ? 1 : (k == 7 ? 6 : k);
    }
    std::int64_t value = m;
    for (int i = d; i < 6; ++i)
        value *= 10;
    if (k >= 8) value = -value;
    value = std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
    return Hex(static_cast<std::uint32_t>(static_cast<std::int32_t>(value)), 8);
}

void UpdateSettingsFromSetup(Program& program) {
    LinkState& link = program.link;
    const SetupImage& im = program.setup;
    std::string line = link.SettingsLine1;
    if (line.size() < 12) return; // no usable settings file to follow

    auto digit = [](int v) { return static_cast<char>('0' + v % 10); };
    line[1] = digit(im.GetBits(6, 4, 47));
    const int protocol = im.GetBits(3, 2, 133);
    line[4] = digit(protocol);
    int parity = 0;
    if (protocol != 0) {
        link.UseModbus = 1;
        parity = im.GetBits(1, 0, 133);
    } else {
        link.UseModbus = 0;
    }
    line[5] = digit(parity);
    const int address = im.GetBits(4, 0, 45);
    line[7] = static_cast<char>(address < 10 ? address + 48 : address + 55);
    const std::string modbusAddress = std::to_string(im.ByteAt(135));
    line.replace(8, 3, std::string(3 - modbusAddress.size(), '0') + modbusAddress);
    line[11] = digit(im.GetBits(6, 6, 9));

    if (line == link.SettingsLine1) return;
    // A protocol or parity code of 3 has no meaning for the link: writing it
    // would leave a settings file the next start could not use.
    LinkState trial;
    const std::string problem = DeriveLinkState(line, link.SettingsLine2, trial);
    if (!problem.empty()) {
        program.platform.op.Ask({"The setup just written holds serial settings the program cannot follow (" +
                                     problem + "); Settings.SSS is left as it was.",
                                 "Settings.SSS", Buttons::Ok, Answer::Ok, Icon::Exclamation});
        link.UseModbus = link.SerialMode != 0 ? 1 : 0; // the link stays as it was
        return;
    }
    link.SettingsLine1 = line;
    (void)program.conn.RewriteSettings(); // a failure has been told; the reopen then follows the old file
    program.conn.OpenConnection();
}

std::string PutFailureCaption(int status) {
    return "Data transfer unsuccessful. Check connections and try again.     (" + std::to_string(status) +
           ")";
}

PutResult PutSetup(Program& program) {
    PutResult result;
    if (RefuseWhileBusy(program)) {
        result.refused = true;
        return result;
    }
    Operator& op = program.platform.op;
    op.SetBusy(true);
    op.SetStatus(kPuttingCaption, ColourGreen);
    if (program.setup.text.size() == 120) program.setup.text += "00000000";

    // The settings file may have been changed outside since the last Put.
    program.conn.OpenConnection();
    if (program.conn.Refused()) {
        result.endProgram = true;
        op.SetBusy(false);
        return result;
    }
    op.SetProgress(0);
    op.SetProgressVisible(false);

    Status(program) = status::Ok;
    if (!CheckPutCompatibility(program)) {
        result.abandoned = true;
        op.SetBusy(false);
        return result;
    }
    op.SetStatus(kPuttingCaption, ColourGreen);
    if (program.link.UseModbus != 0) {
        PutSetupModbus(program);
    } else {
        PutSetupAscii(program);
    }
    result.status = Status(program);
    if (result.status != status::Ok) {
        op.SetStatus(PutFailureCaption(result.status), ColourRed);
    } else {
        op.SetStatus(kPutOkCaption, ColourGreen);
    }
    op.SetBusy(false);
    return result;
}

} // namespace wm
